#pragma once

class QIODevice;
class QImage;

namespace glyfrax {

// Writes an image as a PNG of 8-bit channels: RGBA for an image with alpha (Format_Alpha8 as
// white with that alpha), RGB otherwise. The rows are compressed in pieces of a fixed size on
// up to threads threads, each piece a part of the one zlib stream, so the bytes depend only on
// the image. Returns false when the device refused a write or there was no memory.
bool writePng(QIODevice& device, const QImage& image, int threads);

} // namespace glyfrax
