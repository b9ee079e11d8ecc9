#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRawFont>

#include <array>
#include <optional>
#include <vector>

namespace glyfrax {

// A colour glyph drawn: its pixels (straight ARGB) and where their top left corner lies from the
// pen on the baseline.
struct DrawnColorGlyph
{
    QImage image;
    QPoint topLeft;
};

// The colour glyphs of one font at its size. Layered glyphs (COLR version 0 with CPAL) are drawn
// here from their layers, each layer's outline in its palette colour, for Qt does not draw them;
// bitmap glyphs (CBDT, sbix) as Qt draws them, scaled to the size. One per thread, as fonts are.
class ColorGlyphs
{
public:
    explicit ColorGlyphs(const QRawFont& font);

    // Whether the font has colour glyphs at all.
    bool any() const { return m_bitmaps || !m_bases.empty(); }
    // The glyph in its colours, layers in the text colour drawn white; none for a glyph without
    // colour, or one whose drawing would be larger than largest (it is then drawn as any glyph).
    std::optional<DrawnColorGlyph> draw(quint32 glyph, QSize largest) const;

private:
    struct Layer
    {
        quint32 glyph;
        QColor color;
    };
    std::vector<Layer> layersOf(quint32 glyph) const;

    QRawFont m_font;
    bool m_bitmaps = false; // every glyph is a colour bitmap
    QByteArray m_colr;
    std::vector<QColor> m_palette; // the first palette
    // glyph id, first layer, layer count of each layered glyph, sorted by glyph id
    std::vector<std::array<quint16, 3>> m_bases;
};

} // namespace glyfrax
