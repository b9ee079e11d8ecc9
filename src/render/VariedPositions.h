#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

namespace glyfrax {

// The GPOS table with the advance adjustment of each pair (the first glyph's, the one kerning
// reads) varied to the coordinates: the delta its device table names in GDEF's item variation
// store, at these normalized coordinates (-1 to 1 per axis, after avar), rounded and added in
// place. Pair-positioning subtables (also behind extension lookups) are each varied once however
// often they are listed; other values and tables stay as they are. Nothing outside the tables is
// read, and at most workLimit subtables and value records are looked at: a table that lists its
// records over and over ends early instead of running on.
constexpr qint64 kPairVariationWorkLimit = qint64(1) << 23; // far more than any real font's pairs
QByteArray variedPairAdvances(QByteArray gpos, const QByteArray& gdef, const std::vector<double>& normalized,
                              qint64 workLimit = kPairVariationWorkLimit);

} // namespace glyfrax
