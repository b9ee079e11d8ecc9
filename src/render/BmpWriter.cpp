#include "render/BmpWriter.h"

#include "base/LittleEndian.h"
#include "layout/Units.h"

#include <QIODevice>
#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define GLYFRAX_BYTE_SHUFFLE 1
#endif

namespace glyfrax {

namespace {

// Small enough to stay in a core's cache, large enough that a write call is worth its cost.
constexpr qint64 kChunkBytes = qint64(256) * 1024;

} // namespace

QByteArray bmpHeader(int width, int height)
{
    const qint64 pixelBytes = bmpRowBytes(width) * height;
    QByteArray bytes;
    bytes.reserve(kBmpHeaderSize);
    bytes.append("BM", 2);
    appendLittleEndian<std::uint32_t>(bytes, std::uint32_t(kBmpHeaderSize + pixelBytes));
    appendLittleEndian<std::uint32_t>(bytes, 0); // reserved
    appendLittleEndian<std::uint32_t>(bytes, kBmpHeaderSize);
    appendLittleEndian<std::uint32_t>(bytes, 40);
    appendLittleEndian<std::int32_t>(bytes, width);
    appendLittleEndian<std::int32_t>(bytes, height); // positive: rows stored bottom-up
    appendLittleEndian<std::uint16_t>(bytes, 1);     // planes
    appendLittleEndian<std::uint16_t>(bytes, 24);    // bits per pixel
    appendLittleEndian<std::uint32_t>(bytes, 0);     // no compression
    appendLittleEndian<std::uint32_t>(bytes, std::uint32_t(pixelBytes));
    appendLittleEndian<std::int32_t>(bytes, kDotsPerMeter);
    appendLittleEndian<std::int32_t>(bytes, kDotsPerMeter);
    appendLittleEndian<std::uint32_t>(bytes, 0); // colours used
    appendLittleEndian<std::uint32_t>(bytes, 0); // important colours
    return bytes;
}

namespace {

#ifdef GLYFRAX_BYTE_SHUFFLE
// Sixteen pixels at a time, one byte shuffle for every four: about five times as fast as the
// word packing below, which matters as every pixel of a texture passes through here. Returns
// the pixels done; the rest are left for the word packing.
__attribute__((target("ssse3"))) int toBlueGreenRedShuffled(const QRgb* pixels, int width, char* out)
{
    // Each pixel's blue, green and red bytes to the front, the unused bytes dropped.
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 16 <= width; x += 16, out += 48) {
        __m128i packed[4];
        for (int i = 0; i < 4; ++i)
            packed[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + x + 4 * i)), pack);
        // Four runs of 12 bytes into three blocks of 16.
        const __m128i blocks[3] = {_mm_or_si128(packed[0], _mm_slli_si128(packed[1], 12)),
                                   _mm_or_si128(_mm_srli_si128(packed[1], 4), _mm_slli_si128(packed[2], 8)),
                                   _mm_or_si128(_mm_srli_si128(packed[2], 8), _mm_slli_si128(packed[3], 4))};
        for (int i = 0; i < 3; ++i)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), blocks[i]);
    }
    return x;
}
#endif

void toBlueGreenRed(const QRgb* pixels, int width, char* out)
{
    int x = 0;
#ifdef GLYFRAX_BYTE_SHUFFLE
    if (__builtin_cpu_supports("ssse3")) {
        x = toBlueGreenRedShuffled(pixels, width, out);
        out += qint64(x) * 3;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        // A 32-bit pixel lies in memory as blue, green, red, unused: four pixels pack into
        // three words. Several times faster than byte by byte, which matters at 4096 x 4096.
        for (; x + 4 <= width; x += 4, out += 12) {
            const std::uint32_t a = pixels[x];
            const std::uint32_t b = pixels[x + 1];
            const std::uint32_t c = pixels[x + 2];
            const std::uint32_t d = pixels[x + 3];
            const std::uint32_t words[3] = {(a & 0xFFFFFFU) | (b << 24), ((b >> 8) & 0xFFFFU) | (c << 16),
                                            ((c >> 16) & 0xFFU) | (d << 8)};
            std::memcpy(out, words, sizeof(words));
        }
    }
    for (; x < width; ++x, out += 3) {
        const QRgb pixel = pixels[x];
        out[0] = char(qBlue(pixel));
        out[1] = char(qGreen(pixel));
        out[2] = char(qRed(pixel));
    }
}

} // namespace

qint64 bmpRowBytes(int width)
{
    return (qint64(width) * 3 + 3) & ~qint64(3);
}

void toBmpRows(const QImage& image, int firstRow, int rows, char* out, qint64 stride, const char* rowBelow)
{
    const int width = image.width();
    for (int y = firstRow + rows - 1; y >= firstRow; --y, out += stride) {
        // Most of a texture is rows of background: a row like the one below is copied.
        const char* below = y < firstRow + rows - 1 ? out - stride : (y + 1 < image.height() ? rowBelow : nullptr);
        if (below && std::memcmp(image.constScanLine(y), image.constScanLine(y + 1), size_t(width) * 4) == 0)
            std::memcpy(out, below, size_t(stride));
        else
            toBlueGreenRed(reinterpret_cast<const QRgb*>(image.constScanLine(y)), width, out);
    }
}

bool fitsBmp(int width, int height)
{
    return width > 0 && height > 0 &&
           kBmpHeaderSize + bmpRowBytes(width) * height <= qint64(std::numeric_limits<std::uint32_t>::max());
}

BmpRowWriter::BmpRowWriter(int width)
    : m_stride(bmpRowBytes(width)), m_chunkRows(int(std::max<qint64>(2, kChunkBytes / m_stride))),
      m_buffer(new char[std::size_t(m_stride * m_chunkRows)]()) // the padding stays zero
{
}

bool BmpRowWriter::write(QIODevice& device, const QImage& image, int firstRow, int endRow)
{
    // The stored row below the next chunk: the top row of the chunk before, which lies beyond the
    // next chunk's bottom row as a chunk has at least two rows.
    const char* below = nullptr;
    for (int end = endRow < 0 ? image.height() : endRow; end > firstRow; end -= m_chunkRows) {
        const int first = std::max(firstRow, end - m_chunkRows);
        toBmpRows(image, first, end - first, m_buffer.get(), m_stride, below);
        below = m_buffer.get() + (end - first - 1) * m_stride;
        const qint64 length = m_stride * (end - first);
        errno = 0;
        if (device.write(m_buffer.get(), length) != length) {
            if (errno == 0)
                errno = EIO;
            return false;
        }
    }
    return true;
}

bool writeBmp24(QIODevice& device, const QImage& image)
{
    if (!fitsBmp(image.width(), image.height()) ||
        device.write(bmpHeader(image.width(), image.height())) != kBmpHeaderSize)
        return false;
    return BmpRowWriter(image.width()).write(device, image);
}

} // namespace glyfrax
