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
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace glyfrax {

namespace {

// The texture is drawn in bands of this many bytes of 32-bit pixels, counted from its bottom
// row, as it always has been: the rasteriser's anti-aliasing can differ in a pixel's last bit
// with where a band begins, so the bands keep their places whatever the number of threads.
constexpr qint64 kBandBytes = qint64(16) * 1024 * 1024;
// Each further thread makes its own font first, which costs about as much as drawing this many
// pixels; a smaller texture is drawn faster on one thread.
constexpr qint64 kPixelsPerThread = qint64(256) * 256;

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
    drawCells(image, top, font, kFirstCode, kLastCode);
}

void TextureRenderer::drawCells(QImage& image, int top, const QRawFont& font, int firstCode, int lastCode) const
{
    const QRect texture(0, 0, m_side, m_side);
    const QRect band(0, top, m_side, image.height());
    QPainter painter(&image);
    painter.setPen(m_text);
    painter.translate(0, -top);
    for (int code = firstCode; code <= lastCode; ++code) {
        const GlyphRect& cell = m_table[code];
        // Nothing to draw in an empty cell, and QRect would turn a negative size around.
        if (cell.W > 0 && cell.H > 0) {
            const QRect clip = QRect(cell.X, cell.Y, cell.W, cell.H) & texture & band;
            drawCharacter(painter, font, m_measure, code, {cell.X, cell.Y}, clip);
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
        const qint64 stride = bmpRowBytes(m_side);
        const LargeBuffer pixels(rowBytes * m_bandRows);
        // The band as the file holds it, made before this thread's turn: the turns come one after
        // another, and a turn that is only the write keeps the file growing fastest.
        const LargeBuffer stored(stride * m_bandRows);
        if (pixels.isNull() || stored.isNull())
            return fail(ENOMEM);
        for (qint64 row = 0; stride > qint64(m_side) * 3 && row < m_bandRows; ++row)
            std::memset(stored.data() + row * stride + m_side * 3, 0, std::size_t(stride - qint64(m_side) * 3));
        for (int band = next++; band < bands; band = next++) {
            const auto [begin, end] = bandRows(band);
            QImage image(reinterpret_cast<uchar*>(pixels.data()), m_side, end - begin, rowBytes, QImage::Format_RGB32);
            renderRows(image, begin, font);
            toBmpRows(image, 0, end - begin, stored.data(), stride);
            {
                std::unique_lock lock(mutex);
                waitUntil(lock, caller, [&] { return failure != 0 || written == band; });
                if (failure != 0)
                    return;
            }
            // Only this thread writes now: every other one waits for written to change.
            errno = 0;
            if (device.write(stored.data(), stride * (end - begin)) != stride * (end - begin))
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
    // The threads draw one band at a time, together, each taking the next few characters from the
    // last code down. Every character is drawn only inside its cell, so no two threads draw on one
    // pixel. The calling thread meanwhile writes the band's rows, bottom first, as soon as every
    // character that reaches into them is drawn: the last codes lie at the bottom.
    const qint64 rowBytes = qint64(m_side) * 4;
    const LargeBuffer pixels(rowBytes * m_bandRows);
    if (pixels.isNull()) {
        errno = ENOMEM;
        return false;
    }
    constexpr int kCodesPerTurn = 8;
    constexpr int kTurns = (kCharacterCount + kCodesPerTurn - 1) / kCodesPerTurn; // per band
    // endBelow[i]: the row after the lowest cell of the codes below kFirstCode + i. Once every
    // code from there up is drawn, the rows from endBelow[i] down are done.
    std::array<int, kCharacterCount + 1> endBelow{};
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const GlyphRect& cell = m_table[code];
        const int end = cell.W > 0 && cell.H > 0 ? cell.Y + cell.H : 0;
        endBelow[std::size_t(code - kFirstCode + 1)] = std::max(endBelow[std::size_t(code - kFirstCode)], end);
    }
    auto imageOf = [&](int band) {
        const auto [begin, end] = bandRows(band);
        return QImage(reinterpret_cast<uchar*>(pixels.data()), m_side, end - begin, rowBytes, QImage::Format_RGB32);
    };
    auto drawTurn = [&](int band, int turn, const QRawFont& font) {
        QImage image = imageOf(band);
        const int last = kLastCode - turn * kCodesPerTurn;
        drawCells(image, bandRows(band).first, font, std::max(kFirstCode, last - kCodesPerTurn + 1), last);
    };

    std::atomic<int> nextTurn = 0; // counted over all bands: band = turn / kTurns
    std::mutex mutex;
    std::condition_variable changed;
    int openBand = -1; // the band drawn now; its rows are background until drawn
    std::array<bool, kTurns> drawn{};
    int drawnTurns = 0; // the first this many turns of the open band are all drawn
    int failure = 0;    // errno of a failed write

    runOnThreads(threads, [&](int worker) {
        if (worker != 0) {
            const QRawFont font = m_measure.rawFontForThisThread();
            for (int turn = nextTurn++; turn < bandCount() * kTurns; turn = nextTurn++) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return failure != 0 || openBand >= turn / kTurns; });
                    if (failure != 0)
                        return;
                }
                drawTurn(turn / kTurns, turn % kTurns, font);
                const std::lock_guard lock(mutex);
                drawn[std::size_t(turn % kTurns)] = true;
                while (drawnTurns < kTurns && drawn[std::size_t(drawnTurns)])
                    ++drawnTurns;
                changed.notify_all();
            }
            return;
        }
        BmpRowWriter writer(m_side);
        for (int band = 0; band < bandCount(); ++band) {
            const auto [begin, end] = bandRows(band);
            QImage image = imageOf(band);
            image.fill(m_background);
            {
                const std::lock_guard lock(mutex);
                openBand = band;
                drawn = {};
                drawnTurns = 0;
                changed.notify_all();
            }
            for (int unwritten = end;;) { // rows from unwritten down are in the file
                std::unique_lock lock(mutex);
                const int done =
                    std::max(begin, endBelow[std::size_t(std::max(0, kCharacterCount - drawnTurns * kCodesPerTurn))]);
                if (done < unwritten) {
                    lock.unlock();
                    if (!writer.write(device, image, done - begin, unwritten - begin)) {
                        lock.lock();
                        failure = errno != 0 ? errno : EIO;
                        changed.notify_all();
                        return;
                    }
                    unwritten = done;
                    if (progress)
                        progress(m_side - unwritten);
                    continue;
                }
                // The next band starts only once every turn of this one is drawn, even those whose
                // cells lie above it: a turn still being drawn would mark the next band's turn as
                // drawn, and share its pixels.
                if (unwritten == begin && drawnTurns == kTurns)
                    break;
                // Nothing to write yet: this thread draws a turn of the open band, if one is left.
                int turn = nextTurn.load();
                while (turn < (band + 1) * kTurns && !nextTurn.compare_exchange_weak(turn, turn + 1)) {
                }
                if (turn >= (band + 1) * kTurns) {
                    changed.wait(lock);
                    continue;
                }
                lock.unlock();
                drawTurn(band, turn % kTurns, m_measure.rawFont());
                lock.lock();
                drawn[std::size_t(turn % kTurns)] = true;
                while (drawnTurns < kTurns && drawn[std::size_t(drawnTurns)])
                    ++drawnTurns;
            }
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
