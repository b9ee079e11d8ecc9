#include "export/bmfont/Characters.h"

#include "base/CharacterName.h"
#include "base/CodePage.h"
#include "base/FileSafety.h"
#include "settings/CharacterRanges.h"

#include <QDir>
#include <QStringDecoder>

namespace glyfrax {

namespace {

Result<std::vector<char32_t>> charactersOfFile(const QString& path)
{
    // A text of every character Unicode has is under 5 MiB in UTF-8.
    const Result<QByteArray> bytes = readRegularFile(path, qint64(16) << 20);
    if (!bytes)
        return failure(bytes.error());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(*bytes);
    if (utf8.hasError())
        return failure(
            QStringLiteral("Die Zeichendatei „%1“ ist kein gültiges UTF-8.").arg(QDir::toNativeSeparators(path)));
    return charactersOfText(text);
}

} // namespace

Result<std::vector<char32_t>> chosenCharacters(const BmFontOptions& options)
{
    std::vector<char32_t> wanted;
    if (!options.chars.isEmpty()) {
        const Result<std::vector<char32_t>> listed = parseCharacterRanges(options.chars);
        if (!listed)
            return failure(listed.error());
        wanted = *listed;
    }
    if (!options.charsFile.isEmpty()) {
        const Result<std::vector<char32_t>> fromFile = charactersOfFile(options.charsFile);
        if (!fromFile)
            return failure(fromFile.error());
        wanted = mergeCharacters(std::move(wanted), *fromFile);
    }
    const bool chosen = !options.chars.isEmpty() || !options.charsFile.isEmpty();
    if (chosen && options.codePage == 0)
        return wanted;
    const Result<CodePage> page = options.codePage == 0 ? CodePage::windows1252() : CodePage::windows(options.codePage);
    if (!page)
        return failure(page.error());
    const CodePage& codePage = *page;
    std::vector<char32_t> ofCodePage;
    for (int code = 32; code <= 255; ++code) {
        // A code the page leaves unassigned stands for a control character (as 0x81 does in
        // Windows-1252), and so does DEL: no font draws them, and no text of a game holds them.
        const char32_t character = codePage.character(static_cast<unsigned char>(code));
        if (character != 0 && QChar::category(character) != QChar::Other_Control)
            ofCodePage.push_back(character);
    }
    return mergeCharacters(std::move(wanted), ofCodePage);
}

QString describeCharacters(const std::vector<char32_t>& characters, bool shown)
{
    // A few characters shown are named too; a long list stays a list of code points.
    constexpr std::size_t kNamedAtMost = 8;
    const bool named = shown && characters.size() <= kNamedAtMost;
    const auto name = [shown, named](char32_t c) {
        QString code = codePointText(c);
        if (const QString unicode = named ? unicodeName(c) : QString(); !unicode.isEmpty())
            code += u' ' + unicode;
        // A character that draws nothing (a control or a space) is its code point alone.
        return shown && QChar::isPrint(c) && !QChar::isSpace(c)
                   ? QStringLiteral("„%1“ %2").arg(QString::fromUcs4(&c, 1), code)
                   : code;
    };
    QStringList ranges;
    for (std::size_t i = 0; i < characters.size();) {
        std::size_t end = i;
        while (end + 1 < characters.size() && characters[end + 1] == characters[end] + 1)
            ++end;
        ranges.append(end == i ? name(characters[i]) : name(characters[i]) + u'–' + name(characters[end]));
        i = end + 1;
    }
    return ranges.join(QStringLiteral(", "));
}

QString describeMissing(const std::vector<char32_t>& missing, bool shown)
{
    return QStringLiteral("Nicht in der Schrift, ausgelassen (%1 Zeichen): %2")
        .arg(missing.size())
        .arg(describeCharacters(missing, shown));
}

} // namespace glyfrax
