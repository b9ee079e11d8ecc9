#include "app/window/RecentPlaces.h"

#include "base/FileSafety.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace glyfrax {

namespace {

QString recentFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Glyfrax/zuletzt.ini"));
}

// The file while it is ours: a regular file or none yet. Through a symbolic link QSettings would
// read another file and write its keys into it, or create the file the link names; a folder or a
// device holds nothing to keep. Then nothing is remembered, as when the file cannot be written.
std::unique_ptr<QSettings> recentSettings()
{
    const QString path = recentFile();
    const FileKind kind = fileKind(path);
    if (QFileInfo(path).isSymLink() || (kind != FileKind::Regular && kind != FileKind::Missing))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QVariant recalled(const QString& key)
{
    const std::unique_ptr<QSettings> recent = recentSettings();
    return recent ? recent->value(key) : QVariant();
}

void keep(const QString& key, const QVariant& value)
{
    if (const std::unique_ptr<QSettings> recent = recentSettings())
        recent->setValue(key, value);
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
    const QString folder = recalled(folderKey(kind)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void RecentPlaces::remember(QStringView kind, const QString& chosenFile)
{
    keep(folderKey(kind), QFileInfo(chosenFile).absolutePath());
}

QStringList RecentPlaces::exports()
{
    return recalled(kExportsKey).toStringList().mid(0, kExports);
}

void RecentPlaces::rememberExport(const QString& imagePath)
{
    QStringList paths = exports();
    const QString path = QFileInfo(imagePath).absoluteFilePath();
    paths.removeAll(path);
    paths.prepend(path);
    keep(kExportsKey, paths.mid(0, kExports));
}

TextureProfile RecentPlaces::viewProfile()
{
    return recalled(kProfileKey).toString() == kBmFontProfile ? TextureProfile::BmFont : TextureProfile::Classic;
}

void RecentPlaces::rememberViewProfile(TextureProfile profile)
{
    keep(kProfileKey, profile == TextureProfile::BmFont ? kBmFontProfile : QStringLiteral("Klassisch"));
}

} // namespace glyfrax
