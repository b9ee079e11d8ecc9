#pragma once

#include <QColor>
#include <QImage>

#include <cstdint>

namespace glyfrax {

class FontMeasure;
class GlyphTable;

// The texture: side x side pixels of background, each character drawn in the text colour with
// its text origin at its cell's top-left corner, clipped to its cell and to the texture.
class TextureRenderer
{
public:
    TextureRenderer(const FontMeasure& measure, const GlyphTable& table, std::int32_t side, const QColor& text,
                    const QColor& background);

    std::int32_t side() const { return m_side; }

    // Draws the texture's rows from top down into band, a 32-bit image as wide as the texture.
    void renderRows(QImage& band, int top) const;
    // The whole texture; a null image when the memory for it cannot be had.
    QImage render() const;

private:
    const FontMeasure& m_measure;
    const GlyphTable& m_table;
    std::int32_t m_side;
    QColor m_text;
    QColor m_background;
};

} // namespace glyfrax
