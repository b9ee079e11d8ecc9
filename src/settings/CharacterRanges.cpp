#include "settings/CharacterRanges.h"

#include "base/ShownName.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace glyfrax {

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

bool isSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

std::optional<char32_t> codePointFrom(QString text)
{
    text = text.trimmed();
    int base = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive) || text.startsWith(u"U+", Qt::CaseInsensitive)) {
        text = text.mid(2);
        base = 16;
    }
    // toUInt would also take a sign or blanks inside; only digits make a code point.
    const auto isDigit = [base](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'0' && u <= u'9') || (base == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')));
    };
    if (text.isEmpty() || !std::all_of(text.cbegin(), text.cend(), isDigit))
        return std::nullopt;
    bool ok = false;
    const uint value = text.toUInt(&ok, base);
    if (!ok || value > kLastCodePoint)
        return std::nullopt;
    return char32_t(value);
}

void sortUnique(std::vector<char32_t>& list)
{
    // Ranges written in order, the usual case, need no sorting; a whole font's range is a million.
    if (!std::is_sorted(list.begin(), list.end()))
        std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

} // namespace

Result<std::vector<char32_t>> parseCharacterRanges(const QString& text)
{
    std::vector<std::pair<char32_t, char32_t>> ranges;
    const QStringList items = text.split(u',');
    for (const QString& item : items) {
        // The dash of a range is the first one after a digit, so "0x20-0x7E" splits between the two.
        const qsizetype dash = item.indexOf(u'-', 1);
        const std::optional<char32_t> first = codePointFrom(dash < 0 ? item : item.left(dash));
        const std::optional<char32_t> last = dash < 0 ? first : codePointFrom(item.mid(dash + 1));
        if (!first || !last || *last < *first)
            return failure(QStringLiteral("„%1“ ist kein Zeichen und kein Bereich (erwartet etwa 65, 0x41, U+0041 "
                                          "oder 32-126, Werte bis 0x10FFFF).")
                               .arg(shownName(item.trimmed())));
        ranges.emplace_back(*first, *last);
    }
    // Ranges are merged before they are expanded: a list may name all of Unicode a thousand times.
    std::sort(ranges.begin(), ranges.end());
    std::vector<char32_t> list;
    char32_t next = 0; // the first code point not listed yet
    for (const auto& [first, last] : ranges) {
        for (char32_t c = std::max(first, next); c <= last; ++c) {
            if (!isSurrogate(c))
                list.push_back(c);
        }
        next = std::max<char32_t>(next, last + 1);
    }
    return list;
}

std::vector<char32_t> charactersOfText(const QString& text)
{
    std::vector<char32_t> list;
    for (const char32_t c : text.toUcs4()) {
        if (c >= 0x20 && c != 0xFEFF)
            list.push_back(c);
    }
    sortUnique(list);
    return list;
}

std::vector<char32_t> mergeCharacters(std::vector<char32_t> first, const std::vector<char32_t>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    sortUnique(first);
    return first;
}

QString formatCharacterRanges(const std::vector<char32_t>& sorted)
{
    const auto number = [](char32_t c) {
        return c <= 0xFF ? QString::number(uint(c)) : QStringLiteral("0x") + QString::number(uint(c), 16).toUpper();
    };
    QStringList items;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t end = i;
        while (end + 1 < sorted.size() &&
               (sorted[end + 1] == sorted[end] + 1 || (sorted[end] == 0xD7FF && sorted[end + 1] == 0xE000)))
            ++end;
        items.append(end == i ? number(sorted[i]) : number(sorted[i]) + u'-' + number(sorted[end]));
        i = end + 1;
    }
    return items.join(u',');
}

} // namespace glyfrax
