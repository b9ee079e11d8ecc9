#include "export/bmfont/BmFontWriter.h"

#include "base/LittleEndian.h"
#include "base/ShownName.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QXmlStreamWriter>

#include <algorithm>
#include <limits>
#include <map>
#include <variant>

namespace glyfrax {

namespace {

// A name that the text form writes without quotes, as engines expect a distance field's type.
struct Word
{
    QString text;
};

// The fields of one tag, as the text, XML and JSON forms share them.
using FieldValue = std::variant<qint64, QString, std::vector<int>, Word, double>;
struct Field
{
    const char* name;
    FieldValue value;
};
using Fields = std::vector<Field>;

constexpr int kStretchPercent = 100;

// Whether a character can stand in a name of the form as it is or escaped.
bool holds(DescriptorForm form, char32_t c)
{
    switch (form) {
    case DescriptorForm::Text:
        // No escapes, and readers take more than CR and LF for a line break (Python's
        // splitlines, for one, most control characters and U+2028, U+2029).
        return c >= 0x20 && c != U'"' && (c < 0x7F || c > 0x9F) && c != 0x2028 && c != 0x2029;
    case DescriptorForm::Xml: // the characters of XML 1.0; tab and line breaks are escaped
        return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
               c >= 0x10000;
    case DescriptorForm::Binary: // names end at a NUL
        return c != 0;
    case DescriptorForm::Json:
        break;
    }
    return true;
}

QString formName(DescriptorForm form)
{
    const char16_t* names[] = {u"text", u"xml", u"binary", u"json"}; // by DescriptorForm
    return QString::fromUtf16(names[int(form)]);
}

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

QString codePoint(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper();
}

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

// What a distance field's pages hold, as pixi.js, three-bmfont-text and Phaser read it.
Fields distanceFieldFields(const BmFont& font)
{
    return {{"fieldType", Word{font.fieldType}}, {"distanceRange", font.distanceRange}};
}

Fields pageFields(const BmFont& font, int id)
{
    return {{"id", id}, {"file", font.pages.at(id)}};
}

Fields charFields(const BmFontChar& c, bool fractional = false)
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

Fields kerningFields(const BmFontKerning& k, bool fractional = false)
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

QString unquoted(const QString& text)
{
    return text;
}

// A field's value as it stands in a form: a text as quote writes it (a word too, when the form
// quotes words), a list separated by commas.
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

// Text: the format has no escapes; names are ones it can hold (see holds).
QString textLine(const char* tag, const Fields& fields)
{
    QString line = QString::fromLatin1(tag);
    for (const Field& field : fields)
        line += u' ' + QString::fromLatin1(field.name) + u'=' +
                valueText(
                    field.value, [](const QString& text) { return u'"' + text + u'"'; }, false);
    return line + u'\n';
}

bool writeText(QIODevice& device, const BmFont& font)
{
    QString text = textLine("info", infoFields(font, DescriptorForm::Text)) + textLine("common", commonFields(font));
    if (!font.fieldType.isEmpty())
        text += textLine("distanceField", distanceFieldFields(font));
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
    for (const Field& field : fields)
        xml.writeAttribute(QString::fromLatin1(field.name), valueText(field.value, unquoted, true));
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
    xmlElement(xml, "info", infoFields(font, DescriptorForm::Xml));
    xmlElement(xml, "common", commonFields(font));
    if (!font.fieldType.isEmpty())
        xmlElement(xml, "distanceField", distanceFieldFields(font));
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
        const QString value =
            std::holds_alternative<std::vector<int>>(field.value)
                ? u'[' + joined(std::get<std::vector<int>>(field.value)).replace(u',', QStringLiteral(", ")) + u']'
                : valueText(field.value, jsonString, true);
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
        chars.append(jsonObject(charFields(c, font.fractional)));
    QStringList kernings;
    for (const BmFontKerning& k : font.kernings)
        kernings.append(jsonObject(kerningFields(k, font.fractional)));
    const QString text = QStringLiteral("{\n  \"info\": ") + jsonObject(infoFields(font, DescriptorForm::Json)) +
                         QStringLiteral(",\n  \"common\": ") + jsonObject(commonFields(font)) +
                         (font.fieldType.isEmpty()
                              ? QString()
                              : QStringLiteral(",\n  \"distanceField\": ") + jsonObject(distanceFieldFields(font))) +
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
    appendLittleEndian<std::uint8_t>(info, std::uint8_t(font.supersample));
    for (const int side : font.padding)
        appendLittleEndian<std::uint8_t>(info, side);
    for (const int direction : font.spacing)
        appendLittleEndian<std::uint8_t>(info, direction);
    appendLittleEndian<std::uint8_t>(info, font.outline);
    info += faceAsWritten(font.face, DescriptorForm::Binary).toUtf8() + '\0';
    appendBlock(bytes, 1, info);

    QByteArray common;
    for (const int value : {font.lineHeight, font.base, font.scaleW, font.scaleH, int(font.pages.size())})
        appendLittleEndian<std::uint16_t>(common, value);
    appendLittleEndian<std::uint8_t>(common, font.packed ? 1 : 0);
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
        appendLittleEndian<std::uint8_t>(chars, std::uint8_t(c.channels));
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
        const QString where = QStringLiteral(" bei ") + codePoint(c.id);
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
                                 QStringLiteral(" bei ") + codePoint(k.first) + QStringLiteral(" vor ") +
                                     codePoint(k.second));
    return fitter.notes();
}

QString pageNameProblem(const QString& name, DescriptorForm form)
{
    for (const char32_t c : name.toUcs4()) {
        if (!holds(form, c))
            return QStringLiteral("Der Seitenname „%1“ kann in der BMFont-Beschreibung der Form %2 nicht stehen: "
                                  "Für das Zeichen %3 hat sie keine Schreibweise. Wählen Sie für die Textur einen "
                                  "anderen Namen oder eine andere --descriptor-Form.")
                .arg(shownName(name), formName(form), codePoint(c));
    }
    return {};
}

QString faceAsWritten(const QString& face, DescriptorForm form)
{
    std::vector<char32_t> written;
    for (const char32_t c : face.toUcs4())
        written.push_back(holds(form, c) ? c : form == DescriptorForm::Text && c == U'"' ? U'\'' : U'\uFFFD');
    return QString::fromUcs4(written.data(), qsizetype(written.size()));
}

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
