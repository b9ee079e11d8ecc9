#include "settings/SettingsLocation.h"

#include "base/AtomicFile.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace glyfrax {

namespace {

const QString kSettingsName = QStringLiteral("config.ini");

// The data folder relative to the program's, as the install rules lay them out; empty where
// both are one folder.
QString dataFolder(const QString& programFolder)
{
    const QString relative = QStringLiteral(GLYFRAX_DATA_FROM_PROGRAM);
    return relative.isEmpty() ? QString() : QDir::cleanPath(QDir(programFolder).filePath(relative));
}

// Tried rather than read from the permission bits: on Windows those say little about a
// folder under "Program Files".
bool acceptsNewFiles(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("glyfrax-probe-XXXXXX")));
    return probe.open();
}

} // namespace

QString shippedFilePath(const QString& programFolder, const QString& fileName)
{
    for (const QString& folder : {programFolder, dataFolder(programFolder)}) {
        const QString path = folder.isEmpty() ? QString() : QDir(folder).filePath(fileName);
        if (!path.isEmpty() && QFileInfo(path).isFile())
            return path;
    }
    return {};
}

SettingsLocation locateSettings(const QString& programFolder)
{
    SettingsLocation location;
    location.defaultsPath = shippedFilePath(programFolder, kSettingsName);
    const QString data = dataFolder(programFolder);
    location.inUserFolder = (!data.isEmpty() && QFileInfo(data).isDir()) || !acceptsNewFiles(programFolder);
    if (!location.inUserFolder) {
        location.path = settingsPath(programFolder);
        return location;
    }
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    location.path = QDir(userFolder).filePath(QStringLiteral("Glyfrax/") + kSettingsName);
    return location;
}

QString settingsFileToRead(const SettingsLocation& location)
{
    if (location.inUserFolder && !QFileInfo::exists(location.path) && !location.defaultsPath.isEmpty())
        return location.defaultsPath;
    return location.path;
}

Result<void> provideUserSettings(const SettingsLocation& location)
{
    if (!location.inUserFolder || location.defaultsPath.isEmpty() || QFileInfo::exists(location.path))
        return {};
    QFile defaults(location.defaultsPath);
    if (!defaults.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("Die mitgelieferten Einstellungen „%1“ lassen sich nicht lesen.")
                           .arg(QDir::toNativeSeparators(location.defaultsPath)));
    const QByteArray bytes = defaults.readAll();
    if (!QDir().mkpath(QFileInfo(location.path).absolutePath()))
        return failure(QStringLiteral("Der Ordner „%1“ lässt sich nicht anlegen.")
                           .arg(QDir::toNativeSeparators(QFileInfo(location.path).absolutePath())));
    // Written anew rather than copied, so the copy does not inherit a read-only mode.
    return writeFilesAtomically(
        {{location.path, [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); }}});
}

} // namespace glyfrax
