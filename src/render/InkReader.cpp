#include "render/InkReader.h"

#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"

#include <algorithm>

namespace glyfrax {

namespace {

// The box of the pixels in area that are not black.
QRect litPixels(const QImage& image, const QRect& area)
{
    int left = area.right() + 1;
    int right = -1;
    int top = area.bottom() + 1;
    int bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
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

void setGlyphRendering(QPainter& painter, bool monochrome)
{
    painter.setRenderHint(QPainter::Antialiasing, !monochrome);
    painter.setRenderHint(QPainter::TextAntialiasing, !monochrome);
}

InkReader::InkReader(const QRawFont& font, bool monochrome) : m_font(font), m_monochrome(monochrome) {}

GlyphInk InkReader::read(quint32 glyph, QSize largest)
{
    const QRect outline = m_font.boundingRect(glyph).toAlignedRect();
    if (outline.isEmpty())
        return {};
    // The ink may be a pixel or two smaller than the outline's box: such a glyph is drawn, and
    // its ink decides. The canvas then stays within the largest size, the slack and the margins.
    constexpr int kSlack = 2;
    if (outline.width() > largest.width() + kSlack || outline.height() > largest.height() + kSlack)
        return {outline, {}, {}, {}};
    // The outline's box with a margin for anti-aliasing. Should ink reach the area's edge, the
    // outline's box was too small after all, and the area grows until the ink lies inside it.
    constexpr int kLargestMargin = 128;
    for (int margin = 2;; margin *= 4) {
        const QRect area(0, 0, outline.width() + 2 * margin, outline.height() + 2 * margin);
        // A canvas for a glyph far larger than the others is not kept: it would hold its memory
        // for the rest of the export.
        constexpr int kLargestKept = 512;
        QImage scratch;
        const bool kept = area.width() <= kLargestKept && area.height() <= kLargestKept;
        if (kept && (m_canvas.width() < area.width() || m_canvas.height() < area.height()))
            m_canvas = makeCanvas(std::max(m_canvas.width(), area.width()), std::max(m_canvas.height(), area.height()),
                                  QImage::Format_RGB32);
        else if (!kept)
            scratch = makeCanvas(area.width(), area.height(), QImage::Format_RGB32);
        QImage& canvas = kept ? m_canvas : scratch;
        if (canvas.isNull())
            return {outline, {}, {}, {}};
        const QPoint pen = QPoint(margin, margin) - outline.topLeft();
        {
            QPainter painter(&canvas);
            painter.fillRect(area, Qt::black);
            painter.setClipRect(area);
            painter.setPen(Qt::white);
            setGlyphRendering(painter, m_monochrome);
            drawGlyph(painter, m_font, glyph, pen);
        }
        const QRect lit = litPixels(canvas, area);
        const bool inside =
            lit.left() > 0 && lit.top() > 0 && lit.right() < area.width() - 1 && lit.bottom() < area.height() - 1;
        if (!lit.isEmpty() && !inside && margin < kLargestMargin)
            continue;
        if (lit.isEmpty())
            return {};
        // Coverage is the grey of white drawn on black.
        GlyphInk ink{lit.translated(-pen),
                     std::vector<std::uint8_t>(std::size_t(lit.width()) * std::size_t(lit.height())),
                     {},
                     {}};
        auto out = ink.coverage.begin();
        for (int y = lit.top(); y <= lit.bottom(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            out = std::transform(row + lit.left(), row + lit.right() + 1, out, [](QRgb pixel) { return qRed(pixel); });
        }
        return ink;
    }
}

} // namespace glyfrax
