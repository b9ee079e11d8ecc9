#include "layout/CellPlacement.h"

#include "base/CheckedMath.h"
#include "layout/TextMeasure.h"
#include "layout/TextureLayout.h"

namespace glyfrax {

Result<GlyphTable> placeCells(const TextMeasure& measure, const TextureLayout& layout, std::int32_t xDist,
                              std::int32_t yDist)
{
    const Failure overflow =
        failure(QStringLiteral("Die Zeichenpositionen überschreiten den Zahlenbereich (Überlauf)."));
    GlyphTable table;
    std::int32_t x = 0;
    std::int32_t y = 0;
    qsizetype nextEnd = 0;
    // W and H are one less than the measure: a measure at the bottom of the range has none.
    const std::optional<std::int32_t> height = toInt32Checked(std::int64_t(measure.lineHeight()) - 1);
    if (!height)
        return overflow;
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        if (nextEnd < layout.lineEnds.size() && layout.lineEnds.at(nextEnd) == code - 1) {
            x = 0;
            const std::optional<std::int32_t> below = toInt32Checked(std::int64_t(y) + table[code - 1].H + yDist);
            if (!below)
                return overflow;
            y = *below;
            ++nextEnd;
        }
        GlyphRect& rect = table[code];
        const std::optional<std::int32_t> width = toInt32Checked(std::int64_t(measure.charWidth(code)) - 1);
        if (!width)
            return overflow;
        rect = {x, y, *width, *height};
        const std::optional<std::int32_t> next = toInt32Checked(std::int64_t(x) + rect.W + xDist);
        if (!next)
            return overflow;
        x = *next;
    }
    return table;
}

} // namespace glyfrax
