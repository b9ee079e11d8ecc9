#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>

namespace glyfrax {

// Settings texts to values. A number is decimal with an optional sign, fraction and exponent,
// surrounded by optional blanks; the C locale's "." is the decimal point whatever the user's locale.
// A failure says why in a few German words ("keine Zahl", "Zahl zu groß").
Result<float> toSingle(const QString& text);
// Rounds a fraction to the nearest whole number, a half to the even neighbour.
Result<std::int32_t> toInt32(const QString& text);
// Zero is clear, any other number set; "true" and "false" are accepted in any letter case.
Result<bool> toFlag(const QString& text);
// A switch as the settings file writes it: "255" set, "0" clear.
QString flagText(bool flag);

// Halves to the even neighbour, saturated to the 16-bit range.
std::int16_t roundToInt16(double value);

} // namespace glyfrax
