#pragma once

#include <QByteArray>

#include <vector>

namespace glyfrax {

// The GPOS table with the advance adjustment of each pair (the first glyph's, the one kerning
// reads) varied to the coordinates: the delta its device table names in GDEF's item variation
// store, at these normalized coordinates (-1 to 1 per axis, after avar), rounded and added in
// place. Pair-positioning subtables (also behind extension lookups) are each varied once however
// often they are listed; other values and tables stay as they are. Nothing outside the tables is
// read, and the work is bounded by their sizes.
QByteArray variedPairAdvances(QByteArray gpos, const QByteArray& gdef, const std::vector<double>& normalized);

} // namespace glyfrax
