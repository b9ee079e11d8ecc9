#include "GlyphMeasuring.h"

#include "../layout/TextMeasure.h"
#include "../layout/TextureLayout.h"

#include <limits>

namespace glyfrax {

namespace {

bool add(std::int32_t a, std::int64_t b, std::int32_t& sum)
{
    const std::int64_t wide = std::int64_t(a) + b;
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max())
        return false;
    sum = std::int32_t(wide);
    return true;
}

} // namespace

MeasuredGlyphs measureGlyphs(const TextMeasure& measure, const TextureLayout& layout, std::int32_t xDist,
                             std::int32_t yDist)
{
    MeasuredGlyphs result;
    auto overflow = [&result] {
        result.error = QStringLiteral("Die Zeichenpositionen überschreiten den Zahlenbereich (Überlauf).");
        return result;
    };
    std::int32_t x = 0;
    std::int32_t y = 0;
    int line = 1;
    const std::int32_t height = measure.lineHeight() - 1;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        if (line <= layout.LineEndCount && layout.LineEnds[std::size_t(line - 1)] == code - 1) {
            x = 0;
            if (!add(y, std::int64_t(result.table[code - 1].H) + yDist, y))
                return overflow();
            ++line;
        }
        GlyphRect& rect = result.table[code];
        rect = {x, y, measure.charWidth(code) - 1, height};
        if (!add(x, std::int64_t(rect.W) + xDist, x))
            return overflow();
    }
    return result;
}

} // namespace glyfrax
