#include "TextureRenderer.h"

#include "../layout/FontMeasure.h"
#include "../layout/GlyphPainter.h"
#include "GlyphTable.h"

#include <QPainter>

namespace glyfrax {

QImage renderTexture(const FontMeasure& measure, const GlyphTable& table, std::int32_t side, const QColor& text,
                     const QColor& background)
{
    QImage image = makeCanvas(side, side, QImage::Format_BGR888);
    if (image.isNull())
        return image;
    image.fill(background);

    QPainter painter(&image);
    painter.setFont(measure.font());
    painter.setPen(text);
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& cell = table[code];
        if (cell.W <= 0 || cell.H <= 0)
            continue; // nothing to copy, and QRect would turn a negative size around
        const QRect clip = QRect(cell.X, cell.Y, cell.W, cell.H) & image.rect();
        drawCharacter(painter, measure, code, {cell.X, cell.Y}, clip);
    }
    return image;
}

} // namespace glyfrax
