#pragma once

#include "base/Result.h"

#include <QString>

#include <vector>

namespace glyfrax {

// One axis of a variable font set to a value in the axis's own units ("wght" 700).
struct AxisValue
{
    QString tag; // four characters at most, as the font names the axis
    double value = 0.0;

    bool operator==(const AxisValue&) const = default;
};

// Where a variable font is drawn: a named instance of the font ("Bold Condensed"), and axes set
// over it; empty: at the font's defaults.
struct FontVariation
{
    QString instance;
    std::vector<AxisValue> axes;

    bool isDefault() const { return instance.isEmpty() && axes.empty(); }
    bool operator==(const FontVariation&) const = default;
};

// "wght=700,wdth=87.5": tags of one to four letters, digits or blanks, numbers with a "." as the
// decimal point, each tag once. Empty: none. A failure names the part at fault.
Result<std::vector<AxisValue>> parseAxisValues(const QString& text);
QString axisValuesText(const std::vector<AxisValue>& axes);

// A value as the settings file and messages write it: no exponent, no trailing zeros.
QString axisNumberText(double value);

} // namespace glyfrax
