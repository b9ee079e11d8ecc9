#include "render/GlyphPainter.h"

#include "layout/TextureLayout.h"
#include "render/FontMeasure.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace glyfrax {

void drawCharacter(QPainter& painter, const QRawFont& font, const FontMeasure& measure, int code, QPoint origin,
                   const QRect& clip)
{
    if (clip.isEmpty())
        return;
    painter.setClipRect(clip);
    drawGlyph(painter, font, measure.glyph(code), {origin.x(), origin.y() + measure.ascent()});
}

namespace {

// Qt draws glyphs up to kLargestCachedGlyph pixels per em from images that FreeType renders row by
// row, and FreeType fails for a row that holds more than about 700 pixels of the outline's edges
// (Qt then copies an image that is not there, and crashes). No glyph of a real font is this wide
// at such a size; a glyph that is gets filled as a path instead, as Qt fills larger ones, within
// the painter's clip.
constexpr int kWidestCachedGlyph = 512;

} // namespace

bool qtCanDrawGlyph(const QRawFont& font, quint32 glyph, double pixelSize)
{
    return pixelSize > kLargestCachedGlyph || font.pixelSize() <= 0 ||
           font.boundingRect(glyph).width() * pixelSize / font.pixelSize() <= kWidestCachedGlyph;
}

void drawGlyph(QPainter& painter, const QRawFont& font, quint32 glyph, QPoint pen)
{
    if (!qtCanDrawGlyph(font, glyph, font.pixelSize())) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing, painter.testRenderHint(QPainter::TextAntialiasing));
        painter.fillPath(font.pathForGlyph(glyph).translated(pen), painter.pen().color());
        painter.restore();
        return;
    }
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes({glyph});
    run.setPositions({QPointF(0, 0)});
    painter.drawGlyphRun(pen, run);
}

QImage renderPreview(const FontMeasure& measure, const TextureLayout& layout, const QColor& text,
                     const QColor& background, QSize maxSize, qreal ratio)
{
    int widest = 0;
    for (int line = 0; line < layout.lineCount(); ++line) {
        int width = 0;
        for (int code = layout.firstCodeOfLine(line); code <= layout.lastCodeOfLine(line); ++code)
            width += measure.charWidth(code);
        widest = std::max(widest, width);
    }
    const int height = measure.lineHeight() * layout.lineCount();
    const QSize size(std::clamp(widest, 1, maxSize.width()), std::clamp(height, 1, maxSize.height()));
    // A place in device pixels; at a ratio of 1 the measure's own.
    auto device = [ratio](int pixels) { return int(std::lround(pixels * ratio)); };
    QImage image = makeCanvas(device(size.width()), device(size.height()), QImage::Format_RGB32);
    image.fill(background);

    QRawFont font = measure.rawFont();
    if (ratio != 1.0)
        font.setPixelSize(font.pixelSize() * ratio);
    {
        QPainter painter(&image);
        painter.setPen(text);
        for (int line = 0, y = 0; line < layout.lineCount() && y < size.height(); ++line, y += measure.lineHeight()) {
            int x = 0;
            for (int code = layout.firstCodeOfLine(line); code <= layout.lastCodeOfLine(line) && x < size.width();
                 ++code) {
                const int width = measure.charWidth(code);
                const QRect cell(device(x), device(y), device(x + width) - device(x),
                                 device(y + measure.lineHeight()) - device(y));
                if (!cell.isEmpty()) {
                    painter.setClipRect(cell);
                    drawGlyph(painter, font, measure.glyph(code), {cell.x(), device(y + measure.ascent())});
                }
                x += width;
            }
        }
    }
    // Said only now: the places above are in the image's own pixels.
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace glyfrax
