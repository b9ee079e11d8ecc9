#pragma once

#include "settings/PageField.h"

#include <QPoint>
#include <QRect>

#include <vector>

class QImage;
class QPainterPath;

namespace glyfrax {

// What the pixels of a glyph's cell hold (a PageField other than None), each value 0.5 + d / range
// clamped to 0..1 and scaled to 0..255, where d is a signed distance in pixels, positive inside: 128
// lies on the outline. Sdf: the distance to the outline in red, green, blue and alpha (shaders read
// red or alpha). Msdf: three distances whose median is the distance, so that magnified corners stay
// sharp; alpha 255. Mtsdf: msdf with the true distance of Sdf in alpha.

// The pixels around the pen position that a field of outline needs: the outline's box in whole
// pixels, grown by half the range on every side. Empty when the outline encloses nothing.
QRect fieldBox(const QPainterPath& outline, double range);

// Draws the field of outline (pixels, y downwards, origin at the pen position on the baseline, as
// QRawFont::pathForGlyph gives it) with the pen position at pen, into cell of page, sampling the
// pixels' centres; the rest of page stays as it was. page is Format_ARGB32 or Format_RGBA8888, and
// range positive. Threads may draw different cells of one page at once (a page no copy shares);
// each cell's bytes depend only on the outline, its place, the type and the range.
void drawDistanceField(QImage& page, const QRect& cell, const QPainterPath& outline, QPoint pen, PageField type,
                       double range);

// The true signed distance of outline (as drawDistanceField takes it) at the centres of the pixels
// of an area of size pixels with the pen position at pen: in pixels, positive inside, clamped to
// -reach..reach; row after row. What the outline and shadow of a coverage page are made from.
std::vector<float> signedDistances(const QPainterPath& outline, QPoint pen, QSize size, double reach);

} // namespace glyfrax
