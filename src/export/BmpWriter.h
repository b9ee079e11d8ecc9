#pragma once

class QIODevice;
class QImage;

namespace glyfrax {

// An uncompressed 24-bit Windows bitmap: a 14-byte file header, a 40-byte BITMAPINFOHEADER
// (96 dots per inch), then the rows from the bottom up, blue-green-red, each padded to a
// multiple of 4 bytes. Returns false when the device refused a write.
bool writeBmp24(QIODevice& device, const QImage& image);

} // namespace glyfrax
