#include "export/bmfont/forms/DescriptorFields.h"

#include <QIODevice>
#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace glyfrax {

Fields infoFields(const BmFont& font, DescriptorForm form)
{
    return {{"face", faceAsWritten(font.face, form)},
            {"size", font.size},
            {"bold", font.bold ? 1 : 0},
            {"italic", font.italic ? 1 : 0},
            {"charset", QString()},
            {"unicode", 1},
            {"stretchH", kStretchPercent},
            {"smooth", 1},
            {"aa", font.supersample},
            {"padding", std::vector<int>(font.padding.begin(), font.padding.end())},
            {"spacing", std::vector<int>(font.spacing.begin(), font.spacing.end())},
            {"outline", font.outline}};
}

Fields commonFields(const BmFont& font)
{
    const int color = int(font.color);
    return {{"lineHeight", font.lineHeight},
            {"base", font.base},
            {"scaleW", font.scaleW},
            {"scaleH", font.scaleH},
            {"pages", font.pages.size()},
            {"packed", font.packed ? 1 : 0},
            {"alphaChnl", int(font.alpha)},
            {"redChnl", color},
            {"greenChnl", color},
            {"blueChnl", color}};
}

Fields distanceFieldFields(const BmFont& font)
{
    return {{"fieldType", Word{font.fieldType}}, {"distanceRange", font.distanceRange}};
}

Fields pageFields(const BmFont& font, int id)
{
    return {{"id", id}, {"file", font.pages.at(id)}};
}

Fields charFields(const BmFontChar& c, bool fractional)
{
    return {{"id", signedId(c.id)},
            {"x", c.x},
            {"y", c.y},
            {"width", c.width},
            {"height", c.height},
            {"xoffset", c.xoffset},
            {"yoffset", c.yoffset},
            {"xadvance", fractional ? FieldValue(c.exactAdvance) : FieldValue(qint64(c.xadvance))},
            {"page", c.page},
            {"chnl", c.channels}};
}

Fields kerningFields(const BmFontKerning& k, bool fractional)
{
    return {{"first", k.first},
            {"second", k.second},
            {"amount", fractional ? FieldValue(k.exactAmount) : FieldValue(qint64(k.amount))}};
}

QString joined(const std::vector<int>& list)
{
    QStringList parts;
    for (const int item : list)
        parts.append(QString::number(item));
    return parts.join(u',');
}

bool writeAll(QIODevice& device, const QByteArray& bytes)
{
    return device.write(bytes) == bytes.size();
}

QString valueText(const FieldValue& value, QString (*quote)(const QString&), bool quoteWords)
{
    if (const auto* number = std::get_if<qint64>(&value))
        return QString::number(*number);
    if (const auto* exact = std::get_if<double>(&value)) // the shortest text that reads back as the same number
        return QString::number(*exact, 'g', QLocale::FloatingPointShortest);
    if (const auto* text = std::get_if<QString>(&value))
        return quote(*text);
    if (const auto* word = std::get_if<Word>(&value))
        return quoteWords ? quote(word->text) : word->text;
    return joined(std::get<std::vector<int>>(value));
}

void readCellField(DescriptorCells& cells, QStringView block, QStringView name, qint64 value, BmFontChar& c)
{
    // Values beyond what a field can hold are cut to what the type holds; the caller checks places.
    const auto number = std::int32_t(std::clamp<qint64>(value, -(qint64(1) << 30), qint64(1) << 30));
    if (block == u"info" && name == u"size")
        cells.size = number;
    else if (block == u"common" && name == u"scaleW")
        cells.scaleW = number;
    else if (block == u"common" && name == u"scaleH")
        cells.scaleH = number;
    else if (block == u"common" && name == u"packed")
        cells.packed = number != 0;
    else if (block == u"char") {
        const std::pair<const char16_t*, std::int32_t BmFontChar::*> places[] = {{u"x", &BmFontChar::x},
                                                                                 {u"y", &BmFontChar::y},
                                                                                 {u"width", &BmFontChar::width},
                                                                                 {u"height", &BmFontChar::height}};
        for (const auto& [field, member] : places) {
            if (name == QStringView(field))
                c.*member = number;
        }
        if (name == u"id")
            c.id = char32_t(number);
        else if (name == u"page")
            c.page = number;
        else if (name == u"chnl")
            c.channels = number;
    }
}

} // namespace glyfrax
