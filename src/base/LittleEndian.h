#pragma once

#include <QByteArray>
#include <QtEndian>

namespace glyfrax {

// Appends value as a little-endian integer of T's width, the byte order of every binary file we write.
template <typename T, typename V> void appendLittleEndian(QByteArray& bytes, V value)
{
    char buffer[sizeof(T)];
    qToLittleEndian<T>(static_cast<T>(value), buffer);
    bytes.append(buffer, sizeof(T));
}

} // namespace glyfrax
