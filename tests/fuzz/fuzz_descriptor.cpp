// The descriptor writers with arbitrary names and values: once fitted, every form read back as an
// engine reads it gives each value, the page's name exactly and the face as the form writes it;
// the text form has no line more, XML is well-formed and JSON parses. A page name a form refuses
// is not written.
#include "FuzzInput.h"
#include "export/bmfont/BmFontWriter.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cstring>
#include <numeric>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

// A tag and the values of the fields compared, in the order of kFields; the binary form's widths
// of those fields in bytes, negative when signed.
using Record = QStringList;
const QMap<QString, QStringList> kFields{
    {u"info"_s, {u"face"_s}},
    {u"common"_s, QString(u"lineHeight base scaleW scaleH"_s).split(u' ')},
    {u"page"_s, {u"file"_s}},
    {u"char"_s, QString(u"id x y width height xoffset yoffset xadvance page chnl"_s).split(u' ')},
    {u"kerning"_s, QString(u"first second amount"_s).split(u' ')}};
const QMap<QString, QList<int>> kWidths{
    {u"common"_s, {2, 2, 2, 2}}, {u"char"_s, {4, 2, 2, 2, 2, -2, -2, -2, 1, 1}}, {u"kerning"_s, {4, 4, -2}}};

Record record(const QString& tag, const QMap<QString, QString>& fields)
{
    Record r{tag};
    for (const QString& name : kFields.value(tag))
        r.append(fields.value(name));
    return r;
}

QList<Record> expected(const BmFont& f, DescriptorForm form)
{
    const auto n = [](std::int64_t value) { return QString::number(value); };
    QList<Record> records{{u"info"_s, faceAsWritten(f.face, form)},
                          {u"common"_s, n(f.lineHeight), n(f.base), n(f.scaleW), n(f.scaleH)},
                          {u"page"_s, f.pages[0]}};
    for (const BmFontChar& c : f.chars)
        records.append({u"char"_s, n(c.id), n(c.x), n(c.y), n(c.width), n(c.height), n(c.xoffset), n(c.yoffset),
                        n(c.xadvance), n(c.page), n(15)}); // all channels
    for (const BmFontKerning& k : f.kernings)
        records.append({u"kerning"_s, n(k.first), n(k.second), n(k.amount)});
    return records;
}

// Text: a line per tag, its fields name=value or name="value"; nothing else may break a line.
QList<Record> readText(const QString& text)
{
    FUZZ_REQUIRE(text.endsWith(u'\n'));
    for (const QChar c : text)
        FUZZ_REQUIRE(c == u'\n' || (c >= u' ' && (c < u'\x7F' || c > u'\x9F') && c != u'\u2028' && c != u'\u2029'));
    static const QRegularExpression field(uR"re((\w+)=("([^"]*)"|\S*))re"_s);
    QList<Record> records;
    for (const QString& line : text.chopped(1).split(u'\n')) {
        QMap<QString, QString> fields;
        for (const QRegularExpressionMatch& m : field.globalMatch(line))
            fields[m.captured(1)] = m.captured(2).startsWith(u'"') ? m.captured(3) : m.captured(2);
        records.append(record(line.section(u' ', 0, 0), fields));
    }
    return records;
}

QList<Record> readXml(const QByteArray& bytes)
{
    QList<Record> records;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        QMap<QString, QString> fields;
        for (const QXmlStreamAttribute& attribute : xml.attributes())
            fields[attribute.name().toString()] = attribute.value().toString();
        records.append(record(xml.name().toString(), fields));
    }
    FUZZ_REQUIRE(!xml.hasError());
    return records;
}

QList<Record> readJson(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(bytes, &error).object();
    FUZZ_REQUIRE(error.error == QJsonParseError::NoError);
    QList<Record> records;
    for (const QString& tag : {u"info"_s, u"common"_s, u"page"_s, u"char"_s, u"kerning"_s}) {
        const QJsonArray items = root[tag].isObject() ? QJsonArray{root[tag]} : root[tag + u's'].toArray();
        for (const QJsonValue& item : items) {
            QMap<QString, QString> fields{{u"file"_s, item.toString()}};
            for (const QString& key : item.toObject().keys())
                fields[key] = item[key].isString() ? item[key].toString() : QString::number(item[key].toInteger());
            records.append(record(tag, fields));
        }
    }
    return records;
}

// Binary: blocks of a type and a length; the names end at a NUL.
QList<Record> readBinary(const QByteArray& bytes)
{
    QList<Record> records;
    const QString tags[] = {{}, u"info"_s, u"common"_s, u"page"_s, u"char"_s, u"kerning"_s};
    for (qsizetype at = 4, length = 0; at + 5 <= bytes.size(); at += 5 + length) {
        const int type = bytes[at];
        std::memcpy(&length, bytes.constData() + at + 1, 4); // little-endian, as is this machine
        FUZZ_REQUIRE(type >= 1 && type <= 5 && length >= 0 && at + 5 + length <= bytes.size());
        const char* content = bytes.constData() + at + 5;
        if (type == 1 || type == 3) // the face after 14 bytes of fields, the page's name at once
            records.append({tags[type], QString::fromUtf8(content + (type == 1 ? 14 : 0))});
        const QList<int> widths = kWidths.value(tags[type]);
        const int size =
            std::accumulate(widths.begin(), widths.end(), 0, [](int sum, int w) { return sum + std::abs(w); });
        for (qsizetype item = 0; size > 0 && item + size <= length; item += type == 2 ? length : size) {
            Record r{tags[type]};
            for (qsizetype from = item; const int width : widths) {
                std::int64_t value = 0;
                std::memcpy(&value, content + from, std::size_t(std::abs(width)));
                const std::int64_t half = std::int64_t(1) << (8 * std::abs(width) - 1);
                r.append(QString::number(width < 0 && value >= half ? value - 2 * half : value));
                from += std::abs(width);
            }
            records.append(r);
        }
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The form, the face and the page's name up to a NUL each, then 32-bit numbers: how many
    // characters and kerning pairs (up to 7 each), the font's size, padding, spacing, line height,
    // base and page size, ten for each character and three for each pair.
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto form = DescriptorForm(input.isEmpty() ? 0 : std::uint8_t(input[0]) % 4);
    input.remove(0, 1);
    BmFont font;
    font.face = QString::fromUtf8(fuzz::take(input));
    font.pages = {QString::fromUtf8(fuzz::take(input))};
    std::vector<std::int32_t> numbers(std::size_t(input.size() / 4) + 9);
    std::memcpy(numbers.data(), input.constData(), std::size_t(input.size() / 4 * 4));
    auto next = numbers.begin();
    const std::size_t chars = std::uint32_t(*next++) % 8, kernings = std::uint32_t(*next++) % 8;
    for (int* value :
         {&font.size, &font.padding[0], &font.spacing[0], &font.lineHeight, &font.base, &font.scaleW, &font.scaleH})
        *value = next < numbers.end() ? *next++ : 0;
    for (std::size_t i = 0; i < chars && numbers.end() - next >= 10; ++i, next += 10)
        font.chars.push_back(
            {char32_t(next[0]), next[1], next[2], next[3], next[4], next[5], next[6], next[7], next[8]});
    for (std::size_t i = 0; i < kernings && numbers.end() - next >= 3; ++i, next += 3)
        font.kernings.push_back({char32_t(next[0]), char32_t(next[1]), next[2]});
    fitToDescriptor(font);
    if (!pageNameProblem(font.pages[0], form).isEmpty())
        return 0;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FUZZ_REQUIRE(writeDescriptor(buffer, font, form));
    const QByteArray& bytes = buffer.data();
    QList<Record> actual = form == DescriptorForm::Text   ? readText(QString::fromUtf8(bytes))
                           : form == DescriptorForm::Xml  ? readXml(bytes)
                           : form == DescriptorForm::Json ? readJson(bytes)
                                                          : readBinary(bytes);
    actual.removeIf([](const Record& r) { return r[0] == u"font" || r[0].endsWith(u's'); }); // the lists' tags
    FUZZ_REQUIRE(actual == expected(font, form));
    return 0;
}
