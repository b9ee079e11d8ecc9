#include "render/FontAxes.h"

#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "render/FontTables.h"

#include <algorithm>

namespace glyfrax {

namespace {

// A 16.16 fixed-point number.
double readFixed(const FontTableReader& t, qint64 at)
{
    return qint32(t.u32(at)) / 65536.0;
}

QString rangeText(const FontAxis& axis)
{
    return QStringLiteral("%1 bis %2, Vorgabe %3")
        .arg(axisNumberText(axis.minimum), axisNumberText(axis.maximum), axisNumberText(axis.defaultValue));
}

QString coordinatesText(const FontAxes& font, const std::vector<double>& coordinates)
{
    std::vector<AxisValue> values;
    for (std::size_t i = 0; i < font.axes.size(); ++i)
        values.push_back({font.axes[i].tag, coordinates[i]});
    return axisValuesText(values);
}

} // namespace

std::vector<double> FontAxes::defaults() const
{
    std::vector<double> values;
    for (const FontAxis& axis : axes)
        values.push_back(axis.defaultValue);
    return values;
}

FontAxes readFontAxes(const QByteArray& font)
{
    const QByteArray fvar = fontTable(font, "fvar");
    const FontTableReader t(fvar);
    if (fvar.size() < 16 || t.u16(0) != 1)
        return {};
    const qint64 axesAt = t.u16(4);
    const qint64 axisCount = t.u16(8);
    const qint64 axisSize = t.u16(10);
    const qint64 instanceCount = t.u16(12);
    const qint64 instanceSize = t.u16(14);
    if (axisSize < 20 || instanceSize < 4 + 4 * axisCount ||
        axesAt + axisCount * axisSize + instanceCount * instanceSize > fvar.size())
        return {};
    const QByteArray names = fontTable(font, "name");
    FontAxes result;
    for (qint64 i = 0; i < axisCount; ++i) {
        const qint64 at = axesAt + i * axisSize;
        FontAxis axis{QString::fromLatin1(fvar.mid(at, 4)).trimmed(), fontName(names, t.u16(at + 18)),
                      readFixed(t, at + 4), readFixed(t, at + 8), readFixed(t, at + 12)};
        if (!(axis.minimum <= axis.defaultValue && axis.defaultValue <= axis.maximum))
            return {};
        result.axes.push_back(axis);
    }
    for (qint64 i = 0; i < instanceCount; ++i) {
        const qint64 at = axesAt + axisCount * axisSize + i * instanceSize;
        FontInstance instance{fontName(names, t.u16(at)), {}};
        for (qint64 a = 0; a < axisCount; ++a)
            instance.coordinates.push_back(
                std::clamp(readFixed(t, at + 4 + 4 * a), result.axes[a].minimum, result.axes[a].maximum));
        if (!instance.name.isEmpty())
            result.instances.push_back(instance);
    }
    return result;
}

Result<std::vector<double>> variationCoordinates(const FontAxes& font, const FontVariation& variation)
{
    if (font.axes.empty())
        return failure(QStringLiteral("Die Schrift ist keine variable Schrift: Sie hat keine Achsen."));
    std::vector<double> coordinates = font.defaults();
    if (!variation.instance.isEmpty()) {
        const auto named =
            std::find_if(font.instances.begin(), font.instances.end(), [&variation](const FontInstance& i) {
                return i.name.compare(variation.instance, Qt::CaseInsensitive) == 0;
            });
        if (named == font.instances.end()) {
            QStringList there;
            for (const FontInstance& instance : font.instances)
                there.append(QStringLiteral("„%1“").arg(shownName(instance.name)));
            return failure(there.isEmpty() ? QStringLiteral("Die Schrift hat keine benannten Instanzen, also auch "
                                                            "keine „%1“.")
                                                 .arg(shownName(variation.instance))
                                           : QStringLiteral("Die Schrift hat keine Instanz „%1“, nur %2.")
                                                 .arg(shownName(variation.instance), alternatives(there)));
        }
        coordinates = named->coordinates;
    }
    for (const AxisValue& value : variation.axes) {
        const auto axis = std::find_if(font.axes.begin(), font.axes.end(),
                                       [&value](const FontAxis& a) { return a.tag == value.tag; });
        if (axis == font.axes.end()) {
            QStringList there;
            for (const FontAxis& a : font.axes)
                there.append(QStringLiteral("%1 (%2)").arg(shownName(a.tag), rangeText(a)));
            return failure(QStringLiteral("Die Schrift hat keine Achse %1, nur %2.")
                               .arg(shownName(value.tag), alternatives(there, u"und")));
        }
        if (value.value < axis->minimum || value.value > axis->maximum)
            return failure(QStringLiteral("Der Wert %1 liegt außerhalb der Achse %2 der Schrift: %3.")
                               .arg(axisNumberText(value.value), shownName(axis->tag), rangeText(*axis)));
        coordinates[std::size_t(axis - font.axes.begin())] = value.value;
    }
    return coordinates;
}

QStringList fontAxesListing(const FontAxes& font)
{
    QStringList lines{QStringLiteral("Achsen (Kennung, Name, kleinster Wert, Vorgabe, größter Wert):")};
    for (const FontAxis& axis : font.axes)
        lines.append(QStringList{shownText(axis.tag), shownText(axis.name), axisNumberText(axis.minimum),
                                 axisNumberText(axis.defaultValue), axisNumberText(axis.maximum)}
                         .join(u'\t'));
    lines.append(QStringLiteral("Benannte Instanzen (Name, Werte der Achsen):"));
    for (const FontInstance& instance : font.instances)
        lines.append(shownText(instance.name) + u'\t' + coordinatesText(font, instance.coordinates));
    return lines;
}

} // namespace glyfrax
