#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

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
    Other
};

FileKind fileKind(const QString& path);

// "eine benannte Pipe (FIFO)", for a sentence such as "„x“ ist %1."
QString describeKind(FileKind kind);

// Whether both paths exist and name the same file (device and inode), however they are spelled,
// through symbolic or hard links alike.
bool isSameFile(const QString& a, const QString& b);

// Reads a regular file of at most maxSize bytes. Anything else (a folder, a FIFO, a device, a
// larger file) is refused before it is read, and opening never blocks. The failure is one German
// sentence naming the path.
Result<QByteArray> readRegularFile(const QString& path, qint64 maxSize);

// A text for a message: control characters are shown as visible symbols, so a value can neither
// cut a message short (NUL) nor steer the terminal it is printed on.
QString shownText(const QString& text);
// A path for a message: native separators, shown as shownText does.
QString shownPath(const QString& path);

} // namespace glyfrax
