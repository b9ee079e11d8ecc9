#pragma once

#include "base/Result.h"
#include "settings/FontVariation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace glyfrax {

// An axis of a variable font, in the font's own units.
struct FontAxis
{
    QString tag;  // "wght"
    QString name; // "Weight", as the name table gives it
    double minimum = 0.0;
    double defaultValue = 0.0;
    double maximum = 0.0;
};

// A named instance of a variable font: its name ("Bold") and a value for each axis, in the axes' order.
struct FontInstance
{
    QString name;
    std::vector<double> coordinates;
};

// What a variable font offers; a font that is not variable has no axes.
struct FontAxes
{
    std::vector<FontAxis> axes;
    std::vector<FontInstance> instances;

    std::vector<double> defaults() const;
};

// The axes and named instances of a single font's fvar table (names from its name table). A
// table whose counts or sizes do not fit its bytes, or whose axes lie about their ranges, counts
// as none: the font is then drawn as it is.
FontAxes readFontAxes(const QByteArray& font);

// Each axis's value for the variation: the named instance's (or the defaults), with the axes
// given set over them. An axis the font lacks, a value outside its range or an instance it does
// not have fails with a German message that names what there is.
Result<std::vector<double>> variationCoordinates(const FontAxes& font, const FontVariation& variation);

// The lines --list-fonts --axes prints: a heading and a line per axis (tag, name, minimum,
// default, maximum, tab-separated), then the named instances (name, then TAG=VALUE for each axis).
QStringList fontAxesListing(const FontAxes& font);

} // namespace glyfrax
