#pragma once

#include <QPalette>
#include <QString>

namespace glyfrax {

struct CommandLine;
struct Settings;

// Runs the export of --format bmfont and reports it: the texture size, the descriptor and the
// pages on stdout, a failure and (with --verbose) the characters the font lacks on stderr.
// Returns the exit code: 0 done, 1 failed.
int runModernExport(const CommandLine& line, const Settings& settings, const QString& configPath,
                    const QPalette& palette);

} // namespace glyfrax
