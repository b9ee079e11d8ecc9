#pragma once

#include <cstdio>

namespace glyfrax {

// The width in columns of the terminal that standard output goes to; for a file or a pipe the
// COLUMNS variable's, else 80.
int terminalWidth();

// Whether stream (stdout, stderr) goes to a terminal: only a person there wants to see progress.
bool isTerminal(std::FILE* stream);

} // namespace glyfrax
