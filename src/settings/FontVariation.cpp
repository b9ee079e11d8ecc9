#include "settings/FontVariation.h"

#include "base/ShownName.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace glyfrax {

namespace {

bool isTag(const QString& tag)
{
    if (tag.isEmpty() || tag.size() > 4)
        return false;
    return std::all_of(tag.begin(), tag.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

} // namespace

Result<std::vector<AxisValue>> parseAxisValues(const QString& text)
{
    std::vector<AxisValue> axes;
    if (text.trimmed().isEmpty())
        return axes;
    for (const QString& part : text.split(u',')) {
        const qsizetype equals = part.indexOf(u'=');
        const QString tag = part.left(equals).trimmed();
        bool number = false;
        const double value = part.mid(equals + 1).trimmed().toDouble(&number);
        if (equals < 0 || !isTag(tag) || !number || !std::isfinite(value))
            return failure(QStringLiteral("„%1“ ist keine Achse mit Wert; erwartet ACHSE=WERT wie wght=700.")
                               .arg(shownName(part.trimmed())));
        if (std::any_of(axes.begin(), axes.end(), [&tag](const AxisValue& axis) { return axis.tag == tag; }))
            return failure(QStringLiteral("Die Achse %1 ist mehrmals angegeben.").arg(tag));
        axes.push_back({tag, value});
    }
    return axes;
}

QString axisNumberText(double value)
{
    return QString::number(value, 'f', 3).remove(QRegularExpression(QStringLiteral(R"(\.?0+$)")));
}

QString axisValuesText(const std::vector<AxisValue>& axes)
{
    QStringList parts;
    for (const AxisValue& axis : axes)
        parts.append(axis.tag + u'=' + axisNumberText(axis.value));
    return parts.join(u',');
}

} // namespace glyfrax
