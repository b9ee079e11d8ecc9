#pragma once

#include "settings/BmFontOptions.h"

class QIODevice;
class QImage;

namespace glyfrax {

// Writes an image as a PNG of 8-bit channels: RGBA for an image with alpha (Format_Alpha8 as
// white with that alpha), RGB otherwise. The rows are compressed in pieces of a fixed size on
// up to threads threads, each piece a part of the one zlib stream, so the bytes depend only on
// the image. Returns false when the device refused a write or there was no memory.
// With fewer channels a pixel is its grey alone (the alpha of a Format_Alpha8 image, else red),
// or red and alpha (a Format_Alpha8 image's as white with that alpha).
bool writePng(QIODevice& device, const QImage& image, int threads, PageChannels channels = PageChannels::Rgba);

} // namespace glyfrax
