#include "export/bmfont/BmFontReader.h"

#include "export/bmfont/BmFontWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtEndian>

namespace glyfrax {

namespace {

// The names as a descriptor gives them: each once, and no more than a set can have, however
// often or many it claims.
class PageNames
{
public:
    // False once no more names are taken.
    bool add(const QString& name)
    {
        if (!name.isEmpty() && !m_seen.contains(name)) {
            m_seen.insert(name);
            m_names.append(name);
        }
        return m_names.size() < kMaxBmFontPages;
    }

    QStringList names() const { return m_names; }

private:
    QSet<QString> m_seen;
    QStringList m_names;
};

void fromBinary(const QByteArray& bytes, PageNames& names)
{
    constexpr std::uint8_t kPagesBlock = 3;
    for (qsizetype at = 4; at + 5 <= bytes.size();) {
        const auto type = std::uint8_t(bytes[at]);
        const qint64 length = qFromLittleEndian<qint32>(bytes.constData() + at + 1);
        if (length < 0 || length > bytes.size() - at - 5)
            return;
        if (type == kPagesBlock) {
            for (const QByteArray& name : bytes.mid(at + 5, length).split('\0')) {
                if (!names.add(QString::fromUtf8(name)))
                    return;
            }
            return;
        }
        at += 5 + length;
    }
}

void fromXml(const QByteArray& bytes, PageNames& names)
{
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"chars")
            return;
        if (xml.name() == u"page" && !names.add(xml.attributes().value(QStringLiteral("file")).toString()))
            return;
    }
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
void fromJson(const QByteArray& bytes, PageNames& names)
{
    qsizetype at = skipSpace(bytes, 0);
    if (at == bytes.size() || bytes[at] != '{')
        return;
    at = skipSpace(bytes, at + 1);
    while (at < bytes.size() && bytes[at] == '"') {
        const qsizetype keyEnd = jsonValueEnd(bytes, at);
        if (keyEnd < 0)
            return;
        const qsizetype separator = skipSpace(bytes, keyEnd);
        if (separator == bytes.size() || bytes[separator] != ':')
            return;
        const qsizetype value = skipSpace(bytes, separator + 1);
        const qsizetype valueEnd = jsonValueEnd(bytes, value);
        if (valueEnd < 0)
            return;
        const QJsonArray key = QJsonDocument::fromJson('[' + bytes.mid(at, keyEnd - at) + ']').array();
        if (key.size() == 1 && key.first().toString() == u"pages") {
            for (const QJsonValue& page : QJsonDocument::fromJson(bytes.mid(value, valueEnd - value)).array()) {
                if (!names.add(page.toString()))
                    return;
            }
            return;
        }
        at = skipSpace(bytes, valueEnd);
        if (at == bytes.size() || bytes[at] != ',')
            return;
        at = skipSpace(bytes, at + 1);
    }
}

// A head cut at its full size may end in part of a line, and a part of a name is another name.
void fromText(const QByteArray& bytes, PageNames& names)
{
    static const QRegularExpression file(QStringLiteral(R"re(^page\b.*\bfile=(?:"([^"]*)"|(\S+)))re"));
    QList<QByteArray> lines = bytes.split('\n');
    if (bytes.size() >= kDescriptorHeadSize)
        lines.removeLast();
    for (const QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("chars"))
            return;
        if (!trimmed.startsWith("page"))
            continue;
        const QRegularExpressionMatch match = file.match(QString::fromUtf8(trimmed));
        if (match.hasMatch() && !names.add(match.captured(1).isEmpty() ? match.captured(2) : match.captured(1)))
            return;
    }
}

} // namespace

QStringList pageFilesNamedBy(const QByteArray& head)
{
    PageNames names;
    const QByteArray start = head.left(64).trimmed();
    if (head.startsWith("BMF\x03"))
        fromBinary(head, names);
    else if (start.startsWith('<'))
        fromXml(head, names);
    else if (start.startsWith('{'))
        fromJson(head, names);
    else if (start.startsWith("info"))
        fromText(head, names);
    return names.names();
}

} // namespace glyfrax
