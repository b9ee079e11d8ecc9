#include "base/CharacterName.h"

#include <array>
#include <unicode/uchar.h>

namespace glyfrax {

QString unicodeName(char32_t c)
{
    // The longest name in Unicode has 88 characters.
    std::array<char, 128> name{};
    UErrorCode error = U_ZERO_ERROR;
    const int32_t length = u_charName(UChar32(c), U_UNICODE_CHAR_NAME, name.data(), int32_t(name.size()), &error);
    return U_FAILURE(error) || length <= 0 ? QString() : QString::fromLatin1(name.data(), length);
}

QString codePointText(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper();
}

} // namespace glyfrax
