#include "Conversions.h"

#include <QLocale>

#include <cfenv>
#include <cmath>
#include <limits>

namespace glyfrax {

namespace {

bool isDigit(QChar ch)
{
    return ch >= u'0' && ch <= u'9';
}

// Checks the decimal form by hand: QLocale alone would also take "inf", "nan" and group
// separators, none of which a settings file should hold.
bool isDecimalNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text.at(i))) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == u'.') {
        ++i;
        while (i < n && isDigit(text.at(i))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        ++i;
        if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && isDigit(text.at(i))) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

Converted<double> toDouble(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!isDecimalNumber(trimmed))
        return {0.0, ConversionError::TypeMismatch};
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!std::isfinite(value))
        return {0.0, ConversionError::Overflow};
    if (!ok) // a finite number QLocale refuses is one too small to represent: zero
        return {0.0, ConversionError::None};
    return {value, ConversionError::None};
}

double roundHalfEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

} // namespace

Converted<float> toSingle(const QString& text)
{
    const Converted<double> number = toDouble(text);
    if (!number.ok())
        return {0.0F, number.error};
    if (std::fabs(number.value) > double(std::numeric_limits<float>::max()))
        return {0.0F, ConversionError::Overflow};
    return {static_cast<float>(number.value), ConversionError::None};
}

Converted<std::int32_t> toInt32(const QString& text)
{
    const Converted<double> number = toDouble(text);
    if (!number.ok())
        return {0, number.error};
    const double rounded = roundHalfEven(number.value);
    if (rounded < double(std::numeric_limits<std::int32_t>::min()) ||
        rounded > double(std::numeric_limits<std::int32_t>::max()))
        return {0, ConversionError::Overflow};
    return {static_cast<std::int32_t>(rounded), ConversionError::None};
}

Converted<bool> toFlag(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0)
        return {true, ConversionError::None};
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0)
        return {false, ConversionError::None};
    const Converted<double> number = toDouble(trimmed);
    if (!number.ok())
        return {false, number.error};
    return {number.value != 0.0, ConversionError::None};
}

std::int16_t roundToInt16(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = roundHalfEven(value);
    if (rounded <= double(std::numeric_limits<std::int16_t>::min()))
        return std::numeric_limits<std::int16_t>::min();
    if (rounded >= double(std::numeric_limits<std::int16_t>::max()))
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(rounded);
}

} // namespace glyfrax
