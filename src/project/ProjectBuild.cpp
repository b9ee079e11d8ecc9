#include "project/ProjectBuild.h"

#include "Version.h"
#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/Parallel.h"
#include "render/FontSource.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

namespace glyfrax {

namespace {

// The first line of every stamp: a file at a stamp's name without it is somebody else's.
const QByteArray kStampHead = QByteArrayLiteral("glyfrax-stamp 1");
// Far more than the stamp of a set of many pages holds.
constexpr qint64 kMaxStampSize = qint64(1) << 20;

// The SHA-256 of a regular file's bytes, in hex; empty when it is missing or no regular file
// (never opened then, so a FIFO cannot block the build).
QByteArray fileDigest(const QString& path)
{
    if (fileKind(path) != FileKind::Regular)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex();
}

// Everything of the target's settings that its files depend on, as one digest: a change of any
// option, of the size or of the font file's path changes it.
QByteArray settingsDigest(const ProjectTarget& target)
{
    ProfileFile profile;
    writeSettings(profile, target.settings, BmFontKeys::All);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(profile.toBytes());
    hash.addData(QStringLiteral("\nFontFile=%1\n").arg(target.fontFile).toUtf8());
    return hash.result().toHex();
}

QString descriptorPathOf(const ProjectTarget& target)
{
    return descriptorPathFor(target.imagePath, target.settings.bmfont.descriptor);
}

// A stamp as its lines hold it.
struct Stamp
{
    QByteArray version;
    QByteArray settings;
    std::vector<std::pair<QString, QByteArray>> inputs; // absolute path, digest
    std::vector<std::pair<QString, QByteArray>> files;
    std::vector<qint64> fileSizes; // beside files: a file of another size is not hashed at all
};

// Whether the entry at the stamp's name may be replaced by a stamp: none there, or a regular file
// (not a link to one) that starts as our stamps do.
bool stampPlaceIsOurs(const QString& path)
{
    if (fileKind(path) == FileKind::Missing && !QFileInfo(path).isSymLink())
        return true;
    if (QFileInfo(path).isSymLink())
        return false;
    const Result<QByteArray> head = readRegularFileHead(path, kStampHead.size() + 1);
    return head && (*head == kStampHead + '\n');
}

std::optional<Stamp> readStamp(const QString& path)
{
    if (QFileInfo(path).isSymLink())
        return std::nullopt;
    const Result<QByteArray> bytes = readRegularFile(path, kMaxStampSize);
    if (!bytes)
        return std::nullopt;
    const QList<QByteArray> lines = bytes->split('\n');
    if (lines.isEmpty() || lines.front() != kStampHead)
        return std::nullopt;
    const QDir folder = QFileInfo(path).absoluteDir();
    Stamp stamp;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype space = line.indexOf(' ');
        const QByteArray word = line.left(space);
        QByteArray rest = line.mid(space + 1);
        if (word == "version")
            stamp.version = rest;
        else if (word == "settings")
            stamp.settings = rest;
        else if (word == "input" || word == "file") {
            qsizetype second = rest.indexOf(' ');
            if (second <= 0)
                return std::nullopt;
            if (word == "file") {
                const qsizetype third = rest.indexOf(' ', second + 1);
                bool number = false;
                stamp.fileSizes.push_back(rest.mid(second + 1, third - second - 1).toLongLong(&number));
                if (third < 0 || !number)
                    return std::nullopt;
                rest = rest.left(second) + rest.mid(third);
                second = rest.indexOf(' ');
            }
            const QString named = QDir::cleanPath(folder.absoluteFilePath(QString::fromUtf8(rest.mid(second + 1))));
            // A set's files lie beside its stamp: one that names others is no stamp of ours, and
            // what it names is never read.
            if (word == "file" && QFileInfo(named).absolutePath() != folder.absolutePath())
                return std::nullopt;
            (word == "input" ? stamp.inputs : stamp.files).emplace_back(named, rest.left(second));
        }
    }
    return stamp;
}

// The stamp's bytes: paths relative to its folder, so that a project moved as a whole stays current.
QByteArray stampBytes(const QString& path, const Stamp& stamp)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    QByteArray bytes = kStampHead + '\n';
    bytes += "version " + stamp.version + '\n';
    bytes += "settings " + stamp.settings + '\n';
    for (const auto& [name, digest] : stamp.inputs)
        bytes += "input " + digest + ' ' + folder.relativeFilePath(name).toUtf8() + '\n';
    for (const auto& [name, digest] : stamp.files)
        bytes += "file " + digest + ' ' + QByteArray::number(QFileInfo(name).size()) + ' ' +
                 folder.relativeFilePath(name).toUtf8() + '\n';
    return bytes;
}

// Digests of files, each read once however many targets share it (a font of 24 sets).
class Digests
{
public:
    QByteArray of(const QString& path)
    {
        const std::lock_guard lock(m_mutex);
        auto found = m_known.find(path);
        if (found == m_known.end())
            found = m_known.emplace(path, fileDigest(path)).first;
        return found->second;
    }

private:
    std::mutex m_mutex;
    std::map<QString, QByteArray> m_known;
};

QString staleReasonOf(const ProjectTarget& target, Digests& digests, QStringList* files)
{
    const std::optional<Stamp> stamp = readStamp(stampPathFor(descriptorPathOf(target)));
    if (!stamp)
        return QStringLiteral("neu");
    if (stamp->version != kVersionText)
        return QStringLiteral("andere Programmversion");
    if (stamp->settings != settingsDigest(target))
        return QStringLiteral("Einstellungen geändert");
    const QStringList inputs = targetInputs(target);
    for (const QString& input : inputs) {
        const auto held = std::find_if(stamp->inputs.begin(), stamp->inputs.end(),
                                       [&input](const auto& entry) { return entry.first == input; });
        if (held == stamp->inputs.end() || held->second != digests.of(input))
            return QStringLiteral("Eingabe geändert: %1").arg(shownPath(input));
    }
    for (const auto& [input, digest] : stamp->inputs) {
        if (!inputs.contains(input)) // an image taken from its folder
            return QStringLiteral("Eingabe entfallen: %1").arg(shownPath(input));
    }
    if (stamp->files.empty())
        return QStringLiteral("neu");
    for (std::size_t i = 0; i < stamp->files.size(); ++i) {
        const auto& [name, digest] = stamp->files[i];
        if (QFileInfo(name).size() != stamp->fileSizes[i] || digests.of(name) != digest)
            return QStringLiteral("Datei des Satzes geändert: %1").arg(shownPath(name));
    }
    if (files) {
        for (const auto& [name, digest] : stamp->files)
            files->append(name);
    }
    return {};
}

// Makes one target and stamps it.
TargetOutcome makeTarget(const QString& projectPath, const ProjectTarget& target, const RegisteredFont& font,
                         const ProjectRun& run, int threads, std::mutex& told, Digests& digests)
{
    TargetOutcome outcome;
    outcome.name = target.name;
    outcome.state = TargetOutcome::State::Failed;
    Settings settings = target.settings;
    if (!target.fontFile.isEmpty())
        settings.font.face = font.family;

    // The inputs as they are before the export reads them: one changed while it runs is then stale
    // next time, never stamped as built.
    const QStringList inputs = targetInputs(target);
    Stamp stamp;
    for (const QString& input : inputs)
        stamp.inputs.emplace_back(input, digests.of(input));

    BmFontRun exportRun;
    exportRun.faceName = font.displayName;
    exportRun.inputs = QStringList{projectPath} + inputs;
    exportRun.refuseLinks = true;
    exportRun.approvePage = run.approvePage;
    exportRun.stillWanted = run.stillWanted;
    exportRun.threads = threads;
    exportRun.words = run.words;
    if (run.progress)
        exportRun.progress = [&](int done, int count) {
            const std::lock_guard lock(told);
            run.progress(target.name, done, count);
        };
    const Result<BmFontExported> exported = exportBmFont(target.imagePath, settings, exportRun, run.palette);
    if (!exported) {
        outcome.message = exported.error();
        return outcome;
    }
    outcome.exported = *exported;
    outcome.files = QStringList{exported->descriptorPath} + exported->pagePaths;

    stamp.version = kVersionText;
    stamp.settings = settingsDigest(target);
    for (const QString& file : outcome.files)
        stamp.files.emplace_back(file, fileDigest(file));
    const QString stampPath = stampPathFor(exported->descriptorPath);
    const QByteArray bytes = stampBytes(stampPath, stamp);
    FileSet stampFile;
    stampFile.files.push_back({stampPath, [&bytes](QIODevice& device) { return device.write(bytes) == bytes.size(); }});
    stampFile.inputs = exportRun.inputs;
    if (const Result<void> written = writeFilesAtomically(stampFile); !written) {
        outcome.message = QStringLiteral("Der Satz ist geschrieben, sein Stempel nicht (der nächste Lauf baut ihn "
                                         "neu): %1")
                              .arg(written.error());
        return outcome;
    }
    outcome.state = TargetOutcome::State::Built;
    return outcome;
}

// The folder a path lies in as the file system knows it, links resolved, also for folders not made yet.
QString realFolder(const QString& path)
{
    QFileInfo folder(QFileInfo(path).absolutePath());
    QStringList notYet;
    while (!folder.exists() && folder.absoluteFilePath() != folder.absolutePath()) {
        notYet.prepend(folder.fileName());
        folder = QFileInfo(folder.absolutePath());
    }
    const QString real = folder.canonicalFilePath();
    return notYet.isEmpty() ? real : real + u'/' + notYet.join(u'/');
}

// Which target names which files: a target owns the stem of its image in its folder, its pages
// being the stem itself or the stem with "_N". Two targets whose names could meet (the same stem,
// or "a" and "a_0", however the folder is spelled) would write each other's files.
class FileOwners
{
public:
    // The target that already owns a name this one's files could take; empty: none.
    QString claim(const QString& imagePath, const QString& target)
    {
        const QString file = QFileInfo(imagePath).fileName();
        const QString key = realFolder(imagePath) + u'/' + file.left(file.size() - extensionOf(file).size());
        static const QRegularExpression numbered(QStringLiteral("_[0-9]+$"));
        QString other;
        if (const auto same = m_owners.find(key); same != m_owners.end())
            other = same->second;
        for (QString shorter = key; other.isEmpty() && numbered.match(shorter).hasMatch();) {
            shorter = shorter.left(numbered.match(shorter).capturedStart());
            if (const auto found = m_owners.find(shorter); found != m_owners.end())
                other = found->second;
        }
        const QString prefix = key + u'_';
        for (auto it = m_owners.lower_bound(prefix);
             other.isEmpty() && it != m_owners.end() && it->first.startsWith(prefix); ++it) {
            if (numbered.match(u'_' + it->first.mid(prefix.size())).hasMatch())
                other = it->second;
        }
        if (other.isEmpty())
            m_owners.emplace(key, target);
        return other;
    }

private:
    std::map<QString, QString> m_owners;
};

} // namespace

QString stampPathFor(const QString& descriptorPath)
{
    return descriptorPath + QStringLiteral(".stamp");
}

QStringList targetInputs(const ProjectTarget& target)
{
    QStringList inputs = optionInputs(target.settings.bmfont);
    if (!target.fontFile.isEmpty())
        inputs.prepend(target.fontFile);
    inputs.removeDuplicates();
    return inputs;
}

QString staleReason(const ProjectTarget& target)
{
    Digests digests;
    return staleReasonOf(target, digests, nullptr);
}

std::vector<TargetOutcome> buildProject(const Project& project, const ProjectRun& run)
{
    const std::vector<ProjectTarget> targets = projectTargets(project);
    std::vector<TargetOutcome> outcomes(targets.size());
    std::mutex told;
    auto tell = [&](std::size_t index) {
        const std::lock_guard lock(told);
        if (run.finished)
            run.finished(outcomes[index]);
    };
    Digests digests;
    std::vector<std::size_t> toMake;
    std::vector<RegisteredFont> fonts(targets.size());
    std::map<QString, Result<RegisteredFont>> registered;
    FileOwners owners;

    for (std::size_t index = 0; index < targets.size(); ++index) {
        const ProjectTarget& target = targets[index];
        TargetOutcome& outcome = outcomes[index];
        outcome.name = target.name;
        const QString descriptor = descriptorPathOf(target);
        QString problem = target.problem;
        if (problem.isEmpty()) {
            if (const QString other = owners.claim(target.imagePath, target.name); !other.isEmpty())
                problem = QStringLiteral("[%1] schriebe Dateien gleichen Namens wie [%2] (%3); geben Sie einem "
                                         "der beiden eine andere Ausgabe.")
                              .arg(target.name, other, shownPath(descriptor));
        }
        if (problem.isEmpty()) {
            outcome.reason = run.force ? QStringLiteral("erzwungen") : staleReasonOf(target, digests, &outcome.files);
            if (outcome.reason.isEmpty()) {
                outcome.state = TargetOutcome::State::Current;
                tell(index);
                continue;
            }
            if (!stampPlaceIsOurs(stampPathFor(descriptor)))
                problem = QStringLiteral("„%1“ ist keine Stempeldatei von Glyfrax und wird nicht ersetzt; geben Sie "
                                         "[%2] eine andere Ausgabe oder entfernen Sie die Datei.")
                              .arg(shownPath(stampPathFor(descriptor)), target.name);
        }
        if (problem.isEmpty() && run.dryRun) {
            outcome.state = TargetOutcome::State::Planned;
            tell(index);
            continue;
        }
        // A project names where its sets go, as a build names its outputs: a folder not there yet is made.
        if (const QString folder = QFileInfo(target.imagePath).absolutePath();
            problem.isEmpty() && fileKind(folder) == FileKind::Missing && !QDir().mkpath(folder))
            problem = QStringLiteral("Der Ordner „%1“ lässt sich nicht anlegen.").arg(shownPath(folder));
        const FontVariation& variation = target.settings.bmfont.variation;
        if (problem.isEmpty() && target.fontFile.isEmpty() && !variation.isDefault())
            problem = QStringLiteral("[%1] nennt Achsen oder eine Instanz einer variablen Schrift (Axes, Instance), "
                                     "aber keine Schriftdatei (FontFile).")
                          .arg(target.name);
        if (problem.isEmpty() && !target.fontFile.isEmpty()) {
            // One registration a file at each variation: the same file may be drawn at other coordinates.
            const QString key = target.fontFile + u'\n' + variation.instance + u'\n' + axisValuesText(variation.axes);
            auto found = registered.find(key);
            if (found == registered.end())
                found = registered.emplace(key, registerFontFile(target.fontFile, variation)).first;
            if (found->second)
                fonts[index] = *found->second;
            else
                problem = found->second.error();
        }
        if (problem.isEmpty()) {
            Settings settings = target.settings;
            if (!target.fontFile.isEmpty())
                settings.font.face = fonts[index].family;
            if (const Result<void> face = checkFace(settings.font.face, run.words); !face)
                problem = face.error();
            else if (const Result<void> sized = checkBmFontSize(settings); !sized)
                problem = sized.error();
        }
        if (!problem.isEmpty()) {
            outcome.state = TargetOutcome::State::Failed;
            outcome.message = problem;
            tell(index);
            continue;
        }
        toMake.push_back(index);
    }
    if (toMake.empty())
        return outcomes;

    // Several targets at once, each on fewer threads: the parts of one export that run on a single
    // thread (measuring, the descriptor) then overlap with another's pages.
    const int workers = std::clamp(int(toMake.size()), 1, std::max(1, run.threads));
    const int threadsEach = std::max(1, run.threads / workers);
    std::atomic<std::size_t> next = 0;
    runOnThreads(workers, [&](int) {
        for (std::size_t taken = next++; taken < toMake.size(); taken = next++) {
            const std::size_t index = toMake[taken];
            const QString reason = outcomes[index].reason;
            if (run.stillWanted && !run.stillWanted()) {
                outcomes[index].state = TargetOutcome::State::Failed;
                outcomes[index].message = cancelledExportMessage();
            } else {
                outcomes[index] =
                    makeTarget(project.path, targets[index], fonts[index], run, threadsEach, told, digests);
                outcomes[index].reason = reason;
            }
            tell(index);
        }
    });
    return outcomes;
}

QString outcomeSummary(const std::vector<TargetOutcome>& outcomes)
{
    auto count = [&outcomes](TargetOutcome::State state) {
        return std::count_if(outcomes.begin(), outcomes.end(),
                             [state](const TargetOutcome& outcome) { return outcome.state == state; });
    };
    QStringList parts;
    if (const auto planned = count(TargetOutcome::State::Planned))
        parts.append(QStringLiteral("%1 zu bauen").arg(planned));
    if (const auto built = count(TargetOutcome::State::Built))
        parts.append(QStringLiteral("%1 gebaut").arg(built));
    parts.append(QStringLiteral("%1 aktuell").arg(count(TargetOutcome::State::Current)));
    if (const auto failed = count(TargetOutcome::State::Failed))
        parts.append(QStringLiteral("%1 gescheitert").arg(failed));
    return parts.join(QStringLiteral(", "));
}

namespace {

QString escapedForMake(const QString& path)
{
    const QString relative = QDir::current().relativeFilePath(path);
    const QString shown = relative.startsWith(QStringLiteral("../")) ? path : relative;
    QString escaped;
    for (const QChar c : shown) {
        if (c == u' ' || c == u'#' || c == u'\\')
            escaped += u'\\';
        if (c == u'$')
            escaped += u'$';
        escaped += c;
    }
    return escaped;
}

} // namespace

QString depfileRule(const QStringList& outputs, const QStringList& inputs)
{
    QStringList left;
    for (const QString& output : outputs)
        left.append(escapedForMake(output));
    QStringList right;
    for (const QString& input : inputs)
        right.append(escapedForMake(input));
    return left.join(u' ') + QStringLiteral(":") + (right.isEmpty() ? QString() : u' ' + right.join(u' ')) + u'\n';
}

QString depfileText(const Project& project, const std::vector<TargetOutcome>& outcomes)
{
    const std::vector<ProjectTarget> targets = projectTargets(project);
    QString text;
    for (std::size_t index = 0; index < targets.size() && index < outcomes.size(); ++index) {
        if (outcomes[index].files.isEmpty())
            continue;
        text += depfileRule(outcomes[index].files, QStringList{project.path} + targetInputs(targets[index]));
    }
    return text;
}

Result<void> writeDepfile(const QString& path, const QString& text, const QStringList& inputs)
{
    const QByteArray bytes = text.toUtf8();
    FileSet depfile;
    depfile.files.push_back(
        {QFileInfo(path).absoluteFilePath(), [&bytes](QIODevice& out) { return out.write(bytes) == bytes.size(); }});
    depfile.inputs = inputs;
    return writeFilesAtomically(depfile);
}

} // namespace glyfrax
