#pragma once

#include "settings/FontSettings.h"

#include <QFontDatabase>

namespace glyfrax::test {

inline QString dejaVuSansPath()
{
    return QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
}

// Loads DejaVu Sans from its file, so results do not depend on what else a machine has.
inline QString loadDejaVuSans()
{
    return QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(dejaVuSansPath())).value(0);
}

// White on 0x402010 (red 0x10, green 0x20, blue 0x40).
inline FontSettings dejaVu(float size, bool bold = false, bool italic = false)
{
    return {QStringLiteral("DejaVu Sans"), size, bold, italic, 0xFFFFFF, 0x402010};
}

} // namespace glyfrax::test
