#pragma once

#include <QPalette>

namespace glyfrax {

struct CommandLine;

// Builds the project of --project and reports it: a line for each set on stdout (on a terminal
// also a line that tells how far the sets under way are), failures on stderr, then the depfile.
// With --watch it stays and builds again whenever an input changes. Returns the exit code: 0 every
// set is current or built, 1 a set or the project file failed.
int runProjectBuild(const CommandLine& line, const QPalette& palette);

} // namespace glyfrax
