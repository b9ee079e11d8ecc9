#pragma once

#include "settings/BmFontOptions.h"

#include <QRect>

#include <vector>

namespace glyfrax {

// How the cells of a set are cut around their glyphs, beyond holding the ink and its padding.
struct CellShapeRules
{
    bool grid = false;        // every cell alike: the union of all, around one origin
    bool equalHeight = false; // every cell spans the line, and as far as any glyph reaches
    bool zeroOffsets = false; // every cell starts at the pen position and at the top of the line
};

// The line the glyphs stand on, in pixels: the baseline lies base below the top of the line.
struct LineSpan
{
    std::int32_t base = 0;
    std::int32_t height = 0;
};

// Each glyph's cell relative to its pen position on the baseline, from its ink box (empty for a
// glyph that draws nothing) grown by the padding: in a grid each the same, also for glyphs that
// draw nothing; of equal height, from the highest to the lowest reach of any cell and the line's
// top and bottom (so every cell is the line's height unless a glyph reaches beyond it); with zero
// offsets starting at the pen and the top of the line, so that ink to the left of the pen or
// above the line lies outside the cell. Cells of glyphs that draw nothing stay empty otherwise.
std::vector<QRect> shapeCells(const std::vector<QRect>& inks, const CellPadding& padding, const CellShapeRules& rules,
                              LineSpan line);

} // namespace glyfrax
