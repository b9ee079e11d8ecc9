#pragma once

#include "base/Result.h"

#include <QString>

#include <vector>

namespace glyfrax {

// Unicode code points as a list of single code points and ranges, comma-separated:
// "32-126,160-255,0x20AC". Numbers are decimal, 0x… or U+… hexadecimal; a range includes both
// ends. Surrogates are no characters and are left out of ranges. The result is sorted and has
// no duplicates. A failure names the item that cannot be read.
Result<std::vector<char32_t>> parseCharacterRanges(const QString& text);

// Every character of a text, sorted and without duplicates; line breaks, tabs and a byte order
// mark are left out.
std::vector<char32_t> charactersOfText(const QString& text);

// Both lists in one, sorted and without duplicates.
std::vector<char32_t> mergeCharacters(std::vector<char32_t> first, const std::vector<char32_t>& second);

// A sorted list without duplicates as parseCharacterRanges reads it: runs as ranges, numbers up
// to 255 decimal and larger ones as 0x…, so "32-126,160-255,0x20AC,0x4E00-0x9FFF". A run that
// only a block of surrogates interrupts stays one range, which reads back the same.
QString formatCharacterRanges(const std::vector<char32_t>& sorted);

} // namespace glyfrax
