#pragma once

#include <QString>

#include <vector>

namespace glyfrax {

// A block of Unicode: a run of code points set aside for one script or kind of symbol.
struct UnicodeBlock
{
    char32_t first = 0;
    char32_t last = 0;
    QString name; // German, "Kyrillisch, Ergänzung"
};

// The blocks of Unicode, in order, from the list compiled into the program. Code points between
// them belong to no block.
const std::vector<UnicodeBlock>& unicodeBlocks();

// A character as a tip names it: the character itself (unless it draws nothing), its code point, its
// name in Unicode and its block, "„ä“ U+00E4 LATIN SMALL LETTER A WITH DIAERESIS (Lateinisch-1,
// Ergänzung)".
QString characterTip(char32_t c);

} // namespace glyfrax
