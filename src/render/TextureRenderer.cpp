#include "render/TextureRenderer.h"

#include "layout/GlyphTable.h"
#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"

#include <QPainter>

namespace glyfrax {

TextureRenderer::TextureRenderer(const FontMeasure& measure, const GlyphTable& table, std::int32_t side,
                                 const QColor& text, const QColor& background)
    : m_measure(measure), m_table(table), m_side(side), m_text(text), m_background(background)
{
}

void TextureRenderer::renderRows(QImage& band, int top) const
{
    band.fill(m_background);
    const QRect texture(0, 0, m_side, m_side);
    const QRect rows(0, top, m_side, band.height());
    QPainter painter(&band);
    painter.setPen(m_text);
    painter.translate(0, -top);
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& cell = m_table[code];
        if (cell.W <= 0 || cell.H <= 0)
            continue; // nothing to draw, and QRect would turn a negative size around
        const QRect clip = QRect(cell.X, cell.Y, cell.W, cell.H) & texture & rows;
        drawCharacter(painter, m_measure, code, {cell.X, cell.Y}, clip);
    }
}

QImage TextureRenderer::render() const
{
    QImage image = makeCanvas(m_side, m_side, QImage::Format_RGB32);
    if (!image.isNull())
        renderRows(image, 0);
    return image;
}

} // namespace glyfrax
