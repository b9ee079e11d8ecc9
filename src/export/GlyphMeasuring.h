#pragma once

#include "GlyphTable.h"

#include <QString>

#include <cstdint>

namespace glyfrax {

class TextMeasure;
struct TextureLayout;

struct MeasuredGlyphs
{
    GlyphTable table;
    QString error; // German; empty when the table is complete
};

// Places every character in its cell, line by line as the layout broke them. Within a line the
// next cell starts XDist after the last one; a new line starts H + YDist below the last
// character of the line before. Sums that leave the 32-bit range are reported, never wrapped.
MeasuredGlyphs measureGlyphs(const TextMeasure& measure, const TextureLayout& layout, std::int32_t xDist,
                             std::int32_t yDist);

} // namespace glyfrax
