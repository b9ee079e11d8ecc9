#pragma once

#include "base/Result.h"

#include <QString>

#include <functional>
#include <vector>

class QIODevice;

namespace glyfrax {

struct FileContent
{
    QString path;
    std::function<bool(QIODevice&)> write; // false when the device refused a write
};

// Writes each file completely to a temporary file beside its target and syncs it to disk. Only
// then do they replace their targets, back to back in the order given, while a lock on the
// folders keeps other writers of the same folders waiting, so two of these calls never mix their
// files. A target must be a regular file or missing (a symbolic link is followed to a regular
// file and stays a link); anything else is refused before anything is written. A failure leaves
// every target as it was and no temporary file behind, and names the path and the reason.
Result<void> writeFilesAtomically(const std::vector<FileContent>& files);

} // namespace glyfrax
