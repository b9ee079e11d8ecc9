#include "export/BmFontReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtEndian>

namespace glyfrax {

namespace {

QStringList fromBinary(const QByteArray& bytes)
{
    constexpr std::uint8_t kPagesBlock = 3;
    for (qsizetype at = 4; at + 5 <= bytes.size();) {
        const auto type = std::uint8_t(bytes[at]);
        const qint64 length = qFromLittleEndian<qint32>(bytes.constData() + at + 1);
        if (length < 0 || length > bytes.size() - at - 5)
            break;
        if (type == kPagesBlock) {
            QStringList pages;
            for (const QByteArray& name : bytes.mid(at + 5, length).split('\0')) {
                if (!name.isEmpty())
                    pages.append(QString::fromUtf8(name));
            }
            return pages;
        }
        at += 5 + length;
    }
    return {};
}

QStringList fromXml(const QByteArray& bytes)
{
    QStringList pages;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"page")
            pages.append(xml.attributes().value(QStringLiteral("file")).toString());
    }
    return pages;
}

QStringList fromJson(const QByteArray& bytes)
{
    QStringList pages;
    for (const QJsonValue& page : QJsonDocument::fromJson(bytes).object().value(u"pages").toArray())
        pages.append(page.toString());
    return pages;
}

QStringList fromText(const QByteArray& bytes)
{
    static const QRegularExpression file(QStringLiteral(R"re(^page\b.*\bfile=(?:"([^"]*)"|(\S+)))re"));
    QStringList pages;
    for (const QByteArray& line : bytes.split('\n')) {
        const QRegularExpressionMatch match = file.match(QString::fromUtf8(line).trimmed());
        if (match.hasMatch())
            pages.append(match.captured(1).isEmpty() ? match.captured(2) : match.captured(1));
    }
    return pages;
}

} // namespace

QStringList pageFilesNamedBy(const QByteArray& descriptor)
{
    if (descriptor.startsWith("BMF\x03"))
        return fromBinary(descriptor);
    const QByteArray start = descriptor.left(64).trimmed();
    if (start.startsWith('<'))
        return fromXml(descriptor);
    if (start.startsWith('{'))
        return fromJson(descriptor);
    return start.startsWith("info") ? fromText(descriptor) : QStringList();
}

} // namespace glyfrax
