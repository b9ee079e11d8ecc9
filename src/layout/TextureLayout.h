#pragma once

#include "base/Result.h"

#include <QList>

#include <cstdint>

namespace glyfrax {

class TextMeasure;

// Where the characters 32 to 255 break into texture lines, and the side of the square texture.
struct TextureLayout
{
    // A layout has at most this many line breaks: the table a texture font's readers keep them in
    // has 1000 entries. With 224 characters at most 223 are ever needed.
    static constexpr int kMaxLineEnds = 1000;

    std::int32_t side = 0;
    // The code of the last character of each line but the last, which always ends with 255.
    QList<std::int32_t> lineEnds;

    int lineCount() const { return int(lineEnds.size()) + 1; }
    int firstCodeOfLine(int line) const; // line counted from 0
    int lastCodeOfLine(int line) const;

    bool operator==(const TextureLayout&) const = default;
};

// Lays the characters 32 to 255 out on the smallest power-of-two side, from 128 up, that passes
// both tests: each line's width plus one gap per character on it fits the side, and the lines'
// height plus the gaps between them is no more than the widest line. A character that does not
// fit a line of its own makes the side fail. A sum that leaves the 32-bit range is a failure.
Result<TextureLayout> layoutTexture(const TextMeasure& measure, std::int32_t xDist, std::int32_t yDist);

} // namespace glyfrax
