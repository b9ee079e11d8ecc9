#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace glyfrax {

// What a path names once symbolic links are followed.
enum class FileKind
{
    Missing,
    Regular,
    Folder,
    Fifo,
    Socket,
    Device,
    DanglingLink, // a symbolic link whose target does not exist
    Inaccessible, // a folder on the way may not be entered
    Other
};

FileKind fileKind(const QString& path);

// "eine benannte Pipe (FIFO)", for a sentence such as "„x“ ist %1."
QString describeKind(FileKind kind);

// Why a system call failed, as the end of a German sentence ("Zugriff verweigert"). Errors that
// have no message of their own fall back to the system's text.
QString describeErrno(int error);

// Whether a path can be given to the system as it reads. A name whose bytes are not valid UTF-8
// reaches us with U+FFFD in their place, and the name made from it would be another file's; such
// a path (and one that holds U+FFFD itself) is refused with this message.
Result<void> checkFaithfulPath(const QString& path);

// The user who owns the entry at path, a symbolic link itself rather than its target; none when
// there is no entry.
std::optional<uint> entryOwner(const QString& path);

// Reads a regular file of at most maxSize bytes. Anything else (a folder, a FIFO, a device, a
// larger file) is refused before it is read, and opening never blocks. The failure is one German
// sentence naming the path.
Result<QByteArray> readRegularFile(const QString& path, qint64 maxSize);
// The first headSize bytes of a regular file, or all of a shorter one, refused as readRegularFile
// refuses anything else: for a format whose part that matters comes first, however large the rest.
Result<QByteArray> readRegularFileHead(const QString& path, qint64 headSize);

// A text for a message: control characters are shown as visible symbols, so a value can neither
// cut a message short (NUL) nor steer the terminal it is printed on.
QString shownText(const QString& text);
// A path for a message: native separators, shown as shownText does.
QString shownPath(const QString& path);

// The extension of the path's file name, its dot included (".bmp"); empty for a name without one.
QString extensionOf(const QString& path);

// The path with its file name's extension replaced by the given one (".fnt"), or the extension
// appended to a name without one.
QString withExtension(const QString& path, const QString& extension);

} // namespace glyfrax
