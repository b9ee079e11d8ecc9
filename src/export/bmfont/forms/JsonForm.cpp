#include "export/bmfont/forms/DescriptorFields.h"
#include "export/bmfont/forms/FormParts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace glyfrax {

namespace {

// The JSON form: the tags of the text form as members, lists of records one per line; advances and
// kerning with their fractions when the font asks for them.

// JSON escapes every character.
char32_t written(char32_t c)
{
    return c;
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

bool write(QIODevice& device, const BmFont& font)
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

bool recognises(const QByteArray& head)
{
    return head.left(64).trimmed().startsWith('{');
}

qsizetype skipSpace(const QByteArray& bytes, qsizetype at)
{
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\n' || bytes[at] == '\r'))
        ++at;
    return at;
}

// One past the end of the JSON value that starts at at, its strings and brackets followed but not
// read; -1 when the bytes end before it does.
qsizetype jsonValueEnd(const QByteArray& bytes, qsizetype at)
{
    int depth = 0;
    for (qsizetype i = at; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (depth == 0 && (c == ',' || c == '}' || c == ']'))
            return i; // the end of a number, true, false or null
        if (c == '"') {
            for (++i; i < bytes.size() && bytes[i] != '"'; ++i)
                i += bytes[i] == '\\' ? 1 : 0;
            if (i >= bytes.size())
                return -1;
            if (depth == 0)
                return i + 1;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if ((c == ']' || c == '}') && --depth == 0) {
            return i + 1;
        }
    }
    return -1;
}

// The top-level object's members are walked over without being read, up to "pages": a head that
// ends among the characters is no JSON document.
void readPages(const QByteArray& head, PageNames& names)
{
    qsizetype at = skipSpace(head, 0);
    if (at == head.size() || head[at] != '{')
        return;
    at = skipSpace(head, at + 1);
    while (at < head.size() && head[at] == '"') {
        const qsizetype keyEnd = jsonValueEnd(head, at);
        if (keyEnd < 0)
            return;
        const qsizetype separator = skipSpace(head, keyEnd);
        if (separator == head.size() || head[separator] != ':')
            return;
        const qsizetype value = skipSpace(head, separator + 1);
        const qsizetype valueEnd = jsonValueEnd(head, value);
        if (valueEnd < 0)
            return;
        const QJsonArray key = QJsonDocument::fromJson('[' + head.mid(at, keyEnd - at) + ']').array();
        if (key.size() == 1 && key.first().toString() == u"pages") {
            for (const QJsonValue& page : QJsonDocument::fromJson(head.mid(value, valueEnd - value)).array()) {
                if (!names.add(page.toString()))
                    return;
            }
            return;
        }
        at = skipSpace(head, valueEnd);
        if (at == head.size() || head[at] != ',')
            return;
        at = skipSpace(head, at + 1);
    }
}

// A number of the file as a whole one, within what any field holds (a claimed 1e300 too).
qint64 jsonNumber(const QJsonValue& value)
{
    return qint64(std::clamp(value.toDouble(), -2147483648.0, 2147483647.0));
}

void readCells(const QByteArray& bytes, DescriptorCells& cells)
{
    const QJsonObject font = QJsonDocument::fromJson(bytes).object();
    BmFontChar unused;
    for (const char16_t* block : {u"info", u"common"}) {
        const QJsonObject fields = font.value(QStringView(block)).toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.value().isDouble())
                readCellField(cells, QStringView(block), it.key(), jsonNumber(it.value()), unused);
        }
    }
    for (const QJsonValue& entry : font.value(u"chars").toArray()) {
        const QJsonObject fields = entry.toObject();
        BmFontChar c;
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.value().isDouble())
                readCellField(cells, u"char", it.key(), jsonNumber(it.value()), c);
        }
        cells.chars.push_back(c);
    }
}

} // namespace

extern const FormParts kJsonForm{write, written, recognises, readPages, readCells};

} // namespace glyfrax
