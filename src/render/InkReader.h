#pragma once

#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <vector>

namespace glyfrax {

// The pixels a glyph draws, anti-aliasing included, as coverage from 0 to 255.
struct GlyphInk
{
    QRect box; // relative to the pen position on the baseline; empty for a glyph that draws nothing
    std::vector<std::uint8_t> coverage; // box.width() per row, box.height() rows; empty when not drawn
    // The coverage of the effects beneath the glyph, laid out as coverage; empty without them.
    std::vector<std::uint8_t> outline;
    std::vector<std::uint8_t> shadow;
    // The glyph's own colours, straight, their alpha its coverage: a colour glyph or an image drawn
    // in colour, laid out as coverage; empty for a glyph in the text colour.
    std::vector<QRgb> colors = {};

    std::uint8_t at(int x, int y) const { return coverage[std::size_t(y) * std::size_t(box.width()) + std::size_t(x)]; }
};

// Draws glyphs of one font alone, exactly as a page draws them, to find their ink. Its canvas
// grows to the largest glyph and is drawn on again for the next, which saves most of the cost
// of a glyph; its font is its own. One reader per thread.
// With a supersampling factor above 1 each glyph is drawn that many times larger, its pen on a
// whole pixel of the glyph's own size, and each square of factor × factor pixels gives one pixel's
// coverage: their mean.
class InkReader
{
public:
    InkReader(const QRawFont& font, bool monochrome, int supersample = 1);

    // A glyph whose outline alone is clearly larger than largest is not drawn, which would take
    // memory by the square of its size: its outline's box is returned, for the caller to refuse.
    GlyphInk read(quint32 glyph, QSize largest);

private:
    QRawFont m_font; // at the size drawn: the glyphs' own times the factor
    bool m_monochrome;
    int m_factor;
    QImage m_canvas;
};

// How a painter draws glyphs: with anti-aliasing, or each pixel covered or not.
void setGlyphRendering(QPainter& painter, bool monochrome);

} // namespace glyfrax
