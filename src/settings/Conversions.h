#pragma once

#include <QString>

#include <cstdint>

namespace glyfrax {

enum class ConversionError
{
    None,
    TypeMismatch,
    Overflow
};

template <typename T> struct Converted
{
    T value{};
    ConversionError error = ConversionError::None;
    bool ok() const { return error == ConversionError::None; }
};

// Settings texts to values. A number is decimal with an optional sign, fraction and exponent,
// surrounded by optional blanks; the C locale's "." is the decimal point whatever the user's locale.
Converted<float> toSingle(const QString& text);
// Rounds a fraction to the nearest whole number, a half to the even neighbour.
Converted<std::int32_t> toInt32(const QString& text);
// Zero is clear, any other number set; "true" and "false" are accepted in any letter case.
Converted<bool> toFlag(const QString& text);

// Halves to the even neighbour, saturated to the 16-bit range.
std::int16_t roundToInt16(double value);

} // namespace glyfrax
