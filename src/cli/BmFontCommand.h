#pragma once

#include "base/Result.h"

#include <QPalette>
#include <QString>

#include <cstdint>
#include <functional>

namespace glyfrax {

struct CommandLine;
struct Settings;

// Runs the export of --format bmfont and reports it: the texture size, the descriptor and the
// pages on stdout, a failure and (with --verbose) the characters the font lacks and the values
// the descriptor could not hold on stderr. faceName is the face's name to show (empty: the
// font's family). approve may refuse the pages' size before anything is written. Returns the
// exit code: 0 done, 1 failed.
int runBmFontExport(const CommandLine& line, const Settings& settings, const QString& faceName,
                    const QString& configPath, const QPalette& palette,
                    const std::function<Result<void>(std::int32_t, std::int32_t)>& approve);

} // namespace glyfrax
