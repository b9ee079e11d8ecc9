#pragma once

namespace glyfrax {

// The one text measure behind the layout, the metrics and the rendering. Every character is
// measured on its own, in whole pixels: no kerning or shaping across characters, so a line is
// exactly as wide as the cells its characters occupy.
class TextMeasure
{
public:
    virtual ~TextMeasure() = default;

    // The advance of the character with this code (32 to 255), in pixels.
    virtual int charWidth(int code) const = 0;
    // The height of one line of text, the same for every character, in pixels.
    virtual int lineHeight() const = 0;
};

} // namespace glyfrax
