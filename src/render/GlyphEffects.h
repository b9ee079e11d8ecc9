#pragma once

#include "render/InkReader.h"
#include "settings/BmFontOptions.h"

#include <optional>

class QPainterPath;

namespace glyfrax {

// The shapes of the effects drawn beneath each glyph of a coverage page.
struct EffectShapes
{
    std::int32_t outline = 0; // pixels around the glyph; 0: none
    std::optional<GlyphShadow> shadow;
    bool monochrome = false; // the outline then covers each pixel wholly or not at all
    int supersample = 1;     // the outline's coverage the mean of this many squared samples a pixel

    bool any() const { return outline > 0 || shadow.has_value(); }
};

// How far a shadow's blur reaches beyond its shape: three standard deviations of a Gaussian whose
// deviation is half the blur, as CSS's text-shadow takes its blur radius.
int shadowReach(std::int32_t blur);

// The glyph's ink with its effects: the box grown to all pixels the outline and the shadow touch,
// the glyph's coverage moved into it, and the outline's and the shadow's coverage beside it (the
// outline's covering the glyph's own pixels as well, so no seam shows between the two). The outline
// is measured from the glyph's outline (path, from the pen position, as QRawFont::pathForGlyph gives
// it): round at every corner, its edge anti-aliased. The shadow is the glyph with its outline, moved
// and blurred. The bytes depend only on the arguments, whichever thread makes them.
GlyphInk withEffects(const GlyphInk& ink, const QPainterPath& path, const EffectShapes& shapes);

} // namespace glyfrax
