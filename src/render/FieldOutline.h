#pragma once

#include "render/FieldGeometry.h"

#include <vector>

class QPainterPath;

namespace glyfrax {

// A glyph's outline as its distance field sees it. lines: the outline as drawn, curves made
// straight, for inside and outside by the nonzero rule. edges: the boundary of the filled area
// only, each edge turned so that the inside lies on its positive side (see FieldEdge): where
// contours overlap, the parts of their edges that lie inside another contour are left out,
// whichever way each contour runs.
struct FieldOutline
{
    std::vector<FieldLine> lines;
    std::vector<FieldEdge> edges;
};

// The outline moved by offset. With coloured, the edges get the channels of a multi-channel
// field: at every corner the two edges that meet there share exactly one channel.
FieldOutline makeFieldOutline(const QPainterPath& path, Vec2 offset, bool coloured);

} // namespace glyfrax
