#include "export/bmfont/SampleText.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace glyfrax {

namespace {

std::optional<std::size_t> charIndex(const BmFont& font, char32_t id)
{
    const auto found =
        std::lower_bound(font.chars.begin(), font.chars.end(), id,
                         [](const BmFontChar& c, char32_t wanted) { return signedId(c.id) < signedId(wanted); });
    if (found == font.chars.end() || found->id != id)
        return std::nullopt;
    return std::size_t(found - font.chars.begin());
}

std::int64_t kerning(const BmFont& font, char32_t first, char32_t second)
{
    const auto found = std::lower_bound(font.kernings.begin(), font.kernings.end(), std::pair(first, second),
                                        [](const BmFontKerning& k, const std::pair<char32_t, char32_t>& wanted) {
                                            return std::pair(k.first, k.second) < wanted;
                                        });
    return found != font.kernings.end() && found->first == first && found->second == second ? found->amount : 0;
}

int clampToInt(std::int64_t value)
{
    return int(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

} // namespace

SampleLine setSampleText(const BmFont& font, const QString& text)
{
    SampleLine line;
    std::int64_t pen = 0;
    const BmFontChar* before = nullptr; // the last character drawn, for its kerning with the next
    const std::optional<std::size_t> space = charIndex(font, U' ');
    const std::int64_t gapAdvance = space ? font.chars[*space].xadvance : font.lineHeight / 2;
    const int lineHeight = std::max(font.lineHeight, 1);
    for (char32_t character : text.toUcs4()) {
        std::optional<std::size_t> index = charIndex(font, character);
        const char32_t lacking = index ? 0 : character;
        if (!index && (index = charIndex(font, kMissingGlyphId))) // the set's glyph for characters it lacks
            character = kMissingGlyphId;
        const std::int64_t gapStart = pen;
        if (!index) {
            pen += gapAdvance;
            before = nullptr;
        } else {
            const BmFontChar& c = font.chars[*index];
            if (before)
                pen += kerning(font, before->id, character);
            const QPoint corner(clampToInt(pen + c.xoffset), clampToInt(c.yoffset));
            line.glyphs.push_back({*index, corner});
            line.cells |= QRect(corner, QSize(c.width, c.height));
            pen += c.xadvance;
            before = &c;
        }
        if (lacking != 0) {
            const int left = clampToInt(gapStart);
            line.gaps.push_back({lacking, QRect(left, 0, std::max(clampToInt(pen) - left, 1), lineHeight)});
        }
    }
    line.penEnd = clampToInt(pen);
    return line;
}

} // namespace glyfrax
