#include "TextureLayout.h"

#include "../settings/Windows1252.h"
#include "CharacterSet.h"
#include "FontMeasure.h"
#include "TextMeasure.h"

#include <algorithm>
#include <limits>

namespace glyfrax {

namespace {

bool fitsInt32(std::int64_t value)
{
    return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

// The sums are kept in twips and checked against the 32-bit range, so a layout fails where a
// 32-bit implementation would overflow instead of quietly wrapping.
struct Overflow
{
};

std::int64_t checked(std::int64_t value)
{
    if (!fitsInt32(value))
        throw Overflow{};
    return value;
}

enum class TryResult
{
    Fits,
    Fails
};

TryResult tryLayout(const TextMeasure& measure, std::int32_t xDist, std::int32_t yDist, TextureLayout& work)
{
    const std::int64_t widthLimit = checked(std::int64_t(kTwipsPerPixel) * work.TextureSize);
    const std::int64_t gapX = std::int64_t(kTwipsPerPixel) * xDist;
    const std::int64_t gapY = std::int64_t(kTwipsPerPixel) * yDist;
    std::int64_t lineGaps = 0;   // twips reserved beside the current line's characters
    std::int64_t blockGaps = 0;  // twips reserved between the lines so far
    std::int64_t widestDone = 0; // pixels, widest completed line
    std::int64_t current = 0;    // pixels, current line
    int charsOnLine = 0;
    int line = 1;

    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const std::int64_t width = measure.charWidth(code);
        const std::int64_t gapsWith = checked(lineGaps + gapX);
        const std::int64_t widest = std::max(widestDone, current + width);
        if (kTwipsPerPixel * widest + gapsWith <= widthLimit) {
            current += width;
            lineGaps = gapsWith;
            ++charsOnLine;
            continue;
        }
        // The line is full. A character wider than the side, or one that fails even as the
        // first of its line, cannot be placed on this side.
        if (kTwipsPerPixel * width > widthLimit || charsOnLine == 0)
            return TryResult::Fails;
        Q_ASSERT(line <= TextureLayout::kLineEndSlots);
        work.LineEnds[std::size_t(line - 1)] = code - 1;
        ++line;
        widestDone = std::max(widestDone, current);
        current = 0;
        charsOnLine = 0;
        lineGaps = 0;
        blockGaps = checked(blockGaps + gapY);
        --code; // the same character again, as the first of the new line
    }

    const std::int64_t widest = std::max(widestDone, current);
    const std::int64_t height = std::int64_t(kTwipsPerPixel) * measure.lineHeight() * line;
    if (static_cast<float>(height + blockGaps) > static_cast<float>(kTwipsPerPixel * widest))
        return TryResult::Fails;
    work.LineEndCount = line - 1;
    return TryResult::Fits;
}

} // namespace

int TextureLayout::firstCodeOfLine(int line) const
{
    return line == 0 ? kFirstCode : LineEnds[std::size_t(line - 1)] + 1;
}

int TextureLayout::lastCodeOfLine(int line) const
{
    return line >= LineEndCount ? kLastCode : LineEnds[std::size_t(line)];
}

LayoutOutcome LayoutTexture(const TextMeasure& measure, std::int32_t xDist, std::int32_t yDist, TextureLayout& layout)
{
    TextureLayout work = layout;
    std::int64_t side = 64;
    try {
        for (;;) {
            side = checked(side * 2);
            work.TextureSize = std::int32_t(side);
            if (tryLayout(measure, xDist, yDist, work) == TryResult::Fits)
                break;
        }
    } catch (const Overflow&) {
        return {false, QStringLiteral("Für diese Schrift und diese Abstände lässt sich keine Textur anlegen: "
                                      "die Maße überschreiten den Zahlenbereich (Überlauf).")};
    }
    layout = work;
    return {};
}

QStringList previewLines(const TextureLayout& layout)
{
    QStringList lines;
    for (int line = 0; line < layout.lineCount(); ++line) {
        QString text;
        for (int code = layout.firstCodeOfLine(line); code <= layout.lastCodeOfLine(line); ++code)
            text.append(charFromWindows1252(static_cast<unsigned char>(code)));
        lines.append(text);
    }
    return lines;
}

QString textureSizeCaption(std::int32_t textureSize)
{
    return QStringLiteral("Textur: %1x%1").arg(textureSize);
}

} // namespace glyfrax
