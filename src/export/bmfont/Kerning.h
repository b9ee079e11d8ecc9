#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace glyfrax {

// How much closer (negative) or farther apart a pair of glyphs stands than their advances say,
// in font units: the adjustment to the first glyph's advance. Wide: a font may list the same pair
// in thousands of tables, and the sum must not wrap.
struct GlyphKerning
{
    quint32 first = 0;
    quint32 second = 0;
    std::int64_t adjustment = 0;

    bool operator==(const GlyphKerning&) const = default;
};

// What the kerning tables gave for the wanted glyphs.
struct FoundKerning
{
    std::vector<GlyphKerning> pairs;
    // False when the work limit ended the reading early: the pairs are those of the tables read
    // up to then.
    bool complete = true;
    std::int64_t work = 0; // units of about one table record each, never more than the limit
};

// Hundreds of times what the kerning of a whole large font needs, and under a second of work. A
// pair found costs many units, so that no font makes more than about a million pairs.
constexpr std::int64_t kKerningWorkLimit = std::int64_t(1) << 26;

// The pair adjustments a font defines between any two of the given glyphs, sorted by first and
// second glyph, without pairs that come to zero. They come from the pair-positioning lookups
// (formats 1 and 2, also behind extension lookups) of the 'kern' features of the GPOS table,
// or, when GPOS has none, from the horizontal format-0 subtables of the legacy 'kern' table.
// Only the first glyph's horizontal advance change counts. Malformed tables give fewer pairs,
// never a read outside them. The work depends on the wanted glyphs and the pairs found, not on
// how many tables the font claims: subtables that cover none of the wanted first glyphs cost a
// few units, a lookup listed many times is read once, and the reading stops at workLimit.
FoundKerning readKerning(const QByteArray& gpos, const QByteArray& kern, const std::vector<quint32>& glyphs,
                         std::int64_t workLimit = kKerningWorkLimit);

} // namespace glyfrax
