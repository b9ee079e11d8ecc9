#include "BmpWriter.h"

#include <QIODevice>
#include <QImage>
#include <QtEndian>

namespace glyfrax {

namespace {

constexpr int kHeaderSize = 14 + 40;
constexpr std::int32_t kDotsPerMeter = 3780;

template <typename T> void put(QByteArray& bytes, T value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(value, buffer);
    bytes.append(buffer, sizeof(T));
}

} // namespace

bool writeBmp24(QIODevice& device, const QImage& source)
{
    const QImage image = source.format() == QImage::Format_BGR888 ? source
                                                                   : source.convertToFormat(QImage::Format_BGR888);
    const std::int32_t width = image.width();
    const std::int32_t height = image.height();
    const qint64 rowBytes = (qint64(width) * 3 + 3) & ~qint64(3);
    const qint64 pixelBytes = rowBytes * height;

    QByteArray header;
    header.reserve(kHeaderSize);
    header.append("BM", 2);
    put<std::uint32_t>(header, std::uint32_t(kHeaderSize + pixelBytes));
    put<std::uint32_t>(header, 0); // reserved
    put<std::uint32_t>(header, kHeaderSize);
    put<std::uint32_t>(header, 40);
    put<std::int32_t>(header, width);
    put<std::int32_t>(header, height); // positive: rows stored bottom-up
    put<std::uint16_t>(header, 1);     // planes
    put<std::uint16_t>(header, 24);    // bits per pixel
    put<std::uint32_t>(header, 0);     // no compression
    put<std::uint32_t>(header, std::uint32_t(pixelBytes));
    put<std::int32_t>(header, kDotsPerMeter);
    put<std::int32_t>(header, kDotsPerMeter);
    put<std::uint32_t>(header, 0); // colours used
    put<std::uint32_t>(header, 0); // important colours
    if (device.write(header) != header.size())
        return false;

    const QByteArray padding(int(rowBytes - qint64(width) * 3), '\0');
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const char*>(image.constScanLine(y));
        if (device.write(row, qint64(width) * 3) != qint64(width) * 3)
            return false;
        if (!padding.isEmpty() && device.write(padding) != padding.size())
            return false;
    }
    return true;
}

} // namespace glyfrax
