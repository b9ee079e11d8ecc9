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

// The coverage of area on canvas (white drawn on black) supersampled by factor: each factor ×
// factor square of it one value, their mean, rounded. Its rows are area.width() / factor long.
std::vector<std::uint8_t> coverageOf(const QImage& canvas, const QRect& area, int factor)
{
    const int width = area.width() / factor;
    const int height = area.height() / factor;
    std::vector<std::uint8_t> values(std::size_t(width) * std::size_t(height));
    const int samples = factor * factor;
    std::vector<int> sums(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int dy = 0; dy < factor; ++dy) {
            const auto* row =
                reinterpret_cast<const QRgb*>(canvas.constScanLine(area.top() + y * factor + dy)) + area.left();
            for (int x = 0; x < width * factor; ++x)
                sums[std::size_t(x / factor)] += qRed(row[x]);
        }
        std::transform(sums.begin(), sums.end(), values.begin() + std::ptrdiff_t(y) * width,
                       [samples](int sum) { return std::uint8_t((sum + samples / 2) / samples); });
    }
    return values;
}

// The box of the values that are not 0, in a grid of rows width long.
QRect litPixels(const std::vector<std::uint8_t>& values, int width)
{
    int left = width;
    int right = -1;
    int top = -1;
    int bottom = -1;
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (values[k] == 0)
            continue;
        const int x = int(k % std::size_t(width));
        const int y = int(k / std::size_t(width));
        left = std::min(left, x);
        right = std::max(right, x);
        top = top < 0 ? y : top;
        bottom = y;
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The smallest multiple of factor not below value.
int roundUp(int value, int factor)
{
    const int rest = ((value % factor) + factor) % factor;
    return rest == 0 ? value : value + factor - rest;
}

} // namespace

void setGlyphRendering(QPainter& painter, bool monochrome)
{
    painter.setRenderHint(QPainter::Antialiasing, !monochrome);
    painter.setRenderHint(QPainter::TextAntialiasing, !monochrome);
}

InkReader::InkReader(const QRawFont& font, bool monochrome, int supersample)
    : m_font(font), m_monochrome(monochrome), m_factor(std::max(1, supersample))
{
    if (m_factor > 1)
        m_font.setPixelSize(font.pixelSize() * m_factor);
}

GlyphInk InkReader::read(quint32 glyph, QSize largest)
{
    const int n = m_factor;
    const QRect outline = m_font.boundingRect(glyph).toAlignedRect();
    if (outline.isEmpty())
        return {};
    // The ink may be a pixel or two smaller than the outline's box: such a glyph is drawn, and
    // its ink decides. The canvas then stays within the largest size, the slack and the margins.
    constexpr int kSlack = 2;
    if (outline.width() > (largest.width() + kSlack) * n || outline.height() > (largest.height() + kSlack) * n)
        return {QRect(outline.topLeft() / n, outline.size() / n), {}, {}, {}};
    // The outline's box with a margin for anti-aliasing. Should ink reach the area's edge, the
    // outline's box was too small after all, and the area grows until the ink lies inside it.
    constexpr int kLargestMargin = 128;
    for (int margin = 2;; margin *= 4) {
        // Pen and area on whole pixels of the glyph's own size.
        const QPoint pen(roundUp(margin * n - outline.left(), n), roundUp(margin * n - outline.top(), n));
        const QRect area(0, 0, roundUp(pen.x() + outline.right() + 1 + margin * n, n),
                         roundUp(pen.y() + outline.bottom() + 1 + margin * n, n));
        // A canvas for a glyph far larger than the others is not kept: it would hold its memory
        // for the rest of the export.
        constexpr int kLargestKept = 512;
        QImage scratch;
        const bool kept = area.width() <= kLargestKept * n && area.height() <= kLargestKept * n;
        if (kept && (m_canvas.width() < area.width() || m_canvas.height() < area.height()))
            m_canvas = makeCanvas(std::max(m_canvas.width(), area.width()), std::max(m_canvas.height(), area.height()),
                                  QImage::Format_RGB32);
        else if (!kept)
            scratch = makeCanvas(area.width(), area.height(), QImage::Format_RGB32);
        QImage& canvas = kept ? m_canvas : scratch;
        if (canvas.isNull())
            return {QRect(outline.topLeft() / n, outline.size() / n), {}, {}, {}};
        {
            QPainter painter(&canvas);
            painter.fillRect(area, Qt::black);
            painter.setClipRect(area);
            painter.setPen(Qt::white);
            setGlyphRendering(painter, m_monochrome);
            drawGlyph(painter, m_font, glyph, pen);
        }
        // Drawn at the glyph's size, the canvas is the coverage; supersampled, its reduction.
        const int width = area.width() / n;
        const int height = area.height() / n;
        const std::vector<std::uint8_t> reduced = n == 1 ? std::vector<std::uint8_t>() : coverageOf(canvas, area, n);
        const QRect lit = n == 1 ? litPixels(canvas, area) : litPixels(reduced, width);
        const bool inside = lit.left() > 0 && lit.top() > 0 && lit.right() < width - 1 && lit.bottom() < height - 1;
        if (!lit.isEmpty() && !inside && margin < kLargestMargin)
            continue;
        if (lit.isEmpty())
            return {};
        GlyphInk ink{lit.translated(-pen / n),
                     std::vector<std::uint8_t>(std::size_t(lit.width()) * std::size_t(lit.height())),
                     {},
                     {}};
        auto out = ink.coverage.begin();
        for (int y = lit.top(); y <= lit.bottom(); ++y) {
            if (n == 1) {
                const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
                out = std::transform(row + lit.left(), row + lit.right() + 1, out,
                                     [](QRgb pixel) { return std::uint8_t(qRed(pixel)); });
            } else {
                const auto row = reduced.begin() + std::ptrdiff_t(y) * width;
                out = std::copy(row + lit.left(), row + lit.right() + 1, out);
            }
        }
        return ink;
    }
}

} // namespace glyfrax
