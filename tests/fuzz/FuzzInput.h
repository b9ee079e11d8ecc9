#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace glyfrax::fuzz {

// Cuts a fuzzer's bytes into pieces: take() gives the bytes up to the next NUL byte.
class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_bytes(reinterpret_cast<const char*>(data), qsizetype(size))
    {
    }

    QByteArray take()
    {
        const qsizetype end = m_bytes.indexOf('\0', m_position);
        const qsizetype stop = end < 0 ? m_bytes.size() : end;
        const QByteArray piece = m_bytes.mid(m_position, stop - m_position);
        m_position = end < 0 ? m_bytes.size() : end + 1;
        return piece;
    }
    QByteArray rest() const { return m_bytes.mid(m_position); }

private:
    QByteArray m_bytes;
    qsizetype m_position = 0;
};

// A broken property is a finding: say which and stop, so the fuzzer keeps the input.
#define FUZZ_REQUIRE(condition)                                                                                        \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                     \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

} // namespace glyfrax::fuzz
