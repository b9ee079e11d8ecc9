#include "export/BmFontWriter.h"

#include "base/LittleEndian.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QXmlStreamWriter>

#include <variant>

namespace glyfrax {

namespace {

// The fields of one tag, as the text, XML and JSON forms share them.
using FieldValue = std::variant<qint64, QString, std::vector<int>>;
struct Field
{
    const char* name;
    FieldValue value;
};
using Fields = std::vector<Field>;

constexpr int kAllChannels = 15;
constexpr int kStretchPercent = 100;

Fields infoFields(const BmFont& font)
{
    return {{"face", font.face},
            {"size", font.size},
            {"bold", font.bold ? 1 : 0},
            {"italic", font.italic ? 1 : 0},
            {"charset", QString()},
            {"unicode", 1},
            {"stretchH", kStretchPercent},
            {"smooth", 1},
            {"aa", 1},
            {"padding", std::vector<int>(4, font.padding)},
            {"spacing", std::vector<int>(2, font.spacing)},
            {"outline", 0}};
}

Fields commonFields(const BmFont& font)
{
    const int color = int(font.color);
    return {{"lineHeight", font.lineHeight},
            {"base", font.base},
            {"scaleW", font.scaleW},
            {"scaleH", font.scaleH},
            {"pages", font.pages.size()},
            {"packed", 0},
            {"alphaChnl", int(font.alpha)},
            {"redChnl", color},
            {"greenChnl", color},
            {"blueChnl", color}};
}

Fields pageFields(const BmFont& font, int id)
{
    return {{"id", id}, {"file", font.pages.at(id)}};
}

Fields charFields(const BmFontChar& c)
{
    return {{"id", c.id},
            {"x", c.x},
            {"y", c.y},
            {"width", c.width},
            {"height", c.height},
            {"xoffset", c.xoffset},
            {"yoffset", c.yoffset},
            {"xadvance", c.xadvance},
            {"page", c.page},
            {"chnl", kAllChannels}};
}

Fields kerningFields(const BmFontKerning& k)
{
    return {{"first", k.first}, {"second", k.second}, {"amount", k.amount}};
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

// Text: the format has no escapes, so a double quote inside a name becomes a single one.
QString textLine(const char* tag, const Fields& fields)
{
    QString line = QString::fromLatin1(tag);
    for (const Field& field : fields) {
        line += u' ' + QString::fromLatin1(field.name) + u'=';
        if (const auto* number = std::get_if<qint64>(&field.value))
            line += QString::number(*number);
        else if (const auto* text = std::get_if<QString>(&field.value))
            line += u'"' + QString(*text).replace(u'"', u'\'') + u'"';
        else
            line += joined(std::get<std::vector<int>>(field.value));
    }
    return line + u'\n';
}

bool writeText(QIODevice& device, const BmFont& font)
{
    QString text = textLine("info", infoFields(font)) + textLine("common", commonFields(font));
    for (int page = 0; page < font.pages.size(); ++page)
        text += textLine("page", pageFields(font, page));
    text += textLine("chars", {{"count", qint64(font.chars.size())}});
    for (const BmFontChar& c : font.chars)
        text += textLine("char", charFields(c));
    text += textLine("kernings", {{"count", qint64(font.kernings.size())}});
    for (const BmFontKerning& k : font.kernings)
        text += textLine("kerning", kerningFields(k));
    return writeAll(device, text.toUtf8());
}

void xmlElement(QXmlStreamWriter& xml, const char* tag, const Fields& fields)
{
    xml.writeEmptyElement(QString::fromLatin1(tag));
    for (const Field& field : fields) {
        QString value;
        if (const auto* number = std::get_if<qint64>(&field.value))
            value = QString::number(*number);
        else if (const auto* text = std::get_if<QString>(&field.value))
            value = *text;
        else
            value = joined(std::get<std::vector<int>>(field.value));
        xml.writeAttribute(QString::fromLatin1(field.name), value);
    }
}

bool writeXml(QIODevice& device, const BmFont& font)
{
    // Into memory first: the writer's many small writes would each reach the unbuffered file.
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("font"));
    xmlElement(xml, "info", infoFields(font));
    xmlElement(xml, "common", commonFields(font));
    xml.writeStartElement(QStringLiteral("pages"));
    for (int page = 0; page < font.pages.size(); ++page)
        xmlElement(xml, "page", pageFields(font, page));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("chars"));
    xml.writeAttribute(QStringLiteral("count"), QString::number(font.chars.size()));
    for (const BmFontChar& c : font.chars)
        xmlElement(xml, "char", charFields(c));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("kernings"));
    xml.writeAttribute(QStringLiteral("count"), QString::number(font.kernings.size()));
    for (const BmFontKerning& k : font.kernings)
        xmlElement(xml, "kerning", kerningFields(k));
    xml.writeEndElement();
    xml.writeEndDocument();
    return writeAll(device, bytes);
}

QString jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2)); // without the brackets
}

QString jsonObject(const Fields& fields)
{
    QStringList members;
    for (const Field& field : fields) {
        QString value;
        if (const auto* number = std::get_if<qint64>(&field.value))
            value = QString::number(*number);
        else if (const auto* text = std::get_if<QString>(&field.value))
            value = jsonString(*text);
        else
            value = u'[' + joined(std::get<std::vector<int>>(field.value)).replace(u',', QStringLiteral(", ")) + u']';
        members.append(u'"' + QString::fromLatin1(field.name) + QStringLiteral("\": ") + value);
    }
    return u'{' + members.join(QStringLiteral(", ")) + u'}';
}

// One record per line, so that a change shows as the lines it touches.
QString jsonList(const QStringList& items)
{
    return items.isEmpty()
               ? QStringLiteral("[]")
               : QStringLiteral("[\n    ") + items.join(QStringLiteral(",\n    ")) + QStringLiteral("\n  ]");
}

bool writeJson(QIODevice& device, const BmFont& font)
{
    QStringList pages;
    for (const QString& page : font.pages)
        pages.append(jsonString(page));
    QStringList chars;
    for (const BmFontChar& c : font.chars)
        chars.append(jsonObject(charFields(c)));
    QStringList kernings;
    for (const BmFontKerning& k : font.kernings)
        kernings.append(jsonObject(kerningFields(k)));
    const QString text = QStringLiteral("{\n  \"info\": ") + jsonObject(infoFields(font)) +
                         QStringLiteral(",\n  \"common\": ") + jsonObject(commonFields(font)) +
                         QStringLiteral(",\n  \"pages\": [") + pages.join(QStringLiteral(", ")) +
                         QStringLiteral("],\n  \"chars\": ") + jsonList(chars) + QStringLiteral(",\n  \"kernings\": ") +
                         jsonList(kernings) + QStringLiteral("\n}\n");
    return writeAll(device, text.toUtf8());
}

// A block: its type, its length without these five bytes, then its content.
void appendBlock(QByteArray& bytes, std::uint8_t type, const QByteArray& content)
{
    appendLittleEndian<std::uint8_t>(bytes, type);
    appendLittleEndian<std::int32_t>(bytes, content.size());
    bytes += content;
}

bool writeBinary(QIODevice& device, const BmFont& font)
{
    QByteArray bytes("BMF\x03", 4);

    QByteArray info;
    appendLittleEndian<std::int16_t>(info, font.size);
    // The format numbers the flag bits from the top: smooth is 0x80, then unicode, italic, bold.
    appendLittleEndian<std::uint8_t>(info, 0x80 | 0x40 | (font.italic ? 0x20 : 0) | (font.bold ? 0x10 : 0));
    appendLittleEndian<std::uint8_t>(info, 0); // character set: none, the ids are Unicode
    appendLittleEndian<std::uint16_t>(info, kStretchPercent);
    appendLittleEndian<std::uint8_t>(info, 1); // no supersampling
    for (int side = 0; side < 4; ++side)
        appendLittleEndian<std::uint8_t>(info, font.padding);
    appendLittleEndian<std::uint8_t>(info, font.spacing);
    appendLittleEndian<std::uint8_t>(info, font.spacing);
    appendLittleEndian<std::uint8_t>(info, 0); // outline
    info += font.face.toUtf8() + '\0';
    appendBlock(bytes, 1, info);

    QByteArray common;
    for (const int value : {font.lineHeight, font.base, font.scaleW, font.scaleH, int(font.pages.size())})
        appendLittleEndian<std::uint16_t>(common, value);
    appendLittleEndian<std::uint8_t>(common, 0); // not packed
    appendLittleEndian<std::uint8_t>(common, int(font.alpha));
    for (int channel = 0; channel < 3; ++channel)
        appendLittleEndian<std::uint8_t>(common, int(font.color));
    appendBlock(bytes, 2, common);

    QByteArray pages;
    for (const QString& page : font.pages)
        pages += page.toUtf8() + '\0';
    appendBlock(bytes, 3, pages);

    QByteArray chars;
    for (const BmFontChar& c : font.chars) {
        appendLittleEndian<std::uint32_t>(chars, c.id);
        for (const std::int32_t value : {c.x, c.y, c.width, c.height})
            appendLittleEndian<std::uint16_t>(chars, value);
        for (const std::int32_t value : {c.xoffset, c.yoffset, c.xadvance})
            appendLittleEndian<std::int16_t>(chars, value);
        appendLittleEndian<std::uint8_t>(chars, c.page);
        appendLittleEndian<std::uint8_t>(chars, kAllChannels);
    }
    appendBlock(bytes, 4, chars);

    if (!font.kernings.empty()) {
        QByteArray kernings;
        for (const BmFontKerning& k : font.kernings) {
            appendLittleEndian<std::uint32_t>(kernings, k.first);
            appendLittleEndian<std::uint32_t>(kernings, k.second);
            appendLittleEndian<std::int16_t>(kernings, k.amount);
        }
        appendBlock(bytes, 5, kernings);
    }
    return writeAll(device, bytes);
}

} // namespace

bool writeDescriptor(QIODevice& device, const BmFont& font, DescriptorForm form)
{
    switch (form) {
    case DescriptorForm::Text:
        return writeText(device, font);
    case DescriptorForm::Xml:
        return writeXml(device, font);
    case DescriptorForm::Binary:
        return writeBinary(device, font);
    case DescriptorForm::Json:
        return writeJson(device, font);
    }
    return false;
}

} // namespace glyfrax
