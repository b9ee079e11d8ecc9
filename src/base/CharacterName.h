#pragma once

#include <QString>

namespace glyfrax {

// The character's name in Unicode, "LATIN SMALL LETTER A WITH DIAERESIS", as ICU knows it (the
// library Qt itself reads Unicode's tables with); empty for a code point without one (a control,
// an unassigned or private-use code point).
QString unicodeName(char32_t c);

// The code point as messages and settings write it: "U+00E4", at least four hexadecimal digits in capitals.
QString codePointText(char32_t c);

} // namespace glyfrax
