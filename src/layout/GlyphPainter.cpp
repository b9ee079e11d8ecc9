#include "GlyphPainter.h"

#include "../settings/Windows1252.h"
#include "FontMeasure.h"
#include "TextureLayout.h"

#include <QPainter>

#include <algorithm>

namespace glyfrax {

void drawCharacter(QPainter& painter, const FontMeasure& measure, int code, QPoint origin, const QRect& clip)
{
    if (clip.isEmpty())
        return;
    painter.setClipRect(clip);
    painter.drawText(QPointF(origin.x(), origin.y() + measure.ascent()),
                     QString(charFromWindows1252(static_cast<unsigned char>(code))));
}

QImage renderPreview(const FontMeasure& measure, const TextureLayout& layout, const QColor& text,
                     const QColor& background, QSize maxSize)
{
    int widest = 0;
    for (int line = 0; line < layout.lineCount(); ++line) {
        int width = 0;
        for (int code = layout.firstCodeOfLine(line); code <= layout.lastCodeOfLine(line); ++code)
            width += measure.charWidth(code);
        widest = std::max(widest, width);
    }
    const int height = measure.lineHeight() * layout.lineCount();
    QImage image = makeCanvas(std::clamp(widest, 1, maxSize.width()), std::clamp(height, 1, maxSize.height()),
                              QImage::Format_RGB32);
    image.fill(background);

    QPainter painter(&image);
    painter.setFont(measure.font());
    painter.setPen(text);
    for (int line = 0, y = 0; line < layout.lineCount() && y < image.height(); ++line, y += measure.lineHeight()) {
        int x = 0;
        for (int code = layout.firstCodeOfLine(line); code <= layout.lastCodeOfLine(line) && x < image.width();
             ++code) {
            const int width = measure.charWidth(code);
            drawCharacter(painter, measure, code, {x, y}, QRect(x, y, width, measure.lineHeight()));
            x += width;
        }
    }
    return image;
}

} // namespace glyfrax
