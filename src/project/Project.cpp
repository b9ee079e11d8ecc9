#include "project/Project.h"

#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "render/FontSource.h"
#include "settings/ColorValue.h"
#include "settings/Conversions.h"
#include "settings/PageImage.h"
#include "settings/SettingLimits.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace glyfrax {

namespace {

// Far more than a project of hundreds of sets holds; a larger file is refused unread.
constexpr qint64 kMaxProjectSize = qint64(4) << 20;

const QString kDefaults = QStringLiteral("defaults");

// The keys of the project beside the BMFont options: the font, and where the set goes.
struct ProjectKey
{
    const char16_t* key;
    std::function<Result<void>(ProjectSet& set, const QString& text)> read;
};

Result<void> readFlag(bool& flag, const QString& text)
{
    const Result<bool> value = toFlag(text);
    if (!value)
        return failure(value.error());
    flag = *value;
    return {};
}

Result<void> readColor(std::int32_t& color, const QString& text)
{
    const std::optional<std::int32_t> value = colorValueFromText(text);
    if (!value)
        return failure(QStringLiteral("erwartet eine Zahl, #RGB oder #RRGGBB"));
    color = *value;
    return {};
}

const std::vector<ProjectKey>& projectKeys()
{
    static const std::vector<ProjectKey> keys = {
        {u"Output",
         [](ProjectSet& set, const QString& text) -> Result<void> {
             if (text.isEmpty())
                 return failure(QStringLiteral("erwartet den Pfad der Seiten oder der Beschreibung"));
             set.imagePath = text;
             return {};
         }},
        {u"Font",
         [](ProjectSet& set, const QString& text) -> Result<void> {
             set.settings.font.face = text;
             return {};
         }},
        {u"FontFile",
         [](ProjectSet& set, const QString& text) -> Result<void> {
             set.fontFile = text;
             return {};
         }},
        {u"Size",
         [](ProjectSet& set, const QString& text) -> Result<void> {
             const Result<float> size = fontSizeFromText(text);
             if (!size)
                 return failure(size.error());
             set.settings.font.size = *size;
             return {};
         }},
        {u"Bold", [](ProjectSet& set, const QString& text) { return readFlag(set.settings.font.bold, text); }},
        {u"Italic", [](ProjectSet& set, const QString& text) { return readFlag(set.settings.font.italic, text); }},
        {u"Color", [](ProjectSet& set, const QString& text) { return readColor(set.settings.font.textColor, text); }},
        {u"BackColor",
         [](ProjectSet& set, const QString& text) { return readColor(set.settings.font.backColor, text); }},
        {u"Scales",
         [](ProjectSet& set, const QString& text) -> Result<void> {
             Result<std::vector<double>> scales = scalesFromText(text);
             if (!scales)
                 return failure(scales.error());
             set.scales = std::move(*scales);
             return {};
         }},
    };
    return keys;
}

// Keys that give one thing in several ways: a set that names one of a group drops the defaults' keys
// of that group, so that its Size is not outweighed by the defaults' Pixels, nor its Font refused
// beside the defaults' FontFile.
int groupOf(const QString& key)
{
    if (key == u"Size" || key == u"Pixels" || key == u"LineHeight" || key == u"CapHeight")
        return 1;
    if (key == u"Font" || key == u"FontFile")
        return 2;
    return 0;
}

// A key as the project spells it canonically, found without regard to letter case; empty when
// neither the project nor the BMFont options know it.
QString knownKey(const QString& key)
{
    for (const ProjectKey& entry : projectKeys()) {
        if (key.compare(QStringView(entry.key), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(entry.key);
    }
    for (const BmFontOption& option : bmFontOptionTable()) {
        if (key.compare(option.key, Qt::CaseInsensitive) == 0)
            return option.key;
    }
    return {};
}

struct Entry
{
    QString key; // canonical
    QString value;
    int line = 0;
};

struct Section
{
    QString name;
    int line = 0;
    std::vector<Entry> entries;
    QString problem;
};

// "fonts.ini, Zeile 7: " and the sentence.
QString at(const QString& file, int line, const QString& sentence)
{
    return QStringLiteral("%1, Zeile %2: %3").arg(shownName(file)).arg(line).arg(sentence);
}

// A path of the project file, resolved against its folder.
QString resolved(const QDir& folder, const QString& path)
{
    return path.isEmpty() ? path : QDir::cleanPath(folder.absoluteFilePath(path));
}

// A fallback as a font list names it: a file's path (with its "#N" kept) resolved, a family as it is.
QString resolvedFont(const QDir& folder, const QString& font)
{
    if (!namesFontFile(font))
        return font;
    const qsizetype hash = font.lastIndexOf(u'#');
    bool numbered = false;
    if (hash > 0)
        static_cast<void>(font.mid(hash + 1).toUInt(&numbered));
    return numbered ? resolved(folder, font.left(hash)) + font.mid(hash) : resolved(folder, font);
}

// Whether path lies in the folder or below it, also once links on the way are followed: a project
// writes only there, so that a project file from elsewhere (an unpacked archive, a cloned
// repository) cannot make a build write anywhere else.
bool liesBelow(const QDir& folder, const QString& path)
{
    QFileInfo existing(QFileInfo(path).absolutePath());
    while (!existing.exists() && existing.absolutePath() != existing.absoluteFilePath())
        existing = QFileInfo(existing.absolutePath());
    const QString root = folder.canonicalPath();
    const QString reached = existing.canonicalFilePath();
    return reached == root || reached.startsWith(root + u'/');
}

// The set a section makes, its entries after those of the defaults.
ProjectSet setOf(const QString& file, const QDir& folder, const Section& defaults, const Section& section)
{
    ProjectSet set;
    set.name = section.name;
    set.line = section.line;
    set.problem = section.problem.isEmpty() ? defaults.problem : section.problem;
    auto ownGroup = [&section](int group) {
        return std::any_of(section.entries.begin(), section.entries.end(),
                           [group](const Entry& e) { return groupOf(e.key) == group; });
    };
    std::vector<Entry> entries;
    for (const Entry& entry : defaults.entries) {
        if (groupOf(entry.key) == 0 || !ownGroup(groupOf(entry.key)))
            entries.push_back(entry);
    }
    entries.insert(entries.end(), section.entries.begin(), section.entries.end());

    for (const Entry& entry : entries) {
        Result<void> read;
        const auto own = std::find_if(projectKeys().begin(), projectKeys().end(),
                                      [&entry](const ProjectKey& k) { return entry.key == QStringView(k.key); });
        if (own != projectKeys().end())
            read = own->read(set, entry.value);
        else
            read = bmFontOption(entry.key).read(set.settings.bmfont, entry.value);
        if (!read && set.problem.isEmpty())
            set.problem = at(file, entry.line,
                             QStringLiteral("%1 = „%2“ in [%3]: %4.")
                                 .arg(entry.key, shownText(entry.value), set.name, read.error()));
    }
    if (set.problem.isEmpty() && set.imagePath.isEmpty())
        set.problem =
            at(file, section.line, QStringLiteral("[%1] nennt keine Ausgabe: Geben Sie Output=PFAD an.").arg(set.name));
    if (set.problem.isEmpty() && !set.fontFile.isEmpty() && !set.settings.font.face.isEmpty())
        set.problem = at(file, section.line,
                         QStringLiteral("[%1] nennt Font und FontFile; geben Sie nur eines an.").arg(set.name));

    // Output may name the descriptor or no file kind at all: the pages then take the format the
    // options choose.
    if (!pageExtensions().contains(extensionOf(set.imagePath), Qt::CaseInsensitive))
        set.imagePath =
            withExtension(set.imagePath, QString::fromUtf16(pageImageFacts(set.settings.bmfont.image).extension));
    set.imagePath = resolved(folder, set.imagePath);
    if (set.problem.isEmpty() && !liesBelow(folder, set.imagePath))
        set.problem = at(file, section.line,
                         QStringLiteral("Die Ausgabe von [%1] liegt außerhalb des Ordners der Projektdatei: „%2“. Ein "
                                        "Projekt schreibt nur in seinen Ordner und darunter.")
                             .arg(set.name, shownPath(set.imagePath)));
    set.fontFile = resolved(folder, set.fontFile);
    BmFontOptions& options = set.settings.bmfont;
    options.charsFile = resolved(folder, options.charsFile);
    options.imageFolder = resolved(folder, options.imageFolder);
    for (ImageGlyph& image : options.images)
        image.path = resolved(folder, image.path);
    for (QString& fallback : options.fallbacks)
        fallback = resolvedFont(folder, fallback);
    return set;
}

} // namespace

Result<std::vector<double>> scalesFromText(const QString& text)
{
    std::vector<double> scales;
    for (const QString& part : text.split(u',')) {
        bool number = false;
        const double scale = part.trimmed().toDouble(&number);
        if (!number || !(scale > 0.0) || scale > kLargestScale)
            return failure(
                QStringLiteral("erwartet Maßstäbe über 0 bis %1, durch Kommas getrennt, etwa 1,2").arg(kLargestScale));
        if (std::find(scales.begin(), scales.end(), scale) != scales.end())
            return failure(QStringLiteral("der Maßstab %1 steht zweimal da").arg(part.trimmed()));
        scales.push_back(scale);
    }
    return scales;
}

QString scaleSuffix(double scale)
{
    return scale == 1.0 ? QString() : QStringLiteral("@%1x").arg(QString::number(scale, 'g', 12));
}

Result<Project> readProject(const QString& path)
{
    const Result<QByteArray> bytes = readRegularFile(path, kMaxProjectSize);
    if (!bytes)
        return failure(bytes.error());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(*bytes);
    const QString file = QFileInfo(path).fileName();
    if (decoder.hasError())
        return failure(QStringLiteral("Die Projektdatei „%1“ ist kein UTF-8-Text.").arg(shownPath(path)));

    std::optional<Section> defaults;
    std::vector<Section> sections;
    QHash<QString, int> sectionLines; // each set's name, case folded: its header's line
    Section* current = nullptr;
    const QStringList lines = text.split(u'\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int number = int(index + 1);
        const QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString name = line.mid(1, line.size() - 2).trimmed();
            Section section{name, number, {}, {}};
            if (name.isEmpty())
                return failure(at(file, number, QStringLiteral("Ein Abschnitt ohne Namen.")));
            if (name.compare(kDefaults, Qt::CaseInsensitive) == 0) {
                if (defaults)
                    return failure(
                        at(file, number, QStringLiteral("[defaults] steht schon in Zeile %1.").arg(defaults->line)));
                defaults = section;
                current = &*defaults;
                continue;
            }
            if (const auto same = sectionLines.constFind(name.toCaseFolded()); same != sectionLines.cend())
                section.problem =
                    at(file, number, QStringLiteral("Den Satz [%1] gibt es schon in Zeile %2.").arg(name).arg(*same));
            else
                sectionLines.insert(name.toCaseFolded(), number);
            sections.push_back(section);
            current = &sections.back();
            continue;
        }
        if (!current)
            return failure(at(file, number,
                              QStringLiteral("Vor dem ersten Abschnitt ([defaults] oder [Name des Satzes]) steht "
                                             "„%1“.")
                                  .arg(shownText(line))));
        const qsizetype equals = line.indexOf(u'=');
        const QString given = line.left(equals).trimmed();
        const QString key = knownKey(given);
        QString problem;
        if (equals <= 0)
            problem = QStringLiteral("„%1“ ist weder [Abschnitt] noch Schlüssel=Wert.").arg(shownText(line));
        else if (key.isEmpty())
            problem = QStringLiteral("Unbekannter Schlüssel „%1“ in [%2].").arg(shownText(given), current->name);
        else if (const auto twice = std::find_if(current->entries.begin(), current->entries.end(),
                                                 [&key](const Entry& e) { return e.key == key; });
                 twice != current->entries.end())
            problem = QStringLiteral("%1 steht in [%2] schon in Zeile %3.").arg(key, current->name).arg(twice->line);
        if (!problem.isEmpty()) {
            if (current->problem.isEmpty())
                current->problem = at(file, number, problem);
            continue;
        }
        current->entries.push_back({key, line.mid(equals + 1).trimmed(), number});
    }
    if (sections.empty())
        return failure(QStringLiteral("Die Projektdatei „%1“ nennt keinen Satz: Jeder Abschnitt außer [defaults] "
                                      "ist ein Satz mit Output=, Font= oder FontFile= und der Größe.")
                           .arg(shownPath(path)));

    Project project;
    project.path = QFileInfo(path).absoluteFilePath();
    const QDir folder = QFileInfo(project.path).absoluteDir();
    const Section none;
    for (const Section& section : sections)
        project.sets.push_back(setOf(file, folder, defaults.value_or(none), section));
    return project;
}

namespace {

// A length of the options at a scale: rounded, and checked against its option's range.
Result<void> scaleOption(BmFontOptions& options, QStringView key, double scale)
{
    const BmFontOption& option = bmFontOption(key);
    const QStringList parts = option.write(options).split(u',');
    QStringList scaled;
    for (const QString& part : parts) {
        bool number = false;
        const long long value = part.toLongLong(&number);
        scaled.append(number ? QString::number(std::llround(double(value) * scale)) : part);
    }
    const QString text = scaled.join(u',');
    if (const Result<void> read = option.read(options, text); !read)
        return failure(QStringLiteral("Beim Maßstab %1 wird %2 zu „%3“: %4.")
                           .arg(QString::number(scale), option.key, text, read.error()));
    return {};
}

} // namespace

std::vector<ProjectTarget> projectTargets(const Project& project)
{
    // The lengths in pixels that grow with the glyphs, so that a set at 2x looks like the one at 1x
    // on a screen of twice the density; a size given in points grows as its points.
    static const char16_t* const kLengths[] = {u"Pixels",  u"LineHeight",    u"CapHeight", u"Padding",
                                               u"Spacing", u"DistanceRange", u"Outline",   u"Shadow"};
    std::vector<ProjectTarget> targets;
    for (const ProjectSet& set : project.sets) {
        if (!set.problem.isEmpty()) { // told once, not once a scale
            targets.push_back({set.name, set.imagePath, set.fontFile, set.settings, 1.0, set.problem});
            continue;
        }
        for (const double scale : set.scales) {
            ProjectTarget target;
            const QString suffix = scaleSuffix(scale);
            target.name = set.name + suffix;
            const QFileInfo image(set.imagePath);
            target.imagePath =
                suffix.isEmpty() ? set.imagePath
                                 : image.dir().filePath(image.completeBaseName() + suffix +
                                                        (image.suffix().isEmpty() ? QString() : u'.' + image.suffix()));
            target.fontFile = set.fontFile;
            target.settings = set.settings;
            target.scale = scale;
            if (scale != 1.0) {
                BmFontOptions& options = target.settings.bmfont;
                for (const char16_t* key : kLengths) {
                    if (QStringView(key) == u"DistanceRange" && options.field == PageField::None)
                        continue; // no field, no range to keep in step
                    if (const Result<void> scaled = scaleOption(options, QStringView(key), scale); !scaled) {
                        target.problem = QStringLiteral("[%1]: %2").arg(set.name, scaled.error());
                        break;
                    }
                }
                if (options.pixels == 0 && options.lineHeight == 0 && options.capHeight == 0) {
                    const Result<float> size =
                        fontSizeFromText(QString::number(double(target.settings.font.size) * scale));
                    if (size)
                        target.settings.font.size = *size;
                    else if (target.problem.isEmpty())
                        target.problem =
                            QStringLiteral("[%1]: Beim Maßstab %2 wird die Größe zu %3 Punkt: %4.")
                                .arg(set.name, QString::number(scale),
                                     QString::number(double(target.settings.font.size) * scale), size.error());
                }
            }
            targets.push_back(std::move(target));
        }
    }
    return targets;
}

} // namespace glyfrax
