#pragma once

#include "base/Result.h"
#include "settings/BmFontOptions.h"

#include <QString>

#include <vector>

namespace glyfrax {

// The characters the options choose, sorted, without duplicates; a character file that cannot be
// read is a failure.
Result<std::vector<char32_t>> chosenCharacters(const BmFontOptions& options);

// Characters as ranges of code points: "U+0041–U+005A, U+00C4"; shown: each code point with its
// character, as a window can show it ("„A“ U+0041–„Z“ U+005A"), and of at most eight characters
// each with its name in Unicode ("„ä“ U+00E4 LATIN SMALL LETTER A WITH DIAERESIS").
QString describeCharacters(const std::vector<char32_t>& characters, bool shown = false);

// The characters left out, as ranges of code points, for --verbose and the window's report.
QString describeMissing(const std::vector<char32_t>& missing, bool shown = false);

} // namespace glyfrax
