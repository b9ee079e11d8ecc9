#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

class QPainter;
class QRawFont;

namespace glyfrax {

class FontMeasure;
struct TextureLayout;

// Qt draws glyphs of up to this many pixels per em from a cache of glyph images, larger ones as
// outlines.
constexpr double kLargestCachedGlyph = 64;

// Whether Qt's own text drawing (QPainter::drawText, an item view) can draw the glyph at this many
// pixels per em. Not for a glyph so wide at a size Qt draws from its glyph cache that FreeType fails
// on it and Qt then crashes; drawGlyph fills such a glyph as a path.
bool qtCanDrawGlyph(const QRawFont& font, quint32 glyph, double pixelSize);

// Draws one glyph of the font with its pen position on the baseline at pen. The painter's pen
// gives the colour. Whole-pixel positions only: a glyph then covers the same pixels wherever it is
// drawn, which is what lets a texture cell hold exactly the glyph's ink. A glyph far wider than any
// font's at a size Qt caches is filled as a path, which costs no more than the painter's clip.
void drawGlyph(QPainter& painter, const QRawFont& font, quint32 glyph, QPoint pen);

// Draws the character with this code with its text origin (the top-left corner of its line box)
// at origin, clipped to clip, in a font of the calling thread's own (see
// FontMeasure::rawFontForThisThread). The painter's pen is the caller's.
void drawCharacter(QPainter& painter, const QRawFont& font, const FontMeasure& measure, int code, QPoint origin,
                   const QRect& clip);

// The preview: the layout's lines without gaps, each character drawn on its own at its measured
// place, in the given colours. Only the part within maxSize is drawn. For a screen of ratio device
// pixels per pixel the image has ratio times the pixels and says so (QImage::devicePixelRatio):
// the places are the measure's multiplied, the glyphs those of the font at ratio times its size.
QImage renderPreview(const FontMeasure& measure, const TextureLayout& layout, const QColor& text,
                     const QColor& background, QSize maxSize, qreal ratio = 1.0);

} // namespace glyfrax
