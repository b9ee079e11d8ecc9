#include "render/TextureRenderer.h"

#include "base/Parallel.h"
#include "layout/GlyphTable.h"
#include "render/BmpWriter.h"
#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"

#include <QPainter>

#include <algorithm>
#include <atomic>

namespace glyfrax {

namespace {

// A piece taller than this many bytes of pixels is cut, so that a thread's image stays small
// whatever the texture's size.
constexpr qint64 kPieceBytes = qint64(4) * 1024 * 1024;
// Each further thread makes its own font first, which costs about as much as drawing this many
// pixels; a small texture is drawn faster on one thread.
constexpr qint64 kPixelsPerThread = qint64(512) * 512;

// Rows where a piece starts: the top of each line of cells, and cuts within a line that is too tall.
QList<int> pieceTops(const GlyphTable& table, std::int32_t side)
{
    QList<int> lineTops{0};
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        if (table[code].Y > 0 && table[code].Y < side)
            lineTops.append(table[code].Y);
    }
    std::sort(lineTops.begin(), lineTops.end());
    lineTops.erase(std::unique(lineTops.begin(), lineTops.end()), lineTops.end());
    lineTops.append(side);

    const int tallest = int(std::max<qint64>(1, kPieceBytes / (qint64(side) * 4)));
    QList<int> tops;
    for (qsizetype i = 0; i + 1 < lineTops.size(); ++i) {
        for (int top = lineTops[i]; top < lineTops[i + 1]; top += tallest)
            tops.append(top);
    }
    return tops;
}

} // namespace

TextureRenderer::TextureRenderer(const FontMeasure& measure, const GlyphTable& table, std::int32_t side,
                                 const QColor& text, const QColor& background, int threads)
    : m_measure(measure), m_table(table), m_side(side), m_text(text), m_background(background),
      m_threads(std::max(1, threads)), m_pieceTops(pieceTops(table, side))
{
}

void TextureRenderer::renderRows(QImage& image, int top, const QRawFont& font) const
{
    image.fill(m_background);
    const QRect texture(0, 0, m_side, m_side);
    const QRect rows(0, top, m_side, image.height());
    QPainter painter(&image);
    painter.setPen(m_text);
    painter.translate(0, -top);
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& cell = m_table[code];
        if (cell.W <= 0 || cell.H <= 0)
            continue; // nothing to draw, and QRect would turn a negative size around
        const QRect clip = QRect(cell.X, cell.Y, cell.W, cell.H) & texture & rows;
        drawCharacter(painter, font, m_measure, code, {cell.X, cell.Y}, clip);
    }
}

bool TextureRenderer::fillBmpRows(int top, int rows, char* out, qint64 stride) const
{
    // The pieces within these rows, each as [first row, end row).
    QList<std::pair<int, int>> pieces;
    for (qsizetype i = 0; i < m_pieceTops.size(); ++i) {
        const int begin = std::max(top, m_pieceTops[i]);
        const int end = std::min(top + rows, i + 1 < m_pieceTops.size() ? m_pieceTops[i + 1] : m_side);
        if (begin < end)
            pieces.append({begin, end});
    }
    int tallest = 0;
    for (const auto& [begin, end] : pieces)
        tallest = std::max(tallest, end - begin);

    std::atomic<qsizetype> next = 0;
    std::atomic<bool> ok = true;
    const qint64 threads = std::min({qint64(m_threads), qint64(pieces.size()),
                                     std::max<qint64>(1, qint64(m_side) * rows / kPixelsPerThread)});
    runOnThreads(int(threads), [&](int worker) {
        // The calling thread draws with the measure's own font; every other thread makes its own.
        const QRawFont font = worker == 0 ? m_measure.rawFont() : m_measure.rawFontForThisThread();
        QImage image(m_side, tallest, QImage::Format_RGB32);
        if (image.isNull()) {
            ok = false;
            return;
        }
        for (qsizetype i = next++; i < pieces.size(); i = next++) {
            const auto [begin, end] = pieces[i];
            // A view of the image's first rows, as tall as the piece.
            QImage piece(image.bits(), m_side, end - begin, image.bytesPerLine(), QImage::Format_RGB32);
            renderRows(piece, begin, font);
            toBmpRows(piece, 0, end - begin, out + (top + rows - end) * stride, stride);
        }
    });
    return ok;
}

QImage TextureRenderer::render() const
{
    QImage image = makeCanvas(m_side, m_side, QImage::Format_RGB32);
    if (!image.isNull())
        renderRows(image, 0, m_measure.rawFont());
    return image;
}

} // namespace glyfrax
