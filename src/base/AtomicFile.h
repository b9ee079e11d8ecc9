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

// Writes each file to a temporary file in its target's folder. Only when all of them are
// complete do they replace their targets, in the order given, so a failure while writing leaves
// every target as it was. No temporary file is left behind. A failure names the path and the reason.
Result<void> writeFilesAtomically(const std::vector<FileContent>& files);

} // namespace glyfrax
