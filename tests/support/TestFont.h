#pragma once

#include "settings/FontSettings.h"

#include <QFontDatabase>
#include <QString>
#include <QTest>

namespace glyfrax::test {

inline QString dejaVuSansPath()
{
    return QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
}

// Loads DejaVu Sans from its file, so results do not depend on what else a machine has.
inline QString loadDejaVuSans()
{
    const int id = QFontDatabase::addApplicationFont(dejaVuSansPath());
    if (id < 0)
        return {};
    return QFontDatabase::applicationFontFamilies(id).value(0);
}

inline FontSettings dejaVu(float size, bool bold = false, bool italic = false)
{
    FontSettings font;
    font.face = QStringLiteral("DejaVu Sans");
    font.size = size;
    font.bold = bold;
    font.italic = italic;
    font.textColor = 0xFFFFFF;
    font.backColor = 0x402010;
    return font;
}

} // namespace glyfrax::test
