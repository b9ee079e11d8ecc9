#include "render/GlyphPainter.h"

#include "layout/TextureLayout.h"
#include "render/FontMeasure.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

namespace glyfrax {

void drawCharacter(QPainter& painter, const FontMeasure& measure, int code, QPoint origin, const QRect& clip)
{
    drawCharacter(painter, measure.rawFont(), measure, code, origin, clip);
}

void drawCharacter(QPainter& painter, const QRawFont& font, const FontMeasure& measure, int code, QPoint origin,
                   const QRect& clip)
{
    if (clip.isEmpty())
        return;
    painter.setClipRect(clip);
    drawGlyph(painter, font, measure.glyph(code), {origin.x(), origin.y() + measure.ascent()});
}

void drawGlyph(QPainter& painter, const QRawFont& font, quint32 glyph, QPoint pen)
{
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes({glyph});
    run.setPositions({QPointF(0, 0)});
    painter.drawGlyphRun(pen, run);
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
