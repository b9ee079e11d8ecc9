#include "SettingsStore.h"

#include "Conversions.h"
#include "ProfileFile.h"

#include <QDir>

#include <limits>

namespace glyfrax {

namespace {

const QString kFontSection = QStringLiteral("Font");
const QString kExportSection = QStringLiteral("Export Option");

QString flagText(bool flag)
{
    return flag ? QStringLiteral("255") : QStringLiteral("0");
}

QString reasonFor(ConversionError error, const QString& mismatch)
{
    return error == ConversionError::Overflow ? QStringLiteral("Zahl zu groß") : mismatch;
}

// Reads the keys in their fixed order and collects what does not convert.
class SettingsReader
{
public:
    explicit SettingsReader(const ProfileFile& profile) : m_profile(profile) {}

    QString text(const QString& section, const QString& key) const { return m_profile.value(section, key); }

    // A number from min to max; anything else is rejected and reads as 0.
    template <typename T>
    T number(const QString& section, const QString& key, Converted<T> (*convert)(const QString&), T min, T max,
             const QString& range)
    {
        const QString raw = text(section, key);
        const Converted<T> value = convert(raw);
        if (!value.ok())
            return reject(section, key, raw, reasonFor(value.error, QStringLiteral("keine Zahl")), T{});
        if (value.value < min || value.value > max)
            return reject(section, key, raw, range, T{});
        return value.value;
    }

    float size(const QString& section, const QString& key)
    {
        return number(section, key, toSingle, 0.0F, kMaxFontSize, QStringLiteral("außerhalb von 0 bis 1638 Punkt"));
    }

    std::int32_t color(const QString& section, const QString& key)
    {
        return number(section, key, toInt32, std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max(), QString());
    }

    std::int32_t gap(const QString& section, const QString& key)
    {
        return number(section, key, toInt32, 0, kMaxGap, QStringLiteral("außerhalb von 0 bis 32767"));
    }

    bool flag(const QString& section, const QString& key)
    {
        const QString raw = text(section, key);
        const Converted<bool> value = toFlag(raw);
        if (!value.ok())
            return reject(section, key, raw, reasonFor(value.error, QStringLiteral("weder Zahl noch true/false")),
                          false);
        return value.value;
    }

    QString label(const QString& section, const QString& key) const
    {
        QString value = text(section, key);
        // Blanks only: a tab is part of the label.
        while (value.startsWith(u' '))
            value.remove(0, 1);
        while (value.endsWith(u' '))
            value.chop(1);
        return value;
    }

    QList<SettingProblem> problems() const { return m_problems; }

private:
    // Records the problem and gives the value that a missing key converts to.
    template <typename T>
    T reject(const QString& section, const QString& key, const QString& raw, const QString& reason, T missingValue)
    {
        m_problems.append({section, key, raw, reason});
        return missingValue;
    }

    const ProfileFile& m_profile;
    QList<SettingProblem> m_problems;
};

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
    font.size = in.size(kFontSection, QStringLiteral("Size"));
    font.bold = in.flag(kFontSection, QStringLiteral("Bold"));
    font.italic = in.flag(kFontSection, QStringLiteral("Italic"));
    font.textColor = in.color(kFontSection, QStringLiteral("Color"));
    font.backColor = in.color(kFontSection, QStringLiteral("BackColor"));

    ExportOptions& o = s.options;
    o.WriteBinary = in.flag(kExportSection, QStringLiteral("WriteBinary"));
    o.TakeLong = in.flag(kExportSection, QStringLiteral("TakeLong"));
    o.CharTxt = in.label(kExportSection, QStringLiteral("CharTxt"));
    o.XTxt = in.label(kExportSection, QStringLiteral("XTxt"));
    o.YTxt = in.label(kExportSection, QStringLiteral("YTxt"));
    o.WTxt = in.label(kExportSection, QStringLiteral("WTxt"));
    o.HTxt = in.label(kExportSection, QStringLiteral("HTxt"));
    o.XDist = in.gap(kExportSection, QStringLiteral("XDist"));
    o.YDist = in.gap(kExportSection, QStringLiteral("YDist"));
    return {s, in.problems()};
}

LoadedSettings readSettingsFile(const QString& path)
{
    return readSettings(ProfileFile::load(path));
}

void writeSettings(ProfileFile& profile, const Settings& s)
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

    const ExportOptions& o = s.options;
    put(kExportSection, u"WriteBinary", flagText(o.WriteBinary));
    put(kExportSection, u"TakeLong", flagText(o.TakeLong));
    put(kExportSection, u"CharTxt", o.CharTxt);
    put(kExportSection, u"XTxt", o.XTxt);
    put(kExportSection, u"YTxt", o.YTxt);
    put(kExportSection, u"WTxt", o.WTxt);
    put(kExportSection, u"HTxt", o.HTxt);
    put(kExportSection, u"XDist", QString::number(o.XDist));
    put(kExportSection, u"YDist", QString::number(o.YDist));
}

bool writeSettingsFile(const QString& path, const Settings& settings)
{
    ProfileFile profile = ProfileFile::load(path);
    writeSettings(profile, settings);
    return profile.save(path);
}

QString describeSettingProblems(const QString& path, const QList<SettingProblem>& problems)
{
    QString message = QStringLiteral("Einige Einstellungen in „%1“ sind ungültig. Glyfrax verwendet für sie den "
                                     "Wert, den ein fehlender Eintrag ergibt:\n")
                          .arg(QDir::toNativeSeparators(path));
    for (const SettingProblem& problem : problems) {
        message +=
            QStringLiteral("\n[%1] %2 = „%3“: %4").arg(problem.section, problem.key, problem.text, problem.reason);
    }
    return message;
}

} // namespace glyfrax
