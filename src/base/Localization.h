#pragma once

class QCoreApplication;

namespace glyfrax {

// Makes German the language of the program's own texts and of Qt's: its dialogs, standard
// buttons and command-line help.
void installGermanTranslations(QCoreApplication& app);

} // namespace glyfrax
