#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace glyfrax {

// An image drawn as a character: a button icon, a currency or status symbol. Its place is given as
// a descriptor gives a glyph's: the image's top left corner from the pen and from the top of the
// line, and the advance; each unset one takes its default (the pen, the image's bottom on the
// bottom of the line, the image's width).
struct ImageGlyph
{
    char32_t character = 0;
    QString path;
    std::optional<std::int32_t> x;
    std::optional<std::int32_t> y;
    std::optional<std::int32_t> advance;

    bool operator==(const ImageGlyph&) const = default;
};

// The largest offset or advance an image may be given, in pixels: beyond any page.
constexpr std::int32_t kLargestImagePlace = 65536;

// "U+E000=icons/play.png", with "@X,Y" or "@X,Y,ADVANCE" at its end for the place (each number may
// be left out: "@,,20"). The character as --chars writes one (U+E000, 0xE000, 57344) or itself.
// A path may hold "@" and "=": only a last "@" followed by numbers gives the place.
Result<ImageGlyph> readImageGlyph(const QString& text);
QString imageGlyphText(const ImageGlyph& image);

// The character an image file's name gives: "E000.png", "U+E000.svg" (hexadecimal, any case, an
// image's extension: png, jpg, jpeg, bmp, gif, svg); none for another name.
std::optional<char32_t> characterOfImageName(const QString& fileName);

} // namespace glyfrax
