#include "render/GlyphPages.h"

#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"

#include <QPainter>
#include <QRawFont>

namespace glyfrax {

namespace {

// The box of the pixels that are not black, in image coordinates.
QRect litPixels(const QImage& image)
{
    int left = image.width();
    int right = -1;
    int top = image.height();
    int bottom = -1;
    for (int y = 0, width = image.width(); y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if ((row[x] & 0xFFFFFFU) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

QRect inkBox(const QRawFont& font, quint32 glyph, QSize largest)
{
    const QRect outline = font.boundingRect(glyph).toAlignedRect();
    if (outline.isEmpty())
        return {};
    // The ink may be a pixel or two smaller than the outline's box: such a glyph is drawn, and
    // its ink decides. The canvas then stays within the largest size, the slack and the margins.
    constexpr int kSlack = 2;
    if (outline.width() > largest.width() + kSlack || outline.height() > largest.height() + kSlack)
        return outline;
    // The outline's box with a margin for anti-aliasing. Should ink reach the canvas's edge, the
    // outline's box was too small after all, and the canvas grows until the ink lies inside it.
    constexpr int kLargestMargin = 128;
    for (int margin = 2;; margin *= 4) {
        const QRect area = outline.adjusted(-margin, -margin, margin, margin);
        QImage canvas = makeCanvas(area.width(), area.height(), QImage::Format_RGB32);
        if (canvas.isNull())
            return outline;
        canvas.fill(Qt::black);
        {
            QPainter painter(&canvas);
            painter.setPen(Qt::white);
            drawGlyph(painter, font, glyph, -area.topLeft());
        }
        const QRect lit = litPixels(canvas);
        const bool inside =
            lit.left() > 0 && lit.top() > 0 && lit.right() < area.width() - 1 && lit.bottom() < area.height() - 1;
        if (lit.isEmpty() || inside || margin >= kLargestMargin)
            return lit.isEmpty() ? QRect() : lit.translated(area.topLeft());
    }
}

QImage renderPage(const QRawFont& font, QSize size, const std::vector<PlacedGlyph>& glyphs, const PageColors& colors)
{
    QImage page = makeCanvas(size.width(), size.height(), QImage::Format_RGB32);
    if (page.isNull())
        return page;
    // Coverage is the grey of white drawn on black, the same as inkBox saw.
    page.fill(colors.coverageInAlpha ? QColor(Qt::black) : colors.background);
    {
        QPainter painter(&page);
        painter.setPen(colors.coverageInAlpha ? QColor(Qt::white) : colors.text);
        for (const PlacedGlyph& placed : glyphs) {
            painter.setClipRect(placed.cell);
            drawGlyph(painter, font, placed.glyph, placed.pen);
        }
    }
    if (colors.coverageInAlpha) {
        // White everywhere, also where nothing is drawn: a filtering engine then blends no dark fringe in.
        for (int y = 0, width = page.width(); y < page.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(page.scanLine(y));
            for (int x = 0; x < width; ++x)
                row[x] = QRgb(qRed(row[x])) << 24 | 0xFFFFFFU;
        }
        page.reinterpretAsFormat(QImage::Format_ARGB32);
    }
    return page;
}

} // namespace glyfrax
