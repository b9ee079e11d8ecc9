#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <vector>

namespace glyfrax {

// Big-endian reads that give 0 outside the table, so a damaged font ends a loop instead of a read.
class FontTableReader
{
public:
    explicit FontTableReader(const QByteArray& bytes) : m_bytes(bytes) {}

    bool has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }
    quint8 u8(qint64 at) const { return has(at, 1) ? quint8(m_bytes[at]) : 0; }
    quint16 u16(qint64 at) const { return has(at, 2) ? qFromBigEndian<quint16>(m_bytes.constData() + at) : 0; }
    qint16 s16(qint64 at) const { return qint16(u16(at)); }
    quint32 u32(qint64 at) const { return has(at, 4) ? qFromBigEndian<quint32>(m_bytes.constData() + at) : 0; }
    qint64 size() const { return m_bytes.size(); }

private:
    const QByteArray& m_bytes;
};

// One table of a TrueType or OpenType font file: its tag ("glyf") and its bytes.
struct FontTable
{
    QByteArray tag;
    QByteArray bytes;
};

// The tables a single font's directory lists, in its order; a table that does not lie within the
// file is left out, and a file that is no single font has none.
std::vector<FontTable> fontTables(const QByteArray& font);
// The bytes of the table with this tag; empty when the font has none.
QByteArray fontTable(const QByteArray& font, const char* tag);
// A font file of these tables: a TrueType font when it has glyf, else an OpenType one.
QByteArray fontFileOf(std::vector<FontTable> tables);

// The text of a name table's record with this ID: Windows US English first, then any Windows
// language, then Macintosh Roman. Empty when the table has none or lies about it.
QString fontName(const QByteArray& nameTable, quint16 nameId);

} // namespace glyfrax
