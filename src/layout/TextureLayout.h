#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace glyfrax {

class TextMeasure;

// Where the characters 32 to 255 break into texture lines, and the side of the square texture.
struct TextureLayout
{
    static constexpr int kLineEndSlots = 1000;

    std::int32_t TextureSize = 0;
    // LineEnds[k - 1] is the code of the last character of line k, for k = 1 to LineEndCount;
    // the last line always ends with 255. Entries above LineEndCount are left from earlier
    // layouts and mean nothing.
    std::array<std::int32_t, kLineEndSlots> LineEnds{};
    std::int32_t LineEndCount = 0;

    int lineCount() const { return LineEndCount + 1; }
    int firstCodeOfLine(int line) const; // line counted from 0
    int lastCodeOfLine(int line) const;
};

struct LayoutOutcome
{
    bool ok = true;
    QString error; // German, when not ok
};

// Lays the characters 32 to 255 out on the smallest power-of-two side, from 128 up, that passes
// both tests: each line's width plus one gap per character on it fits the side, and the lines'
// height plus the gaps between them is no more than the widest line. A character that does not
// fit a line of its own makes the side fail. On an arithmetic overflow the layout is left as it was.
LayoutOutcome LayoutTexture(const TextMeasure& measure, std::int32_t xDist, std::int32_t yDist, TextureLayout& layout);

// The characters of each texture line; "&" is a character like any other.
QStringList previewLines(const TextureLayout& layout);

// "Textur: 256x256"
QString textureSizeCaption(std::int32_t textureSize);

} // namespace glyfrax
