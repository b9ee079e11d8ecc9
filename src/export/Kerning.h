#pragma once

#include <QByteArray>

#include <vector>

namespace glyfrax {

// How much closer (negative) or farther apart a pair of glyphs stands than their advances say,
// in font units: the adjustment to the first glyph's advance.
struct GlyphKerning
{
    quint32 first = 0;
    quint32 second = 0;
    int adjustment = 0;

    bool operator==(const GlyphKerning&) const = default;
};

// The pair adjustments a font defines between any two of the given glyphs, sorted by first and
// second glyph, without pairs that come to zero. They come from the pair-positioning lookups
// (formats 1 and 2, also behind extension lookups) of the 'kern' features of the GPOS table,
// or, when GPOS has none, from the horizontal format-0 subtables of the legacy 'kern' table.
// Only the first glyph's horizontal advance change counts. Malformed tables give fewer pairs,
// never a read outside them.
std::vector<GlyphKerning> readKerning(const QByteArray& gpos, const QByteArray& kern,
                                      const std::vector<quint32>& glyphs);

} // namespace glyfrax
