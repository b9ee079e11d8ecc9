#pragma once

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

// Writes each file to a temporary file in its target's folder. Only when all of them are
// complete do they replace their targets, in the order given, so a failure while writing leaves
// every target as it was. No temporary file is left behind. The result is a German message
// naming the path and the reason, or empty on success.
QString writeFilesAtomically(const std::vector<FileContent>& files);

} // namespace glyfrax
