#include "settings/ImageGlyph.h"

#include "base/CharacterName.h"
#include "settings/CharacterRanges.h"

#include <QRegularExpression>

namespace glyfrax {

namespace {

std::optional<char32_t> characterOf(const QString& text)
{
    const QList<uint> own = text.toUcs4();
    if (own.size() == 1 && !QChar::isDigit(own[0]) && own[0] != u',')
        return char32_t(own[0]);
    const Result<std::vector<char32_t>> listed = parseCharacterRanges(text);
    if (!listed || listed->size() != 1 || text.contains(u',') || text.contains(u'-'))
        return std::nullopt;
    return listed->front();
}

} // namespace

Result<ImageGlyph> readImageGlyph(const QString& text)
{
    const qsizetype equals = text.indexOf(u'=');
    const std::optional<char32_t> character = equals > 0 ? characterOf(text.left(equals).trimmed()) : std::nullopt;
    if (!character || *character < 32)
        return failure(QStringLiteral("erwartet ZEICHEN=DATEI wie U+E000=icons/play.png, mit @X,Y,VORSCHUB am Ende "
                                      "für Lage und Vorschub"));
    ImageGlyph image{*character, text.mid(equals + 1).trimmed(), {}, {}, {}};
    static const QRegularExpression place(QStringLiteral("@(-?\\d*),(-?\\d*)(?:,(\\d*))?$"));
    if (const QRegularExpressionMatch found = place.match(image.path); found.hasMatch()) {
        const auto number = [&](int part, std::int32_t least) -> Result<std::optional<std::int32_t>> {
            if (found.captured(part).isEmpty())
                return std::optional<std::int32_t>();
            bool ok = false;
            const int value = found.captured(part).toInt(&ok);
            if (!ok || value < least || value > kLargestImagePlace)
                return failure(QStringLiteral("„%1“ ist keine Lage von -%2 bis %2 Pixeln")
                                   .arg(found.captured(part))
                                   .arg(kLargestImagePlace));
            return std::optional<std::int32_t>(value);
        };
        const auto x = number(1, -kLargestImagePlace);
        const auto y = number(2, -kLargestImagePlace);
        const auto advance = number(3, 0);
        for (const auto* part : {&x, &y, &advance}) {
            if (!*part)
                return failure(part->error());
        }
        image.x = *x;
        image.y = *y;
        image.advance = *advance;
        image.path.chop(found.capturedLength(0));
    }
    if (image.path.isEmpty())
        return failure(QStringLiteral("%1 nennt keine Bilddatei").arg(codePointText(image.character)));
    return image;
}

QString imageGlyphText(const ImageGlyph& image)
{
    QString text = codePointText(image.character) + u'=' + image.path;
    if (image.x || image.y || image.advance) {
        const auto part = [](const std::optional<std::int32_t>& v) { return v ? QString::number(*v) : QString(); };
        text += u'@' + part(image.x) + u',' + part(image.y);
        if (image.advance)
            text += u',' + part(image.advance);
    }
    return text;
}

std::optional<char32_t> characterOfImageName(const QString& fileName)
{
    static const QRegularExpression name(QStringLiteral("^(?:U\\+)?([0-9A-F]{2,6})\\.(?:png|jpe?g|bmp|gif|svg)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch found = name.match(fileName);
    if (!found.hasMatch())
        return std::nullopt;
    const uint code = found.captured(1).toUInt(nullptr, 16);
    if (code < 32 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    return char32_t(code);
}

} // namespace glyfrax
