#pragma once

#include <QtGlobal>

#include <functional>

class QIODevice;
class QImage;

namespace glyfrax {

// Fills out with the picture's rows top to top + rows - 1 as the bitmap stores them: the bottom
// row first, each stride bytes after the one before. Returns false when it could not (no memory).
using BmpRowSource = std::function<bool(int top, int rows, char* out, qint64 stride)>;

// The bytes of one stored row: three per pixel, padded to a multiple of 4.
qint64 bmpRowBytes(int width);

// Stores rows firstRow to firstRow + rows - 1 of a 32-bit RGB image as bitmap rows, the
// bottom one first, stride bytes apart; the padding bytes are left as they are.
void toBmpRows(const QImage& image, int firstRow, int rows, char* out, qint64 stride);

// An uncompressed 24-bit Windows bitmap: a 14-byte file header, a 40-byte BITMAPINFOHEADER
// (96 dots per inch), then the rows from the bottom up, blue-green-red, each padded to a
// multiple of 4 bytes. The rows are asked for in bands of bandRows rows from the bottom (0: about
// 16 MiB), so a large picture never has to be held whole. Returns false when the device refused
// a write or the source failed.
bool writeBmp24(QIODevice& device, int width, int height, const BmpRowSource& source, int bandRows = 0);

// Whether a bitmap of this size fits the format's 32-bit file size.
bool fitsBmp(int width, int height);

} // namespace glyfrax
