#pragma once

#include "base/Result.h"

#include <QString>

namespace glyfrax {

// A file shipped with the program: beside it (the build folder, a Windows or portable copy) or
// in the data folder of an installed copy (../share/glyfrax on Linux). Empty when neither holds it.
QString shippedFilePath(const QString& programFolder, const QString& fileName);

struct SettingsLocation
{
    QString path;         // read at start, written when the window closes
    QString defaultsPath; // the settings shipped with the program; empty when there are none
    bool inUserFolder = false;
};

// A copy that may write its own folder keeps config.ini beside the program. An installed copy,
// whose folder cannot be written or whose shipped files lie in a data folder, keeps it in the
// user's configuration folder, under "Glyfrax/config.ini".
SettingsLocation locateSettings(const QString& programFolder);

// The file to read: the settings file, or the shipped defaults while an installed copy has no
// settings of the user's yet.
QString settingsFileToRead(const SettingsLocation& location);

// Starts an installed copy's own settings file from the shipped defaults, unless it has one.
Result<void> provideUserSettings(const SettingsLocation& location);

} // namespace glyfrax
