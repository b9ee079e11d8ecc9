#include "layout/TextureLayout.h"

#include "base/CheckedMath.h"
#include "layout/CharacterSet.h"
#include "layout/TextMeasure.h"
#include "layout/Units.h"

#include <algorithm>
#include <optional>

namespace glyfrax {

namespace {

enum class Trial
{
    Fits,
    Fails,
    Overflows
};

// Tries one side. The sums are kept in twips and checked against the 32-bit range, so a layout
// fails where 32-bit arithmetic would overflow instead of quietly wrapping.
Trial tryLayout(const TextMeasure& measure, std::int32_t xDist, std::int32_t yDist, TextureLayout& work)
{
    const std::optional<std::int32_t> widthLimit = toInt32Checked(std::int64_t(kTwipsPerPixel) * work.side);
    if (!widthLimit)
        return Trial::Overflows;
    const std::int64_t gapX = std::int64_t(kTwipsPerPixel) * xDist;
    const std::int64_t gapY = std::int64_t(kTwipsPerPixel) * yDist;
    std::int64_t lineGaps = 0;   // twips reserved beside the current line's characters
    std::int64_t blockGaps = 0;  // twips reserved between the lines so far
    std::int64_t widestDone = 0; // pixels, widest completed line
    std::int64_t current = 0;    // pixels, current line
    int charsOnLine = 0;
    work.lineEnds.clear();

    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const std::int64_t width = measure.charWidth(code);
        const std::optional<std::int32_t> gapsWith = toInt32Checked(lineGaps + gapX);
        if (!gapsWith)
            return Trial::Overflows;
        const std::int64_t widest = std::max(widestDone, current + width);
        if (kTwipsPerPixel * widest + *gapsWith <= *widthLimit) {
            current += width;
            lineGaps = *gapsWith;
            ++charsOnLine;
            continue;
        }
        // The line is full. A character wider than the side, or one that fails even as the
        // first of its line, cannot be placed on this side.
        if (kTwipsPerPixel * width > *widthLimit || charsOnLine == 0)
            return Trial::Fails;
        if (work.lineEnds.size() == TextureLayout::kMaxLineEnds)
            return Trial::Fails;
        work.lineEnds.append(code - 1);
        widestDone = std::max(widestDone, current);
        current = 0;
        charsOnLine = 0;
        lineGaps = 0;
        const std::optional<std::int32_t> gaps = toInt32Checked(blockGaps + gapY);
        if (!gaps)
            return Trial::Overflows;
        blockGaps = *gaps;
        --code; // the same character again, as the first of the new line
    }

    const std::int64_t widest = std::max(widestDone, current);
    const std::int64_t height = std::int64_t(kTwipsPerPixel) * measure.lineHeight() * work.lineCount();
    // Compared in single precision, as the layout has always compared them: above 2^24 twips two
    // sums that differ by a few twips count as equal, and a texture laid out before must keep its side.
    if (static_cast<float>(height + blockGaps) > static_cast<float>(kTwipsPerPixel * widest))
        return Trial::Fails;
    return Trial::Fits;
}

} // namespace

int TextureLayout::firstCodeOfLine(int line) const
{
    return line == 0 ? kFirstCode : lineEnds.at(line - 1) + 1;
}

int TextureLayout::lastCodeOfLine(int line) const
{
    return line >= lineEnds.size() ? kLastCode : lineEnds.at(line);
}

Result<TextureLayout> layoutTexture(const TextMeasure& measure, std::int32_t xDist, std::int32_t yDist)
{
    TextureLayout work;
    for (std::int64_t side = 128;; side *= 2) {
        const std::optional<std::int32_t> checkedSide = toInt32Checked(side);
        if (!checkedSide)
            break;
        work.side = *checkedSide;
        const Trial trial = tryLayout(measure, xDist, yDist, work);
        if (trial == Trial::Fits)
            return work;
        if (trial == Trial::Overflows)
            break;
    }
    return failure(QStringLiteral("Für diese Schrift und diese Abstände lässt sich keine Textur anlegen: "
                                  "die Maße überschreiten den Zahlenbereich (Überlauf)."));
}

} // namespace glyfrax
