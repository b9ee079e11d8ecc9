#pragma once

#include "base/Result.h"
#include "settings/Settings.h"

#include <QList>
#include <QString>

namespace glyfrax {

class ProfileFile;

// A key whose text did not give a usable value; the setting took its missing-key value.
struct SettingProblem
{
    QString section;
    QString key;
    QString text;
    QString reason; // German, e.g. "keine Zahl"

    bool operator==(const SettingProblem&) const = default;
};

struct LoadedSettings
{
    Settings settings;
    QList<SettingProblem> problems;
    QString fileProblem;          // why an existing file could not be read at all; empty when it was
    bool nothingReadable = false; // the file has content, but none of the keys (say UTF-16 without BOM)
};

// The settings file in the program's folder.
QString settingsPath(const QString& programFolder);

// Reads the fifteen settings and the BMFont options. A key that does not convert, overflows or
// lies outside its range takes the value a missing key gives and is listed in problems; the
// others read normally.
LoadedSettings readSettings(const ProfileFile& profile);
LoadedSettings readSettingsFile(const QString& path);

// Which BMFont options are written: only those whose value the profile does not hold already,
// so that an untouched [BMFont] section keeps its bytes, or every one, for a complete file.
enum class BmFontKeys
{
    Changed,
    All
};

// Writes the fifteen settings and the BMFont options into the profile, each key's line alone.
void writeSettings(ProfileFile& profile, const Settings& settings, BmFontKeys keys = BmFontKeys::Changed);

// Writes the settings into the file at path, keeping its other lines; a file that cannot be
// written stays as it was.
Result<void> writeSettingsFile(const QString& path, const Settings& settings, BmFontKeys keys = BmFontKeys::Changed);

// One German message that lists every problem, for the user. Values are shown whole, their
// control characters as visible symbols.
QString describeSettingProblems(const QString& path, const QList<SettingProblem>& problems);
// All that went wrong reading the file: why it could not be read, that it held no settings, or
// the problems of single keys. Empty when nothing did. What follows for the program (defaults, or
// nothing done) is the caller's to add.
QString describeLoadedSettings(const QString& path, const LoadedSettings& loaded);

} // namespace glyfrax
