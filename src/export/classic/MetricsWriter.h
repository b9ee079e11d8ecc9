#pragma once

#include "base/Result.h"

class QIODevice;

namespace glyfrax {

class GlyphTable;
struct ClassicOptions;

// The metrics file: one record for each code from 32 to 255, in code order, with no header,
// count or trailer.
//
// Binary form: X, Y, W, H as little-endian two's-complement integers of 2 bytes (1792 bytes in
// all) or 4 bytes (3584 bytes in all).
//
// Text form: 224 lines of ten items joined by single blanks,
//     CharTxt code XTxt X YTxt Y WTxt W HTxt H
// each line ending in CR LF, numbers in plain decimal, labels exactly as given even when empty,
// in Windows-1252. A label character that Windows-1252 lacks, and a line break inside a label,
// is written as "?" so the file always has its 224 lines.

// Writes the form the options choose. Returns false when the device refused a write.
bool writeMetrics(QIODevice& device, const GlyphTable& table, const ClassicOptions& options);

// Fails, naming the first code and field, when a cell does not fit 16-bit fields.
Result<void> checkShortFields(const GlyphTable& table);

} // namespace glyfrax
