#include "settings/SettingsStore.h"

#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "settings/Conversions.h"
#include "settings/ProfileFile.h"
#include "settings/SettingLimits.h"

#include <QDir>

#include <algorithm>
#include <optional>

namespace glyfrax {

namespace {

const QString kFontSection = QStringLiteral("Font");
const QString kExportSection = QStringLiteral("Export Option");
const QString kBmFontSection = QStringLiteral("BMFont");

// Reads the keys in their fixed order and collects what does not convert.
class SettingsReader
{
public:
    explicit SettingsReader(const ProfileFile& profile) : m_profile(profile) {}

    // The face and the numbers lose surrounding tabs and line-end characters as well.
    QString text(const QString& section, const QString& key) const { return m_profile.value(section, key).trimmed(); }

    // A value through its converter; one that does not convert is recorded and reads as the
    // value a missing key gives.
    template <typename T> T read(const QString& section, const QString& key, Result<T> (*convert)(const QString&))
    {
        const QString raw = text(section, key);
        Result<T> value = convert(raw);
        if (!value) {
            m_problems.append({section, key, raw, value.error()});
            return T{};
        }
        return *value;
    }

    // A label as the file holds it, without surrounding spaces: a tab is part of the label.
    QString label(const QString& section, const QString& key) const { return m_profile.value(section, key); }

    QList<SettingProblem> problems() const { return m_problems; }

private:
    const ProfileFile& m_profile;
    QList<SettingProblem> m_problems;
};

// The value of a key among a section's, matched as the profile matches names.
std::optional<QString> heldValue(const QList<std::pair<QString, QString>>& held, const QString& key)
{
    for (const auto& [name, value] : held) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

} // namespace

QString settingsPath(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("config.ini"));
}

LoadedSettings readSettings(const ProfileFile& profile)
{
    SettingsReader in(profile);
    Settings s;
    FontSettings& font = s.font;
    font.face = in.text(kFontSection, QStringLiteral("Name"));
    font.size = in.read(kFontSection, QStringLiteral("Size"), fontSizeFromText);
    font.bold = in.read(kFontSection, QStringLiteral("Bold"), toFlag);
    font.italic = in.read(kFontSection, QStringLiteral("Italic"), toFlag);
    font.textColor = in.read(kFontSection, QStringLiteral("Color"), toInt32);
    font.backColor = in.read(kFontSection, QStringLiteral("BackColor"), toInt32);

    ClassicOptions& o = s.options;
    o.writeBinary = in.read(kExportSection, QStringLiteral("WriteBinary"), toFlag);
    o.takeLong = in.read(kExportSection, QStringLiteral("TakeLong"), toFlag);
    o.charTxt = in.label(kExportSection, QStringLiteral("CharTxt"));
    o.xTxt = in.label(kExportSection, QStringLiteral("XTxt"));
    o.yTxt = in.label(kExportSection, QStringLiteral("YTxt"));
    o.wTxt = in.label(kExportSection, QStringLiteral("WTxt"));
    o.hTxt = in.label(kExportSection, QStringLiteral("HTxt"));
    o.xDist = in.read(kExportSection, QStringLiteral("XDist"), gapFromText);
    o.yDist = in.read(kExportSection, QStringLiteral("YDist"), gapFromText);

    QList<SettingProblem> problems = in.problems();
    const QList<std::pair<QString, QString>> held = profile.sectionValues(kBmFontSection);
    for (const BmFontOption& option : bmFontOptionTable()) {
        // A missing key keeps the option's default; "0" would not do for most of them.
        const std::optional<QString> text = heldValue(held, option.key);
        if (!text)
            continue;
        if (const Result<void> read = option.read(s.bmfont, *text); !read)
            problems.append({kBmFontSection, option.key, *text, read.error()});
    }
    return {s, problems, {}, false};
}

LoadedSettings readSettingsFile(const QString& path)
{
    const ProfileFile profile = ProfileFile::load(path);
    LoadedSettings loaded = readSettings(profile);
    loaded.fileProblem = profile.loadProblem();
    // The keys as they are written are the ones that are read.
    ProfileFile known;
    writeSettings(known, Settings{}, BmFontKeys::All);
    const QList<std::pair<QString, QString>> knownKeys = known.keyNames();
    const QList<std::pair<QString, QString>> keys = profile.keyNames();
    loaded.nothingReadable =
        !profile.toBytes().trimmed().isEmpty() && std::none_of(keys.begin(), keys.end(), [&](const auto& key) {
            return std::any_of(knownKeys.begin(), knownKeys.end(), [&key](const auto& knownKey) {
                return key.first.compare(knownKey.first, Qt::CaseInsensitive) == 0 &&
                       key.second.compare(knownKey.second, Qt::CaseInsensitive) == 0;
            });
        });
    return loaded;
}

void writeSettings(ProfileFile& profile, const Settings& s, BmFontKeys keys)
{
    auto put = [&profile](const QString& section, const char16_t* key, const QString& value) {
        profile.setValue(section, QString::fromUtf16(key), value);
    };
    const FontSettings& font = s.font;
    put(kFontSection, u"Name", font.face);
    put(kFontSection, u"Size", QString::number(roundToInt16(font.size)));
    put(kFontSection, u"Bold", flagText(font.bold));
    put(kFontSection, u"Italic", flagText(font.italic));
    put(kFontSection, u"Color", QString::number(font.textColor));
    put(kFontSection, u"BackColor", QString::number(font.backColor));

    const ClassicOptions& o = s.options;
    put(kExportSection, u"WriteBinary", flagText(o.writeBinary));
    put(kExportSection, u"TakeLong", flagText(o.takeLong));
    put(kExportSection, u"CharTxt", o.charTxt);
    put(kExportSection, u"XTxt", o.xTxt);
    put(kExportSection, u"YTxt", o.yTxt);
    put(kExportSection, u"WTxt", o.wTxt);
    put(kExportSection, u"HTxt", o.hTxt);
    put(kExportSection, u"XDist", QString::number(o.xDist));
    put(kExportSection, u"YDist", QString::number(o.yDist));

    const QList<std::pair<QString, QString>> held = profile.sectionValues(kBmFontSection);
    for (const BmFontOption& option : bmFontOptionTable()) {
        // What the profile holds now: its value, or the default when the key is missing or unusable.
        BmFontOptions now;
        if (const std::optional<QString> text = heldValue(held, option.key))
            static_cast<void>(option.read(now, *text));
        const QString value = option.write(s.bmfont);
        if (keys == BmFontKeys::All || value != option.write(now))
            profile.setValue(kBmFontSection, option.key, value);
    }
}

Result<void> writeSettingsFile(const QString& path, const Settings& settings, BmFontKeys keys)
{
    ProfileFile profile = ProfileFile::load(path);
    writeSettings(profile, settings, keys);
    return profile.save(path);
}

QString describeSettingProblems(const QString& path, const QList<SettingProblem>& problems)
{
    QString message = QStringLiteral("Einige Einstellungen in „%1“ sind ungültig. Glyfrax verwendet für sie den "
                                     "Wert, den ein fehlender Eintrag ergibt:\n")
                          .arg(shownPath(path));
    for (const SettingProblem& problem : problems) {
        message +=
            QStringLiteral("\n[%1] %2 = „%3“: %4")
                .arg(shownText(problem.section), shownText(problem.key), shownName(problem.text), problem.reason);
    }
    return message;
}

QString describeLoadedSettings(const QString& path, const LoadedSettings& loaded)
{
    if (!loaded.fileProblem.isEmpty())
        return loaded.fileProblem;
    if (loaded.nothingReadable)
        return QStringLiteral("„%1“ enthält keine Einstellung, die Glyfrax lesen kann: Erwartet wird Text mit Zeilen "
                              "wie „Size=12“ unter „[Font]“, in UTF-8 oder Windows-1252 (UTF-16 nur mit "
                              "Byte-Order-Mark) und mit CR LF oder LF am Zeilenende. Nichts aus der Datei wird "
                              "verwendet.")
            .arg(shownPath(path));
    return loaded.problems.isEmpty() ? QString() : describeSettingProblems(path, loaded.problems);
}

} // namespace glyfrax
