#include "export/bmfont/BmFontWriter.h"

#include "base/CharacterName.h"
#include "base/ShownName.h"
#include "export/bmfont/forms/FormParts.h"

#include <algorithm>
#include <limits>
#include <map>

namespace glyfrax {

namespace {

// Clamps values to their fields' ranges and tells, per field, how many were changed.
class FieldFitter
{
public:
    template <typename T, typename V> void fit(V& value, const char* field, const QString& where = {})
    {
        constexpr std::int64_t low = std::numeric_limits<T>::min();
        constexpr std::int64_t high = std::numeric_limits<T>::max();
        if (value >= low && value <= high)
            return;
        Count& count = m_counts[field];
        if (count.values++ == 0) {
            m_order.push_back(field);
            count.range = QStringLiteral("%1 bis %2").arg(low).arg(high);
            count.example = QString::number(value) + where;
        }
        value = V(std::clamp<std::int64_t>(value, low, high));
    }

    QStringList notes() const
    {
        QStringList notes;
        for (const char* field : m_order) {
            const Count& count = m_counts.at(field);
            notes.append(
                QStringLiteral("Die Beschreibung fasst für „%1“ nur %2: %3 begrenzt, etwa %4.")
                    .arg(QString::fromLatin1(field), count.range,
                         count.values == 1 ? QStringLiteral("1 Wert") : QStringLiteral("%1 Werte").arg(count.values),
                         count.example));
        }
        return notes;
    }

private:
    struct Count
    {
        int values = 0;
        QString range;
        QString example;
    };
    std::map<const char*, Count> m_counts;
    std::vector<const char*> m_order; // as first met
};

} // namespace

QStringList fitToDescriptor(BmFont& font)
{
    FieldFitter fitter;
    fitter.fit<std::int16_t>(font.size, "size");
    for (int& side : font.padding)
        fitter.fit<std::uint8_t>(side, "padding");
    for (int& direction : font.spacing)
        fitter.fit<std::uint8_t>(direction, "spacing");
    fitter.fit<std::uint8_t>(font.outline, "outline");
    fitter.fit<std::uint16_t>(font.lineHeight, "lineHeight");
    fitter.fit<std::uint16_t>(font.base, "base");
    fitter.fit<std::uint16_t>(font.scaleW, "scaleW");
    fitter.fit<std::uint16_t>(font.scaleH, "scaleH");
    for (BmFontChar& c : font.chars) {
        const QString where = QStringLiteral(" bei ") + codePointText(c.id);
        fitter.fit<std::uint16_t>(c.x, "x", where);
        fitter.fit<std::uint16_t>(c.y, "y", where);
        fitter.fit<std::uint16_t>(c.width, "width", where);
        fitter.fit<std::uint16_t>(c.height, "height", where);
        fitter.fit<std::int16_t>(c.xoffset, "xoffset", where);
        fitter.fit<std::int16_t>(c.yoffset, "yoffset", where);
        fitter.fit<std::int16_t>(c.xadvance, "xadvance", where);
        fitter.fit<std::uint8_t>(c.page, "page", where);
    }
    for (BmFontKerning& k : font.kernings)
        fitter.fit<std::int16_t>(k.amount, "amount",
                                 QStringLiteral(" bei ") + codePointText(k.first) + QStringLiteral(" vor ") +
                                     codePointText(k.second));
    return fitter.notes();
}

QString pageNameProblem(const QString& name, DescriptorForm form)
{
    const FormParts& parts = formParts(form);
    for (const char32_t c : name.toUcs4()) {
        if (parts.written(c) != c)
            return QStringLiteral("Der Seitenname „%1“ kann in der BMFont-Beschreibung der Form %2 nicht stehen: "
                                  "Für das Zeichen %3 hat sie keine Schreibweise. Wählen Sie für die Textur einen "
                                  "anderen Namen oder eine andere --descriptor-Form.")
                .arg(shownName(name), QString::fromUtf16(descriptorFormFacts(form).name), codePointText(c));
    }
    return {};
}

QString faceAsWritten(const QString& face, DescriptorForm form)
{
    const FormParts& parts = formParts(form);
    std::vector<char32_t> written;
    for (const char32_t c : face.toUcs4())
        written.push_back(parts.written(c));
    return QString::fromUcs4(written.data(), qsizetype(written.size()));
}

bool writeDescriptor(QIODevice& device, const BmFont& font, DescriptorForm form)
{
    return formParts(form).write(device, font);
}

} // namespace glyfrax
