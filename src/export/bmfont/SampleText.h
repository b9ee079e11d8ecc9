#pragma once

#include "export/bmfont/BmFontWriter.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstddef>
#include <vector>

namespace glyfrax {

// One character of a line set from a texture font: which of the descriptor's characters, and
// where its cell's top-left corner goes, from the line's start on the left and its top.
struct SampleGlyph
{
    std::size_t index = 0; // into BmFont::chars
    QPoint corner;
};

// A character the font lacks, and the room the line gives it: from the pen before it to the pen
// after, the line's height.
struct SampleGap
{
    char32_t character = 0;
    QRect box;
};

// A line of text as an engine sets it from a texture font.
struct SampleLine
{
    std::vector<SampleGlyph> glyphs;
    std::vector<SampleGap> gaps;
    int penEnd = 0; // where the pen stands after the last character
    QRect cells;    // what the cells cover together; empty when nothing is drawn
};

// Sets text as engines do with a BMFont descriptor: the pen starts at 0; before each character
// it moves on by the kerning between that character and the one before, each cell goes to the
// pen plus its offsets, and then the pen moves on by the advance. A character the font does not
// have is drawn with the set's glyph for them (character -1) when it has one; otherwise it takes
// the advance of a space (half the line's height without one) and no kerning reaches across it.
// Either way it is a gap, so that a view can mark it where an engine would leave it out.
// Positions are clamped to half the range of int, so that a position plus a cell's size stays
// within it.
SampleLine setSampleText(const BmFont& font, const QString& text);

} // namespace glyfrax
