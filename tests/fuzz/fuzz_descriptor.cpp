// The descriptor writers with arbitrary names and values: once fitted, every form read back as an
// engine reads it gives each value, the page's name exactly and the face as the form writes it;
// the text form has no line more, XML is well-formed and JSON parses. A page name a form refuses
// is not written.
#include "FuzzInput.h"
#include "export/BmFontWriter.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QtEndian>

#include <cstring>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

using Record = std::pair<QString, QMap<QString, QString>>; // a tag and its fields

QList<Record> expectedRecords(const BmFont& font, DescriptorForm form)
{
    const auto n = [](std::int64_t value) { return QString::number(value); };
    QList<Record> records{{u"info"_s, {{u"face"_s, faceAsWritten(font.face, form)}}},
                          {u"common"_s,
                           {{u"lineHeight"_s, n(font.lineHeight)},
                            {u"base"_s, n(font.base)},
                            {u"scaleW"_s, n(font.scaleW)},
                            {u"scaleH"_s, n(font.scaleH)}}},
                          {u"page"_s, {{u"file"_s, font.pages[0]}}}};
    for (const BmFontChar& c : font.chars) {
        const std::int64_t values[] = {c.id, c.x, c.y, c.width, c.height, c.xoffset, c.yoffset, c.xadvance, c.page};
        const char* names[] = {"id", "x", "y", "width", "height", "xoffset", "yoffset", "xadvance", "page"};
        records.append({u"char"_s, {}});
        for (int i = 0; i < 9; ++i)
            records.last().second[QString::fromLatin1(names[i])] = n(values[i]);
    }
    for (const BmFontKerning& k : font.kernings)
        records.append(
            {u"kerning"_s, {{u"first"_s, n(k.first)}, {u"second"_s, n(k.second)}, {u"amount"_s, n(k.amount)}}});
    return records;
}

// Text: a line per record, fields split at blanks outside quotes.
QList<Record> readText(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    FUZZ_REQUIRE(text.endsWith(u'\n'));
    for (const QChar c : text) // nothing else any reader may take for a line break
        FUZZ_REQUIRE(c == u'\n' || (c >= u' ' && (c < u'\x7F' || c > u'\x9F') && c != u'\u2028' && c != u'\u2029'));
    QList<Record> records;
    for (const QString& line : text.chopped(1).split(u'\n')) {
        Record record{line.section(u' ', 0, 0), {}};
        for (qsizetype at = record.first.size() + 1; at < line.size();) {
            const qsizetype equals = line.indexOf(u'=', at);
            if (equals < 0)
                break;
            const bool quoted = line.mid(equals + 1, 1) == u"\"";
            qsizetype end = quoted ? line.indexOf(u'"', equals + 2) : line.indexOf(u' ', equals);
            end += quoted && end >= 0 ? 1 : 0;
            const QString value = line.mid(equals + 1, (end < 0 ? line.size() : end) - equals - 1);
            record.second[line.mid(at, equals - at)] = quoted ? value.mid(1, value.size() - 2) : value;
            at = end < 0 ? line.size() : end + 1;
        }
        records.append(record);
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
        records.append({xml.name().toString(), {}});
        for (const QXmlStreamAttribute& attribute : xml.attributes())
            records.last().second[attribute.name().toString()] = attribute.value().toString();
    }
    FUZZ_REQUIRE(!xml.hasError());
    return records;
}

QList<Record> readJson(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(bytes, &error).object();
    FUZZ_REQUIRE(error.error == QJsonParseError::NoError);
    const auto record = [](const QString& tag, const QJsonObject& object) {
        Record r{tag, {}};
        for (auto it = object.begin(); it != object.end(); ++it)
            r.second[it.key()] = it->isString() ? it->toString() : QString::number(it->toInteger());
        return r;
    };
    QList<Record> records{record(u"info"_s, root[u"info"].toObject()), record(u"common"_s, root[u"common"].toObject())};
    for (const QJsonValue& page : root[u"pages"].toArray())
        records.append({u"page"_s, {{u"file"_s, page.toString()}}});
    for (const char* tag : {"char", "kerning"}) {
        for (const QJsonValue& item : root[QString::fromLatin1(tag) + u's'].toArray())
            records.append(record(QString::fromLatin1(tag), item.toObject()));
    }
    return records;
}

// Binary: fields by width, signed or not, in the order of the text form.
QList<Record> readBinary(const QByteArray& bytes)
{
    QList<Record> records;
    const auto number = [&](qsizetype at, int width, bool isSigned) -> std::int64_t {
        std::int64_t value = 0;
        std::memcpy(&value, bytes.constData() + at, std::size_t(width)); // little-endian, as is this machine
        return isSigned && value >= std::int64_t(1) << (8 * width - 1) ? value - (std::int64_t(1) << (8 * width))
                                                                       : value;
    };
    for (qsizetype at = 4; at + 5 <= bytes.size();) {
        const int type = bytes[at];
        const qsizetype length = number(at + 1, 4, false), content = at + 5;
        FUZZ_REQUIRE(content + length <= bytes.size());
        const auto fields = [&](const char* tag, qsizetype from,
                                std::initializer_list<std::pair<const char*, int>> layout) {
            records.append({QString::fromLatin1(tag), {}});
            for (const auto& [name, width] : layout) {
                records.last().second[QString::fromLatin1(name)] =
                    QString::number(number(from, std::abs(width), width < 0));
                from += std::abs(width);
            }
        };
        if (type == 1)
            records.append({u"info"_s, {{u"face"_s, QString::fromUtf8(bytes.constData() + content + 14)}}});
        if (type == 2)
            fields("common", content, {{"lineHeight", 2}, {"base", 2}, {"scaleW", 2}, {"scaleH", 2}});
        if (type == 3)
            records.append({u"page"_s, {{u"file"_s, QString::fromUtf8(bytes.constData() + content)}}});
        for (qsizetype item = content; type == 4 && item + 20 <= content + length; item += 20)
            fields("char", item,
                   {{"id", 4},
                    {"x", 2},
                    {"y", 2},
                    {"width", 2},
                    {"height", 2},
                    {"xoffset", -2},
                    {"yoffset", -2},
                    {"xadvance", -2},
                    {"page", 1}});
        for (qsizetype item = content; type == 5 && item + 10 <= content + length; item += 10)
            fields("kerning", item, {{"first", 4}, {"second", 4}, {"amount", -2}});
        at = content + length;
    }
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The form, the face and the page's name up to a NUL each, then 32-bit numbers: the font's
    // size, padding, spacing, line height, base and page size, ten for each character and three
    // for each kerning pair (their counts from the first two).
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
    const QString problem = pageNameProblem(font.pages[0], form);
    FUZZ_REQUIRE(problem.isEmpty() || problem.contains(u"U+"));
    if (!problem.isEmpty())
        return 0;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FUZZ_REQUIRE(writeDescriptor(buffer, font, form));
    const QByteArray& bytes = buffer.data();
    QList<Record> actual = form == DescriptorForm::Text   ? readText(bytes)
                           : form == DescriptorForm::Xml  ? readXml(bytes)
                           : form == DescriptorForm::Json ? readJson(bytes)
                                                          : readBinary(bytes);
    actual.removeIf([](const Record& r) {
        return r.first == u"font" || r.first == u"pages" || r.first == u"chars" || r.first == u"kernings";
    });
    const QList<Record> expected = expectedRecords(font, form);
    FUZZ_REQUIRE(actual.size() == expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        FUZZ_REQUIRE(actual[i].first == expected[i].first);
        for (auto it = expected[i].second.begin(); it != expected[i].second.end(); ++it)
            FUZZ_REQUIRE(actual[i].second.value(it.key()) == it.value());
    }
    return 0;
}
