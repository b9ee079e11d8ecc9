#include "app/shared/FontChoice.h"

#include "render/FontMeasure.h"
#include "render/FontSource.h"

#include <QFontInfo>

namespace glyfrax {

FontSettings withFont(FontSettings settings, const QFont& font)
{
    settings.bold = font.bold();
    settings.face = font.family();
    settings.size = float(font.pointSizeF());
    settings.italic = font.italic();
    return settings;
}

QString standInNote(const QFont& chosen)
{
    const QFont keptFont = realizeFont(withFont(FontSettings{}, chosen));
    const QFontInfo picked(chosen);
    const QFontInfo kept(keptFont);
    if (picked.family() == kept.family() && picked.styleName() == kept.styleName())
        return {};
    // Named as the fonts name themselves: the system may add a foundry or give the name asked for.
    return QStringLiteral("„%1 %2“ lässt sich nicht speichern: Glyfrax merkt sich nur Schriftart, Größe, fett "
                          "und kursiv. Vorschau, Export und der nächste Start zeigen stattdessen „%3 %4“.")
        .arg(ownFamilyName(QRawFont::fromFont(chosen)), picked.styleName(), ownFamilyName(QRawFont::fromFont(keptFont)),
             kept.styleName());
}

} // namespace glyfrax
