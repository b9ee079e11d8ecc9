#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

class QRawFont;

namespace glyfrax {

// The pixels a glyph draws, anti-aliasing included, relative to its pen position on the
// baseline, found by drawing it as a page draws it. Empty for a glyph that draws nothing. A glyph
// whose outline alone is clearly larger than largest is not drawn, which would take memory by
// the square of its size: its outline's box is returned, for the caller to refuse.
QRect inkBox(const QRawFont& font, quint32 glyph, QSize largest);

// A glyph on a page: its pen position on the baseline, and its cell, which holds all its ink.
struct PlacedGlyph
{
    quint32 glyph = 0;
    QPoint pen;
    QRect cell;
};

// How a page shows its glyphs: white with the glyph's coverage as alpha (Format_ARGB32), or the
// text colour on the background, opaque (Format_RGB32).
struct PageColors
{
    bool coverageInAlpha = true;
    QColor text = Qt::white;
    QColor background = Qt::black;
};

// One page of a texture font; a null image when there is no memory for it.
QImage renderPage(const QRawFont& font, QSize size, const std::vector<PlacedGlyph>& glyphs, const PageColors& colors);

} // namespace glyfrax
