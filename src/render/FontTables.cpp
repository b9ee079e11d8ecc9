#include "render/FontTables.h"

#include <QtEndian>

#include <algorithm>

namespace glyfrax {

namespace {

quint16 read16(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

quint32 read32(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

void append16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value >> 8)).append(char(value & 0xFF));
}

void append32(QByteArray& bytes, quint32 value)
{
    append16(bytes, quint16(value >> 16));
    append16(bytes, quint16(value & 0xFFFF));
}

quint32 checksum(const QByteArray& table)
{
    quint32 sum = 0;
    for (qsizetype at = 0; at < table.size(); at += 4) {
        quint32 word = 0;
        for (qsizetype i = 0; i < 4; ++i)
            word = word << 8 | (at + i < table.size() ? quint8(table[at + i]) : 0);
        sum += word;
    }
    return sum;
}

} // namespace

std::vector<FontTable> fontTables(const QByteArray& font)
{
    std::vector<FontTable> tables;
    if (font.size() < 12 || font.startsWith("ttcf"))
        return tables;
    const qsizetype count = read16(font, 4);
    for (qsizetype i = 0; i < count && 12 + 16 * (i + 1) <= font.size(); ++i) {
        const qsizetype entry = 12 + 16 * i;
        const qint64 offset = read32(font, entry + 8);
        const qint64 length = read32(font, entry + 12);
        if (offset + length <= font.size())
            tables.push_back({font.mid(entry, 4), font.mid(offset, length)});
    }
    return tables;
}

QByteArray fontTable(const QByteArray& font, const char* tag)
{
    for (const FontTable& table : fontTables(font)) {
        if (table.tag == tag)
            return table.bytes;
    }
    return {};
}

QByteArray fontFileOf(std::vector<FontTable> tables)
{
    std::sort(tables.begin(), tables.end(), [](const FontTable& a, const FontTable& b) { return a.tag < b.tag; });
    const bool trueType =
        std::any_of(tables.begin(), tables.end(), [](const FontTable& table) { return table.tag == "glyf"; });
    const auto count = quint16(tables.size());
    quint16 entrySelector = 0;
    while ((2u << entrySelector) <= count)
        ++entrySelector;
    const quint16 searchRange = quint16(16u << entrySelector);
    QByteArray file;
    append32(file, trueType ? 0x00010000 : 0x4F54544F);
    append16(file, count);
    append16(file, searchRange);
    append16(file, entrySelector);
    append16(file, quint16(16 * count - searchRange));
    QByteArray body;
    const qsizetype start = 12 + 16 * qsizetype(count);
    for (const FontTable& table : tables) {
        file += table.tag.leftJustified(4, ' ', true);
        append32(file, checksum(table.bytes));
        append32(file, quint32(start + body.size()));
        append32(file, quint32(table.bytes.size()));
        body += table.bytes;
        body.append((4 - body.size() % 4) % 4, '\0');
    }
    return file + body;
}

QString fontName(const QByteArray& table, quint16 nameId)
{
    constexpr quint16 kWindows = 3, kMacintosh = 1, kUsEnglish = 0x409;
    QString best;
    int bestRank = 0; // 3: Windows US English, 2: Windows, 1: Macintosh Roman
    const qsizetype count = table.size() >= 6 ? read16(table, 2) : 0;
    const qsizetype storage = table.size() >= 6 ? read16(table, 4) : 0;
    for (qsizetype i = 0; i < count && 6 + 12 * (i + 1) <= table.size(); ++i) {
        const qsizetype at = 6 + 12 * i;
        const quint16 platform = read16(table, at);
        const int rank = platform == kWindows ? (read16(table, at + 4) == kUsEnglish ? 3 : 2)
                         : platform == kMacintosh && read16(table, at + 2) == 0 ? 1
                                                                                : 0;
        const qsizetype start = storage + read16(table, at + 10);
        const qsizetype length = read16(table, at + 8);
        if (read16(table, at + 6) != nameId || rank <= bestRank || length == 0 || start + length > table.size())
            continue;
        QString name;
        if (platform == kWindows) {
            for (qsizetype c = start; c + 1 < start + length; c += 2)
                name.append(QChar(read16(table, c)));
        } else {
            name = QString::fromLatin1(table.mid(start, length)); // Mac Roman: names keep to ASCII
        }
        best = name;
        bestRank = rank;
    }
    return best;
}

} // namespace glyfrax
