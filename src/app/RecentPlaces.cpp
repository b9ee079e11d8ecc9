#include "app/RecentPlaces.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace glyfrax {

namespace {

QString recentFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Glyfrax/zuletzt.ini"));
}

QString folderKey(QStringView kind)
{
    return QStringLiteral("Ordner/") + kind.toString();
}

const QString kExportsKey = QStringLiteral("Exporte/BMFont");
const QString kProfileKey = QStringLiteral("Texturansicht/Profil");
const QString kBmFontProfile = QStringLiteral("BMFont");

} // namespace

QString RecentPlaces::folder(QStringView kind, const QString& fallback)
{
    const QString folder = QSettings(recentFile(), QSettings::IniFormat).value(folderKey(kind)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void RecentPlaces::remember(QStringView kind, const QString& chosenFile)
{
    QSettings recent(recentFile(), QSettings::IniFormat);
    recent.setValue(folderKey(kind), QFileInfo(chosenFile).absolutePath());
}

QStringList RecentPlaces::exports()
{
    return QSettings(recentFile(), QSettings::IniFormat).value(kExportsKey).toStringList().mid(0, kExports);
}

void RecentPlaces::rememberExport(const QString& imagePath)
{
    QStringList paths = exports();
    const QString path = QFileInfo(imagePath).absoluteFilePath();
    paths.removeAll(path);
    paths.prepend(path);
    QSettings(recentFile(), QSettings::IniFormat).setValue(kExportsKey, paths.mid(0, kExports));
}

TextureProfile RecentPlaces::viewProfile()
{
    return QSettings(recentFile(), QSettings::IniFormat).value(kProfileKey).toString() == kBmFontProfile
               ? TextureProfile::BmFont
               : TextureProfile::Classic;
}

void RecentPlaces::rememberViewProfile(TextureProfile profile)
{
    QSettings(recentFile(), QSettings::IniFormat)
        .setValue(kProfileKey, profile == TextureProfile::BmFont ? kBmFontProfile : QStringLiteral("Klassisch"));
}

} // namespace glyfrax
