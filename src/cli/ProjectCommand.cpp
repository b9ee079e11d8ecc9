#include "cli/ProjectCommand.h"

#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/Terminal.h"
#include "cli/CommandLine.h"
#include "project/ProjectBuild.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <cstdio>
#include <map>

namespace glyfrax {

namespace {

void printLine(std::FILE* stream, const QString& text)
{
    std::fputs((text + u'\n').toUtf8().constData(), stream);
    std::fflush(stream);
}

// On a terminal, one line on stderr that tells how far the sets under way are: "ui-24 2/3 · ui-32 0/1".
class StatusLine
{
public:
    explicit StatusLine(bool wanted) : m_wanted(wanted && isTerminal(stderr)) {}

    void update(const QString& name, int done, int count)
    {
        if (!m_wanted)
            return;
        m_running[name] = {done, count};
        show();
    }
    void finished(const QString& name)
    {
        m_running.erase(name);
        clear();
    }
    // Clears the line, so that a line of output takes its place; the next update shows it again.
    void clear()
    {
        if (m_wanted && m_shown) {
            std::fputs("\r\033[K", stderr);
            m_shown = false;
        }
    }

private:
    void show()
    {
        QStringList parts;
        for (const auto& [name, pages] : m_running)
            parts.append(QStringLiteral("%1 %2/%3").arg(name).arg(pages.first).arg(pages.second));
        const QString text = parts.join(QStringLiteral(" · ")).left(std::max(10, terminalWidth() - 1));
        std::fputs((QStringLiteral("\r\033[K") + text).toUtf8().constData(), stderr);
        std::fflush(stderr);
        m_shown = true;
    }

    bool m_wanted;
    bool m_shown = false;
    std::map<QString, std::pair<int, int>> m_running;
};

struct Build
{
    bool read = false; // the project file was read
    Project project;
    std::vector<TargetOutcome> outcomes;
    bool failed = false;
};

Build buildOnce(const CommandLine& line, const QPalette& palette)
{
    Build build;
    Result<Project> project = readProject(line.projectPath);
    if (!project) {
        printLine(stderr, QStringLiteral("glyfrax-export: ") + project.error());
        build.failed = true;
        return build;
    }
    if (!line.scales.empty()) {
        for (ProjectSet& set : project->sets)
            set.scales = line.scales;
    }
    build.read = true;
    build.project = *project;

    StatusLine status(!line.quiet);
    ProjectRun run;
    run.force = line.force;
    run.dryRun = line.dryRun;
    run.palette = palette;
    run.approvePage = [&line](std::int32_t width, std::int32_t height) {
        return approveTextureSize(line.allowLarge, width, height);
    };
    run.progress = [&status](const QString& name, int done, int count) { status.update(name, done, count); };
    run.finished = [&](const TargetOutcome& outcome) {
        status.finished(outcome.name);
        switch (outcome.state) {
        case TargetOutcome::State::Failed:
            printLine(stderr, QStringLiteral("glyfrax-export: %1: %2").arg(outcome.name, outcome.message));
            return;
        case TargetOutcome::State::Current:
            if (!line.quiet)
                printLine(stdout, QStringLiteral("%1: aktuell").arg(outcome.name));
            return;
        case TargetOutcome::State::Planned:
            printLine(stdout, QStringLiteral("%1: würde gebaut (%2)").arg(outcome.name, outcome.reason));
            return;
        case TargetOutcome::State::Built:
            if (line.verbose) {
                for (const QString& note : outcome.exported.notes)
                    printLine(stderr, QStringLiteral("glyfrax-export: %1: %2").arg(outcome.name, note));
            }
            if (!line.quiet)
                printLine(stdout, QStringLiteral("%1: gebaut (%2), %3")
                                      .arg(outcome.name, outcome.reason, pagesCaption(outcome.exported)));
            return;
        }
    };
    build.outcomes = buildProject(build.project, run);
    status.clear();
    build.failed = std::any_of(build.outcomes.begin(), build.outcomes.end(), [](const TargetOutcome& outcome) {
        return outcome.state == TargetOutcome::State::Failed;
    });
    if (!line.quiet)
        printLine(stdout, QStringLiteral("Projekt %1: %2")
                              .arg(shownPath(QFileInfo(line.projectPath).fileName()), outcomeSummary(build.outcomes)));

    if (!line.depfile.isEmpty()) {
        QStringList inputs{build.project.path};
        for (const ProjectTarget& target : projectTargets(build.project))
            inputs += targetInputs(target);
        for (const TargetOutcome& outcome : build.outcomes) { // nor over a set's own files
            inputs += outcome.files;
            if (!outcome.files.isEmpty())
                inputs.append(stampPathFor(outcome.files.front()));
        }
        const Result<void> written = writeDepfile(line.depfile, depfileText(build.project, build.outcomes), inputs);
        if (!written) {
            printLine(stderr, QStringLiteral("glyfrax-export: ") + written.error());
            build.failed = true;
        }
    }
    return build;
}

// The files whose change asks for a new build: the project file and every input of its sets.
QStringList watchedFiles(const CommandLine& line, const Build& build)
{
    QStringList files{QFileInfo(line.projectPath).absoluteFilePath()};
    for (const ProjectTarget& target : projectTargets(build.project))
        files += targetInputs(target);
    files.removeDuplicates();
    return files;
}

} // namespace

int runProjectBuild(const CommandLine& line, const QPalette& palette)
{
    Build build = buildOnce(line, palette);
    if (!line.watch)
        return build.failed ? 1 : 0;

    // Editors save by writing a new file under the old name, which a watcher then no longer
    // follows: after each build every file is watched afresh. A burst of changes is one build.
    QFileSystemWatcher watcher;
    QTimer settle;
    settle.setSingleShot(true);
    settle.setInterval(300);
    // A file that is away (deleted, moved aside while saved) cannot be watched: its folder is, until
    // it is back.
    auto watchAgain = [&] {
        if (!watcher.files().isEmpty())
            watcher.removePaths(watcher.files());
        if (!watcher.directories().isEmpty())
            watcher.removePaths(watcher.directories());
        for (const QString& file : watchedFiles(line, build)) {
            if (fileKind(file) == FileKind::Regular)
                watcher.addPath(file);
            else if (const QString folder = QFileInfo(file).absolutePath(); fileKind(folder) == FileKind::Folder)
                watcher.addPath(folder);
        }
        // A folder of images gives a set a new character when a file is added to it.
        for (const ProjectTarget& target : projectTargets(build.project)) {
            const QString& folder = target.settings.bmfont.imageFolder;
            if (folder.isEmpty())
                continue;
            // A folder moved away is waited for in the folder above it.
            const QString watched = fileKind(folder) == FileKind::Folder ? folder : QFileInfo(folder).absolutePath();
            if (fileKind(watched) == FileKind::Folder)
                watcher.addPath(watched);
        }
        if (!line.quiet)
            printLine(stdout, QStringLiteral("Warte auf Änderungen an %1 Dateien … (Strg+C beendet)")
                                  .arg(watchedFiles(line, build).size()));
    };
    QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &settle, qOverload<>(&QTimer::start));
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &settle, qOverload<>(&QTimer::start));
    QObject::connect(&settle, &QTimer::timeout, &settle, [&] {
        build = buildOnce(line, palette);
        watchAgain();
    });
    watchAgain();
    QEventLoop loop;
    return loop.exec();
}

} // namespace glyfrax
