#include "base/Windows1252.h"

#include <array>

namespace glyfrax {

namespace {

// Codes 128 to 159; the other codes equal their Unicode code points.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int codeForChar(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
        if (kHighControlRange[i] == ch)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

QChar charFromWindows1252(unsigned char code)
{
    if (code >= 0x80 && code < 0xA0)
        return QChar(kHighControlRange[code - 0x80]);
    return QChar(char16_t(code));
}

QString decodeWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes)
        text.append(charFromWindows1252(static_cast<unsigned char>(byte)));
    return text;
}

QByteArray encodeWindows1252(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        const int code = codeForChar(ch.unicode());
        bytes.append(code < 0 ? '?' : static_cast<char>(code));
        // A character outside the basic plane is one '?', not two.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return bytes;
}

bool fitsWindows1252(const QString& text)
{
    for (QChar ch : text) {
        if (codeForChar(ch.unicode()) < 0)
            return false;
    }
    return true;
}

} // namespace glyfrax
