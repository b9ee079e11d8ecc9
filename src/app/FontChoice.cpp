#include "app/FontChoice.h"

#include "render/FontMeasure.h"

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
    const QFontInfo picked(chosen);
    const QFontInfo kept(realizeFont(withFont(FontSettings{}, chosen)));
    if (picked.family() == kept.family() && picked.styleName() == kept.styleName())
        return {};
    return QStringLiteral("„%1 %2“ lässt sich nicht speichern: Glyfrax merkt sich nur Schriftart, Größe, fett "
                          "und kursiv. Vorschau, Export und der nächste Start zeigen stattdessen „%3 %4“.")
        .arg(picked.family(), picked.styleName(), kept.family(), kept.styleName());
}

} // namespace glyfrax
