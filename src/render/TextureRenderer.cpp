#include "render/TextureRenderer.h"

#include "base/LargeBuffer.h"
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

// The texture is drawn in bands of this many bytes of 32-bit pixels, counted from its bottom
// row, as it always has been: the rasteriser's anti-aliasing can differ in a pixel's last bit
// with where a band begins, so the bands keep their places whatever the number of threads.
constexpr qint64 kBandBytes = qint64(16) * 1024 * 1024;
// Each further thread makes its own font first, which costs about as much as drawing this many
// pixels; a small texture is drawn faster on one thread.
constexpr qint64 kPixelsPerThread = qint64(512) * 512;

} // namespace

TextureRenderer::TextureRenderer(const FontMeasure& measure, const GlyphTable& table, std::int32_t side,
                                 const QColor& text, const QColor& background, int threads)
    : m_measure(measure), m_table(table), m_side(side), m_text(text), m_background(background),
      m_threads(std::max(1, threads)),
      m_pieceRows(int(std::clamp<qint64>(kBandBytes / (qint64(side) * 4), 1, std::max(1, side))))
{
}

int TextureRenderer::bandRows() const
{
    return int(std::min<qint64>(qint64(m_pieceRows) * m_threads, m_side));
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
    // The pieces that hold these rows, each as [first row, end row), from the bottom up.
    QList<std::pair<int, int>> pieces;
    for (int end = m_side; end > top; end -= m_pieceRows) {
        if (end - m_pieceRows < top + rows)
            pieces.append({std::max(0, end - m_pieceRows), end});
    }

    std::atomic<qsizetype> next = 0;
    std::atomic<bool> ok = true;
    const qint64 threads = std::min(
        {qint64(m_threads), qint64(pieces.size()), std::max<qint64>(1, qint64(m_side) * rows / kPixelsPerThread)});
    if (m_images.size() < std::size_t(threads))
        m_images.resize(std::size_t(threads));
    runOnThreads(int(threads), [&](int worker) {
        // The calling thread draws with the measure's own font; every other thread makes its own.
        const QRawFont font = worker == 0 ? m_measure.rawFont() : m_measure.rawFontForThisThread();
        // Kept from band to band: fresh memory for every band costs more to map than to draw on.
        LargeBuffer& pixels = m_images[std::size_t(worker)];
        const qint64 rowBytes = qint64(m_side) * 4;
        if (pixels.isNull())
            pixels = LargeBuffer(rowBytes * m_pieceRows);
        if (pixels.isNull()) {
            ok = false;
            return;
        }
        for (qsizetype i = next++; i < pieces.size(); i = next++) {
            const auto [begin, end] = pieces[i];
            // A view of the image's first rows, as tall as the piece.
            QImage piece(reinterpret_cast<uchar*>(pixels.data()), m_side, end - begin, rowBytes, QImage::Format_RGB32);
            renderRows(piece, begin, font);
            const int first = std::max(begin, top);
            const int last = std::min(end, top + rows); // one past
            toBmpRows(piece, first - begin, last - first, out + (top + rows - last) * stride, stride);
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
