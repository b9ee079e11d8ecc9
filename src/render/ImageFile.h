#pragma once

#include "base/Parallel.h"
#include "settings/BmFontOptions.h"

#include <QString>

class QIODevice;
class QImage;

namespace glyfrax {

// Writes a whole image: a 24-bit BMP (alpha dropped), or a PNG with the image's channels
// (RGBA when it has alpha, RGB otherwise; Format_Alpha8 as white with that alpha), compressed on
// up to threads threads. Returns false when the device refused a write.
// A PNG has the given channels (see writePng); a BMP always three.
bool writeImage(QIODevice& device, const QImage& image, PageImage format, int threads = defaultThreadCount(),
                PageChannels channels = PageChannels::Rgba);

} // namespace glyfrax
