#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>

namespace glyfrax {

class FontMeasure;
class GlyphTable;

// The texture: side x side pixels of background, each character drawn in the text colour with
// its text origin at its cell's top-left corner, clipped to its cell and to the image. Blue,
// green, red order, ready for the bitmap. A null image when the memory for it cannot be had.
QImage renderTexture(const FontMeasure& measure, const GlyphTable& table, std::int32_t side, const QColor& text,
                     const QColor& background);

} // namespace glyfrax
