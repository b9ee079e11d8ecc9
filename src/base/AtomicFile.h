#pragma once

#include "base/Result.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QIODevice;

namespace glyfrax {

struct FileContent
{
    QString path;
    std::function<bool(QIODevice&)> write; // false when the device refused a write
};

// The files one export makes, which replace the earlier ones together.
struct FileSet
{
    std::vector<FileContent> files;
    // The files the export reads: a target that is one of them, however its name is spelled (a
    // hard link, a second mount of the folder), is refused before anything is written.
    QStringList inputs;
    // Asked under the folder's lock, just before the replacement: the files of the earlier set.
    // Those the new set does not write again are removed in the same step. Only regular files in
    // the targets' folder are ever removed, never an input.
    std::function<QStringList()> earlierFiles;
};

// Writes each file completely to a temporary file beside its target and syncs it to disk. Only
// then, under a lock on the folder that keeps every other writer of it waiting, do they replace
// their targets (and the earlier set's other files are removed), so two of these calls never mix
// their files. The replacement is recorded in a journal first and carried out by a process of its
// own that a kill of this process or of its process group does not stop; should it be stopped
// all the same (a kill of it alone, a power cut), the next call for the folder completes it
// before anything else, so the folder holds the earlier set or the whole new one. That call also
// removes what writers that died there left behind.
//
// All targets must lie in one folder, which must be readable (an unreadable folder cannot be
// locked). A target must be a regular file or missing (a symbolic link is followed to a regular
// file and stays a link); anything else is refused before anything is written. A failure leaves
// every target as it was and no temporary file behind, and names the path and the reason.
Result<void> writeFilesAtomically(const FileSet& set);
Result<void> writeFilesAtomically(const std::vector<FileContent>& files);

// Completes a replacement in the folder that was cut off, and removes the temporary files of
// writers that died there, under the folder's lock: what a reader that must see a whole set calls
// first. Nothing to do is no failure.
Result<void> finishInterruptedReplacement(const QString& folder);

// What an export given up says: the earlier files are as they were.
QString cancelledExportMessage();

} // namespace glyfrax
