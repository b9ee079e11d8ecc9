#pragma once

#include "layout/CharacterSet.h"

#include <array>
#include <cstdint>

namespace glyfrax {

// One character's cell in the texture, in pixels from the top-left corner. W and H are the
// measured width and height minus 1: the cell covers columns X to X + W - 1, rows Y to Y + H - 1.
struct GlyphRect
{
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t W = 0;
    std::int32_t H = 0;

    bool operator==(const GlyphRect&) const = default;
};

// The cells of the codes 32 to 255.
class GlyphTable
{
public:
    GlyphRect& operator[](int code) { return m_rects[std::size_t(code - kFirstCode)]; }
    const GlyphRect& operator[](int code) const { return m_rects[std::size_t(code - kFirstCode)]; }

    bool operator==(const GlyphTable&) const = default;

private:
    std::array<GlyphRect, kCharacterCount> m_rects{};
};

} // namespace glyfrax
