#pragma once

// Images drawn as characters: decoded from their files (SVG drawn at the size asked for), and
// made into inks and outlines as glyphs are, so that cells, effects and fields treat both alike.

#include "base/Result.h"
#include "render/GlyphEffects.h"
#include "render/InkReader.h"

#include <QImage>
#include <QPainterPath>
#include <QString>

namespace glyfrax {

// The largest image file that is read: a page of 4096 × 4096 pixels takes 64 MiB decoded, and
// files that large hold more than any icon.
constexpr qint64 kMaxImageFileSize = qint64(64) << 20;

// The image of a file as straight ARGB pixels: any format Qt reads (PNG, JPEG, BMP, GIF …), or an
// SVG drawn svgHeight pixels high (and svgScale times that, for a finer outline). A file that is
// not there, not an image, or wider or higher than largest fails with a message that names it.
Result<QImage> readGlyphImage(const QString& path, int svgHeight, QSize largest, int svgScale = 1);

// How many times finer than its pixels an SVG image's outline is found.
constexpr int kSvgOutlineScale = 4;

// Whether a path names an SVG image.
bool isSvgPath(const QString& path);

// The image as a glyph's ink, its top left corner at topLeft from the pen on the baseline: its
// alpha as coverage (each pixel covered or not when monochrome), and with colours its pixels.
GlyphInk imageInk(const QImage& image, QPoint topLeft, bool colours, bool monochrome);

// The outline of the image's pixels that are more than half covered, placed as imageInk places
// them: what an outline, a shadow or a distance field is made from; image may be drawn scale times
// finer than the ink. An image too finely divided for that fails, naming its path.
Result<QPainterPath> imageOutline(const QImage& image, QPoint topLeft, const QString& path, int scale = 1);

// The ink with its effects, as withEffects makes them for a glyph, its colours kept in place.
GlyphInk imageWithEffects(const GlyphInk& ink, const QPainterPath& outline, const EffectShapes& shapes);

} // namespace glyfrax
