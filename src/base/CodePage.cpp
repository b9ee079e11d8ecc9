#include "base/CodePage.h"

#include "base/Windows1252.h"

#include <QList>
#include <QStringDecoder>

namespace glyfrax {

CodePage CodePage::windows1252()
{
    CodePage page;
    for (int code = 0; code < 256; ++code)
        page.m_characters[std::size_t(code)] = charFromWindows1252(static_cast<unsigned char>(code)).unicode();
    return page;
}

Result<CodePage> CodePage::windows(int number)
{
    const Failure unknown =
        failure(QStringLiteral("Die Codepage %1 ist unbekannt oder keine Codepage mit einem Byte je Zeichen "
                               "(bekannt sind etwa 874 und 1250 bis 1258).")
                    .arg(number));
    if (number <= 0)
        return unknown;
    // Debian's Qt converts through ICU, which knows every Windows code page by this name.
    QStringDecoder decoder(QByteArray("windows-") + QByteArray::number(number), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return unknown;
    CodePage page;
    page.m_number = number;
    for (int code = 0; code < 256; ++code) {
        const char byte = static_cast<char>(code);
        const QList<uint> decoded = QString(decoder.decode(QByteArrayView(&byte, 1))).toUcs4();
        // A lead byte of a multi-byte code page decodes to nothing on its own.
        if (decoded.size() != 1)
            return unknown;
        page.m_characters[std::size_t(code)] = decoded.first() == QChar::ReplacementCharacter ? 0 : decoded.first();
    }
    return page;
}

QString CodePage::text(unsigned char code) const
{
    const char32_t character = m_characters[code];
    return character == 0 ? QString() : QString::fromUcs4(&character, 1);
}

} // namespace glyfrax
