#pragma once

#include <functional>

class QIODevice;
class QImage;

namespace glyfrax {

// Fills band (32-bit RGB, as wide as the picture) with the picture's rows from top down.
using BandSource = std::function<void(QImage& band, int top)>;

// An uncompressed 24-bit Windows bitmap: a 14-byte file header, a 40-byte BITMAPINFOHEADER
// (96 dots per inch), then the rows from the bottom up, blue-green-red, each padded to a
// multiple of 4 bytes. The picture is asked for in bands from the bottom, so a large one never
// has to be held whole. Returns false when the device refused a write.
bool writeBmp24(QIODevice& device, int width, int height, const BandSource& source);

// Whether a bitmap of this size fits the format's 32-bit file size.
bool fitsBmp(int width, int height);

} // namespace glyfrax
