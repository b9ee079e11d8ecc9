#pragma once

#include "settings/BmFontOptions.h"

#include <QImage>

#include <functional>

class QIODevice;

namespace glyfrax {

// Writes an image as a PNG of 8-bit channels: RGBA for an image with alpha (Format_Alpha8 as
// white with that alpha), RGB otherwise. The rows are compressed in pieces of a fixed size on
// up to threads threads, each piece a part of the one zlib stream, so the bytes depend only on
// the image. Returns false when the device refused a write or there was no memory.
// With fewer channels a pixel is its grey alone (the alpha of a Format_Alpha8 image, else red),
// or red and alpha (a Format_Alpha8 image's as white with that alpha).
bool writePng(QIODevice& device, const QImage& image, int threads, PageChannels channels = PageChannels::Rgba);

// Fills band, rows of the whole width, with the rows of an image from first on; false when it
// could not.
using DrawRows = std::function<bool(QImage& band, int first)>;

// Writes the same file as writePng of an image of size and format (Format_Alpha8, Format_ARGB32
// or Format_RGB32) whose rows draw gives, asking for them band by band from the top and holding
// only one band and a few rows before it.
bool writePngRows(QIODevice& device, QSize size, QImage::Format format, int threads, const DrawRows& draw,
                  PageChannels channels = PageChannels::Rgba);

} // namespace glyfrax
