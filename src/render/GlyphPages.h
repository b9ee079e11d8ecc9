#pragma once

#include "render/ImageFile.h"
#include "render/InkReader.h"
#include "settings/BmFontOptions.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

class QPainterPath;
class QRawFont;

namespace glyfrax {

class FontMeasure;

// The pixels a glyph draws, anti-aliasing included, relative to its pen position on the
// baseline, found by drawing it as a page draws it. Empty for a glyph that draws nothing. A glyph
// whose outline alone is clearly larger than largest is not drawn, which would take memory by
// the square of its size: its outline's box is returned, for the caller to refuse.
QRect inkBox(const QRawFont& font, quint32 glyph, QSize largest);

// A glyph on a page: its pen position on the baseline, its cell, which holds all its ink, the
// font it comes from (an index into the set's fonts) and its ink (an index into the set's inks).
struct PlacedGlyph
{
    quint32 glyph = 0;
    QPoint pen;
    QRect cell;
    int font = 0;
    std::size_t ink = 0;
};

// How a page shows its glyphs: white with the glyph's coverage as alpha, or the text colour on
// the background, opaque (Format_RGB32). The effects, when the inks have them, lie beneath the
// glyph in their own colours, whose alpha counts.
struct PageColors
{
    bool coverageInAlpha = true;
    QColor text = Qt::white;
    QColor background = Qt::black;
    QRgb outline = qRgba(0, 0, 0, 255);
    QRgb shadow = qRgba(0, 0, 0, 128);
};

// What the pages of a set are drawn from.
struct PageSource
{
    const std::vector<FontMeasure>* fonts; // the set's fonts, the main font first
    const std::vector<GlyphInk>* inks;     // each glyph's ink, as its InkReader found it
    PageColors colors;
    bool monochrome = false;
    int threads = 1;
    bool effects = false; // the inks hold an outline or a shadow
    // A distance field instead of coverage: each glyph's outline (by ink), its kind and range.
    const std::vector<QPainterPath>* outlines = nullptr;
    PageField field = PageField::None;
    double distanceRange = 4;
    // Above 1 the inks were found at that many times the glyphs' size, and the pages are made from
    // them, for no glyph drawn at its size would look like them.
    int supersample = 1;
    // Pages from the inks alone, never drawn from the fonts: some are images or hold colours.
    bool inksOnly = false;
};

// One page of a texture font as it is written: the coverage alone (Format_Alpha8) for pages
// with coverage as alpha, which are copied from the glyphs' inks; opaque pages drawn, on
// source.threads threads, each with fonts of its own. Pages with effects are composed from the
// inks, colour with alpha (Format_ARGB32, not premultiplied) or opaque; distance fields are drawn
// from the outlines (Format_ARGB32). A null image when there is no memory for it.
QImage renderPageForFile(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs);

// Writes the page renderPageForFile draws as a file of format, on source.threads threads. A
// distance-field page is drawn band by band as its PNG is written, so that only a band of it is
// held. False when the device refused a write or there was no memory.
bool writePageFile(QIODevice& device, const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs,
                   PageImage format, PageChannels channels = PageChannels::Rgba);

// The page as it looks: white with the coverage as alpha (Format_ARGB32), or as the file holds it.
QImage renderPage(const PageSource& source, QSize size, const std::vector<PlacedGlyph>& glyphs);

// A page of renderPageForFile with its colours multiplied by their alpha (Format_ARGB32 holding
// the products): a Format_Alpha8 page's white becomes its alpha. Opaque pages stay as they are.
QImage premultipliedPage(const QImage& page);

// Puts the glyphs' values of a page of renderPageForFile (a Format_Alpha8 page's alpha, another's
// red) into one channel of packed (Format_ARGB32): 0 blue, 1 green, 2 red, 3 alpha, the order of
// the descriptor's channel bits.
void packIntoChannel(QImage& packed, const QImage& page, int channel);

} // namespace glyfrax
