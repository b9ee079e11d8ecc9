#include "render/TextureRenderer.h"

#include "base/LargeBuffer.h"
#include "base/Parallel.h"
#include "layout/GlyphTable.h"
#include "render/BmpWriter.h"
#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"

#include <QIODevice>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cerrno>
#include <condition_variable>
#include <mutex>

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
      m_bandRows(int(std::clamp<qint64>(kBandBytes / (qint64(side) * 4), 1, std::max(1, side))))
{
}

void TextureRenderer::renderRows(QImage& image, int top, const QRawFont& font) const
{
    image.fill(m_background);
    QPainter painter(&image);
    drawCells(painter, font, top, image.height(), nullptr);
}

void TextureRenderer::drawCells(QPainter& painter, const QRawFont& font, int top, int rows,
                                std::atomic<int>* nextCode) const
{
    const QRect texture(0, 0, m_side, m_side);
    const QRect band(0, top, m_side, rows);
    painter.setPen(m_text);
    painter.translate(0, -top);
    // Every code, or runs of a few codes taken from nextCode, which other threads take from too.
    constexpr int kCodesPerTurn = 8;
    int code = nextCode ? nextCode->fetch_add(kCodesPerTurn) : kFirstCode;
    for (int end = nextCode ? code + kCodesPerTurn : kLastCode + 1; code <= kLastCode;) {
        const GlyphRect& cell = m_table[code];
        // Nothing to draw in an empty cell, and QRect would turn a negative size around.
        if (cell.W > 0 && cell.H > 0) {
            const QRect clip = QRect(cell.X, cell.Y, cell.W, cell.H) & texture & band;
            drawCharacter(painter, font, m_measure, code, {cell.X, cell.Y}, clip);
        }
        if (++code == end && nextCode) {
            code = nextCode->fetch_add(kCodesPerTurn);
            end = code + kCodesPerTurn;
        }
    }
}

bool TextureRenderer::writeBmp(QIODevice& device, const Progress& progress) const
{
    if (!fitsBmp(m_side, m_side) || device.write(bmpHeader(m_side, m_side)) != kBmpHeaderSize)
        return false;
    const int threads =
        int(std::min<qint64>(m_threads, std::max<qint64>(1, qint64(m_side) * m_side / kPixelsPerThread)));
    return bandCount() >= threads ? writeBandsApart(device, threads, progress)
                                  : writeBandsTogether(device, threads, progress);
}

int TextureRenderer::bandCount() const
{
    return int((qint64(m_side) + m_bandRows - 1) / m_bandRows);
}

std::pair<int, int> TextureRenderer::bandRows(int band) const
{
    const int end = int(m_side - qint64(band) * m_bandRows);
    return {std::max(0, end - m_bandRows), end};
}

bool TextureRenderer::writeBandsApart(QIODevice& device, int threads, const Progress& progress) const
{
    // Each thread draws the next band nobody has taken, waits until the bands below it are in the
    // file, writes it and takes the next, so drawing goes on while a band is written.
    const int bands = bandCount();
    std::atomic<int> next = 0;
    std::mutex mutex;
    std::condition_variable changed;
    int written = 0;   // bands in the file
    int failure = 0;   // errno of the first failure; ENOMEM for memory
    int reported = -1; // bands progress was told of

    // Waits until done() holds. The calling thread tells progress on the way: the window's
    // progress dialog keeps the window alive from there.
    auto waitUntil = [&](std::unique_lock<std::mutex>& lock, bool reporting, auto done) {
        for (;;) {
            if (reporting && progress && reported != written) {
                reported = written;
                const int rows = int(std::min<qint64>(m_side, qint64(written) * m_bandRows));
                lock.unlock();
                progress(rows);
                lock.lock();
            } else if (done()) {
                return;
            } else {
                changed.wait(lock);
            }
        }
    };
    auto fail = [&](int error) {
        const std::lock_guard lock(mutex);
        if (failure == 0)
            failure = error != 0 ? error : EIO;
        changed.notify_all();
    };

    runOnThreads(threads, [&](int worker) {
        const bool caller = worker == 0;
        // The calling thread draws with the measure's own font; every other thread makes its own.
        const QRawFont font = caller ? m_measure.rawFont() : m_measure.rawFontForThisThread();
        const qint64 rowBytes = qint64(m_side) * 4;
        const LargeBuffer pixels(rowBytes * m_bandRows);
        if (pixels.isNull())
            return fail(ENOMEM);
        BmpRowWriter writer(m_side);
        for (int band = next++; band < bands; band = next++) {
            const auto [begin, end] = bandRows(band);
            QImage image(reinterpret_cast<uchar*>(pixels.data()), m_side, end - begin, rowBytes, QImage::Format_RGB32);
            renderRows(image, begin, font);
            {
                std::unique_lock lock(mutex);
                waitUntil(lock, caller, [&] { return failure != 0 || written == band; });
                if (failure != 0)
                    return;
            }
            // Only this thread writes now: every other one waits for written to change.
            if (!writer.write(device, image))
                return fail(errno);
            const std::lock_guard lock(mutex);
            ++written;
            changed.notify_all();
        }
        if (caller) {
            std::unique_lock lock(mutex);
            waitUntil(lock, true, [&] { return failure != 0 || written == bands; });
        }
    });
    errno = failure;
    return failure == 0;
}

bool TextureRenderer::writeBandsTogether(QIODevice& device, int threads, const Progress& progress) const
{
    // The threads draw one band at a time, together: each takes the next few characters as it goes.
    // Every character is drawn only inside its own cell, so no two threads draw on one pixel.
    const qint64 rowBytes = qint64(m_side) * 4;
    const LargeBuffer pixels(rowBytes * m_bandRows);
    if (pixels.isNull()) {
        errno = ENOMEM;
        return false;
    }
    BmpRowWriter writer(m_side);
    std::barrier<> together(threads);
    std::atomic<int> nextCode = kFirstCode;
    int failure = 0; // errno of a failed write
    runOnThreads(threads, [&](int worker) {
        const QRawFont font = worker == 0 ? m_measure.rawFont() : m_measure.rawFontForThisThread();
        for (int band = 0; band < bandCount(); ++band) {
            const auto [begin, end] = bandRows(band);
            QImage image(reinterpret_cast<uchar*>(pixels.data()), m_side, end - begin, rowBytes, QImage::Format_RGB32);
            // Each thread clears a stripe of the band's rows.
            const int first = (end - begin) * worker / threads;
            const int last = (end - begin) * (worker + 1) / threads;
            QImage stripe(image.scanLine(first), m_side, last - first, rowBytes, QImage::Format_RGB32);
            stripe.fill(m_background);
            if (worker == 0)
                nextCode = kFirstCode;
            together.arrive_and_wait();
            {
                QPainter painter(&image);
                drawCells(painter, font, begin, end - begin, &nextCode);
            }
            together.arrive_and_wait();
            // The calling thread writes the band and tells the progress; the others wait for it.
            if (worker == 0) {
                if (!writer.write(device, image))
                    failure = errno != 0 ? errno : EIO;
                else if (progress)
                    progress(m_side - begin);
            }
            together.arrive_and_wait();
            if (failure != 0)
                return;
        }
    });
    errno = failure;
    return failure == 0;
}

QImage TextureRenderer::render() const
{
    QImage image = makeCanvas(m_side, m_side, QImage::Format_RGB32);
    if (!image.isNull())
        renderRows(image, 0, m_measure.rawFont());
    return image;
}

} // namespace glyfrax
