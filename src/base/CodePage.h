#pragma once

#include "base/Result.h"

#include <QString>

#include <array>

namespace glyfrax {

// The characters that the 256 codes of a single-byte Windows code page stand for.
class CodePage
{
public:
    // Western European, from our own table: the code page of the classic pair when none is chosen,
    // so that its files stay exactly as they always were.
    static CodePage windows1252();
    // Windows code page number (1250, 1251, ...) through Qt's text converters. Fails for a number
    // they do not know and for code pages that need more than one byte for a character.
    static Result<CodePage> windows(int number);

    int number() const { return m_number; }
    // The character of a code; 0 where the code page assigns none.
    char32_t character(unsigned char code) const { return m_characters[code]; }
    // The same as text; empty where the code page assigns none.
    QString text(unsigned char code) const;

private:
    int m_number = 1252;
    std::array<char32_t, 256> m_characters{};
};

} // namespace glyfrax
