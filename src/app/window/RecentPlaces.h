#pragma once

#include "export/TexturePlan.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace glyfrax {

// Where the user last put files: the folder last chosen for each kind of file ("bmfont",
// "settings"), so that the next file dialog for that kind opens there, the last BMFont exports and
// the profile the texture view was last set to.
// Kept per user in "Glyfrax/zuletzt.ini" of the user's configuration folder: the settings file's
// keys are fixed, and a portable copy's folder may be shared. A file that cannot be written is no
// loss: the dialogs then open where they did before.
class RecentPlaces
{
public:
    // The folder last used for kind, while it still exists; otherwise fallback.
    static QString folder(QStringView kind, const QString& fallback);
    // Remembers the folder of a file chosen for kind.
    static void remember(QStringView kind, const QString& chosenFile);

    // The pages' names of the last BMFont exports, the newest first, at most kExports.
    static QStringList exports();
    static void rememberExport(const QString& imagePath);

    static constexpr int kExports = 5;

    // The profile the user last chose in the texture view; the classic one before any choice.
    static TextureProfile viewProfile();
    static void rememberViewProfile(TextureProfile profile);
};

} // namespace glyfrax
