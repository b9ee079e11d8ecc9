#pragma once

#include <QByteArray>
#include <QtEndian>

namespace glyfrax {

// Big-endian reads of a font's table that give 0 outside it, so a damaged font ends a loop
// instead of a read.
class FontTable
{
public:
    explicit FontTable(const QByteArray& bytes) : m_bytes(bytes) {}

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

} // namespace glyfrax
