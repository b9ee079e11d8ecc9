#pragma once

#include "base/Result.h"
#include "layout/GlyphTable.h"

#include <cstdint>

namespace glyfrax {

class TextMeasure;
struct TextureLayout;

// Places every character in its cell, line by line as the layout broke them. Within a line the
// next cell starts xDist after the last one; a new line starts H + yDist below the last
// character of the line before. Sums that leave the 32-bit range are a failure, never wrapped.
Result<GlyphTable> placeCells(const TextMeasure& measure, const TextureLayout& layout, std::int32_t xDist,
                              std::int32_t yDist);

} // namespace glyfrax
