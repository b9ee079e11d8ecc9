#include "settings/Conversions.h"

#include "base/CheckedMath.h"

#include <QLocale>

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

Failure notANumber()
{
    return failure(QStringLiteral("keine Zahl"));
}

Failure tooLarge()
{
    return failure(QStringLiteral("Zahl zu groß"));
}

Result<double> toDouble(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!isDecimalNumber(trimmed))
        return notANumber();
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!std::isfinite(value))
        return tooLarge();
    if (!ok) // a finite number QLocale refuses is one too small to represent: zero
        return 0.0;
    return value;
}

} // namespace

Result<float> toSingle(const QString& text)
{
    const Result<double> number = toDouble(text);
    if (!number)
        return failure(number.error());
    if (std::fabs(*number) > double(std::numeric_limits<float>::max()))
        return tooLarge();
    return static_cast<float>(*number);
}

Result<std::int32_t> toInt32(const QString& text)
{
    const Result<double> number = toDouble(text);
    if (!number)
        return failure(number.error());
    const double rounded = roundHalfEven(*number);
    if (rounded < double(std::numeric_limits<std::int32_t>::min()) ||
        rounded > double(std::numeric_limits<std::int32_t>::max()))
        return tooLarge();
    return static_cast<std::int32_t>(rounded);
}

Result<bool> toFlag(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    const Result<double> number = toDouble(trimmed);
    if (!number)
        return failure(number.error() == tooLarge().message ? number.error()
                                                            : QStringLiteral("weder Zahl noch true/false"));
    return *number != 0.0;
}

QString flagText(bool flag)
{
    return flag ? QStringLiteral("255") : QStringLiteral("0");
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
