#pragma once

// The second stage of a BMFont set, after the characters are chosen: each character's glyph from
// the first font that has it, and each distinct glyph's ink (or outline, for a distance field),
// read on every thread. Used by the plan alone.

#include "base/Result.h"
#include "export/bmfont/ImageCharacters.h"
#include "render/FontMeasure.h"
#include "render/InkReader.h"
#include "settings/BmFontOptions.h"

#include <QPainterPath>
#include <QRect>
#include <QStringList>

#include <functional>
#include <vector>

namespace glyfrax {

// One distinct glyph of one font, or an image: the characters that the font draws with it share its
// cell.
struct GlyphCell
{
    int font = 0; // the set's font it comes from
    quint32 glyph = 0;
    int image = -1; // the image it is instead, of the set's images; -1: a glyph
    std::int32_t advance = 0;
    std::vector<char32_t> characters;
    double exactAdvance = 0; // from the font's units at its size, for a descriptor with fractions
};

// The distinct glyphs of the chosen characters, each from the first font that has it, with
// their ink; and the characters no font has.
struct GlyphSet
{
    std::vector<GlyphCell> cells;
    std::vector<GlyphInk> inks;         // by cell
    std::vector<QPainterPath> outlines; // by cell, for a distance field
    std::vector<char32_t> missing;
};

// The failure of a plan that nobody waits for any more.
Failure noLongerWanted();

// How the options have glyphs drawn, and at how many times their size.
GlyphRaster rasterOf(const BmFontOptions& options);
int supersampleOf(const BmFontOptions& options);

// Lowers the supersampling of a large size to the largest factor within the limit, and says so.
void limitSupersampling(BmFontOptions& options, double pixelSize, QStringList& notes, OptionWords words);

// The images' characters, then the glyphs of the other wanted characters in the fonts, in their
// order, with each glyph's ink. A glyph too large for a page ends the collection before a page is
// drawn; so does stillWanted saying no.
Result<GlyphSet> collectGlyphs(const std::vector<FontMeasure>& fonts, const std::vector<ImageCharacter>& images,
                               const std::vector<char32_t>& wanted, const BmFontOptions& options, int threads,
                               const std::function<bool()>& stillWanted, OptionWords words);

// Cuts each ink to its cell where the cell does not hold all of it (cells with zero offsets);
// returns the characters whose ink was cut, sorted.
std::vector<char32_t> cutInksToCells(GlyphSet& glyphs, const std::vector<QRect>& shapes);

} // namespace glyfrax
