#pragma once

#include <QtGlobal>

#include <memory>

class QByteArray;
class QIODevice;
class QImage;

namespace glyfrax {

// The size of the file header and BITMAPINFOHEADER that begin a bitmap.
constexpr int kBmpHeaderSize = 14 + 40;

// The bytes of one stored row: three per pixel, padded to a multiple of 4.
qint64 bmpRowBytes(int width);

// The start of an uncompressed 24-bit Windows bitmap of this size: a 14-byte file header and a
// 40-byte BITMAPINFOHEADER (96 dots per inch). The rows follow, from the bottom up,
// blue-green-red, each padded to a multiple of 4 bytes.
QByteArray bmpHeader(int width, int height);

// Stores rows firstRow to firstRow + rows - 1 of a 32-bit RGB image as bitmap rows, the
// bottom one first, stride bytes apart; the padding bytes are left as they are. rowBelow, when
// given, holds the stored row firstRow + rows, which the bottom row copies if they are alike.
void toBmpRows(const QImage& image, int firstRow, int rows, char* out, qint64 stride, const char* rowBelow = nullptr);

// Writes rows of 32-bit RGB images as bitmap rows, bottom row first. The rows pass through a
// buffer of a few hundred kilobytes, kept from one call to the next: it stays in the processor's
// cache, where a buffer for a whole image would be fresh memory every time.
class BmpRowWriter
{
public:
    explicit BmpRowWriter(int width);
    // Writes the rows firstRow to endRow - 1, endRow - 1 first; all of them when not given. Returns
    // false when the device refused a write, with errno telling why where it can.
    bool write(QIODevice& device, const QImage& image, int firstRow = 0, int endRow = -1);

private:
    qint64 m_stride;
    int m_chunkRows;
    std::unique_ptr<char[]> m_buffer;
};

// A 32-bit RGB image as a whole bitmap file (see bmpHeader). Returns false when the device
// refused a write or the bitmap would be too large.
bool writeBmp24(QIODevice& device, const QImage& image);

// Whether a bitmap of this size fits the format's 32-bit file size.
bool fitsBmp(int width, int height);

} // namespace glyfrax
