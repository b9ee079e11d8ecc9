#pragma once

#include <QString>

class QApplication;

namespace glyfrax {

// Loads Qt's German translations, so that Qt's own dialogs and buttons speak German too.
void installGermanTranslations(QApplication& app);

// The folder that holds the executable.
QString programFolder();

} // namespace glyfrax
