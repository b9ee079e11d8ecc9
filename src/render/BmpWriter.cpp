#include "render/BmpWriter.h"

#include "base/LittleEndian.h"
#include "layout/Units.h"

#include <QIODevice>
#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace glyfrax {

namespace {

constexpr int kHeaderSize = 14 + 40;
constexpr qint64 kBandBytes = qint64(16) * 1024 * 1024; // few bands: a glyph across two is drawn twice

qint64 rowBytes(int width)
{
    return (qint64(width) * 3 + 3) & ~qint64(3);
}

QByteArray header(int width, int height)
{
    const qint64 pixelBytes = rowBytes(width) * height;
    QByteArray bytes;
    bytes.reserve(kHeaderSize);
    bytes.append("BM", 2);
    appendLittleEndian<std::uint32_t>(bytes, std::uint32_t(kHeaderSize + pixelBytes));
    appendLittleEndian<std::uint32_t>(bytes, 0); // reserved
    appendLittleEndian<std::uint32_t>(bytes, kHeaderSize);
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

void toBlueGreenRed(const QRgb* pixels, int width, char* out)
{
    int x = 0;
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

bool fitsBmp(int width, int height)
{
    return width > 0 && height > 0 &&
           kHeaderSize + rowBytes(width) * height <= qint64(std::numeric_limits<std::uint32_t>::max());
}

bool writeBmp24(QIODevice& device, int width, int height, const BandSource& source)
{
    if (!fitsBmp(width, height))
        return false;
    if (device.write(header(width, height)) != kHeaderSize)
        return false;

    const int bandRows = int(std::clamp<qint64>(kBandBytes / (qint64(width) * 4), 1, height));
    QImage band(width, bandRows, QImage::Format_RGB32);
    // One write per band: the rows of a band, bottom row first, as the file holds them.
    QByteArray bytes(rowBytes(width) * bandRows, '\0'); // the row padding stays zero
    if (band.isNull() || bytes.isNull())
        return false;
    for (int bottom = height; bottom > 0; bottom -= bandRows) {
        const int top = std::max(0, bottom - bandRows);
        if (bottom - top < band.height())
            band = QImage(width, bottom - top, QImage::Format_RGB32);
        source(band, top);
        const qint64 stride = rowBytes(width);
        for (int y = band.height() - 1, out = 0; y >= 0; --y, ++out) {
            char* converted = bytes.data() + out * stride;
            // Most of a texture is rows of background: a row like the one below is copied.
            if (out > 0 && std::memcmp(band.constScanLine(y), band.constScanLine(y + 1), size_t(width) * 4) == 0)
                std::memcpy(converted, converted - stride, size_t(stride));
            else
                toBlueGreenRed(reinterpret_cast<const QRgb*>(band.constScanLine(y)), width, converted);
        }
        const qint64 length = rowBytes(width) * band.height();
        if (device.write(bytes.constData(), length) != length)
            return false;
    }
    return true;
}

} // namespace glyfrax
