#pragma once

#include "settings/FontSettings.h"

#include <QFont>
#include <QString>

namespace glyfrax {

// The settings with the face, size, bold and italic of a font from the font dialog. Nothing
// else of it is kept: a style such as ExtraLight or Condensed gives way to the face that those
// four realize.
FontSettings withFont(FontSettings settings, const QFont& font);

// Empty when the settings keep the chosen font's face; otherwise a German note that names the
// face the preview, the export and the next start show instead.
QString standInNote(const QFont& chosen);

} // namespace glyfrax
