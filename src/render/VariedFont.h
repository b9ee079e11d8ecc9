#pragma once

#include "base/Result.h"

#include <QByteArray>

#include <vector>

namespace glyfrax {

// A variable TrueType font at these coordinates (a value per axis, in the order of its fvar table)
// as a font that is not variable: each glyph's outline and advance and the font's vertical metrics
// as FreeType varies them (gvar, HVAR, MVAR), the pair advances of GPOS (kerning) varied as GDEF's
// variation store says, everything else as it was. Qt draws, measures and
// reads such a font like any other, so every stage of an export sees the font at those
// coordinates. The hints of the font are left out: they were written for its defaults.
// Fonts with PostScript outlines (CFF2) fail with a German message.
Result<QByteArray> fontAtCoordinates(const QByteArray& font, const std::vector<double>& coordinates);

} // namespace glyfrax
