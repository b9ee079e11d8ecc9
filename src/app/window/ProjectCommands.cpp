#include "app/window/ProjectCommands.h"

#include "app/shared/DialogService.h"
#include "app/window/ExportRunner.h"
#include "app/window/RecentPlaces.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "project/ProjectBuild.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProgressBar>
#include <QSet>

namespace glyfrax {

namespace {

// A message box grows with its lines and has no scroll bar: beyond these, lines without a problem
// are only counted. Lines with one are always shown.
constexpr qsizetype kShownLines = 24;

struct ReportLine
{
    QString text;
    bool problem = false;
};

qsizetype problemCount(const std::vector<ReportLine>& lines)
{
    return std::count_if(lines.begin(), lines.end(), [](const ReportLine& line) { return line.problem; });
}

QString joinedReport(const std::vector<ReportLine>& lines)
{
    qsizetype room = std::max<qsizetype>(0, kShownLines - problemCount(lines));
    QStringList shown;
    qsizetype left = 0;
    for (const ReportLine& line : lines) {
        if (line.problem || room > 0) {
            shown.append(line.text);
            room -= line.problem ? 0 : 1;
        } else {
            ++left;
        }
    }
    if (left > 0)
        shown.append(QStringLiteral("… und %1 weitere ohne Problem").arg(left));
    return shown.join(u'\n');
}

// A report with a problem in it is a warning.
void showReport(QWidget* window, DialogService& dialogs, const QString& text, const std::vector<ReportLine>& lines)
{
    if (problemCount(lines) > 0)
        dialogs.showWarning(window, text);
    else
        dialogs.showMessage(window, text);
}

// "Maßstab 1", "Maßstäbe 1, 1,5 und 2": as the user reads numbers, not as the file writes them.
QString scalesText(const std::vector<double>& scales)
{
    const QLocale german(QLocale::German);
    QStringList numbers;
    for (const double scale : scales)
        numbers.append(german.toString(scale));
    return (scales.size() == 1 ? QStringLiteral("Maßstab ") : QStringLiteral("Maßstäbe ")) +
           alternatives(numbers, u"und");
}

ReportLine setLine(const ProjectSet& set, const QDir& folder)
{
    if (!set.problem.isEmpty())
        return {QStringLiteral("%1: kann nicht gebaut werden: %2").arg(shownName(set.name), set.problem), true};
    const QString font =
        set.fontFile.isEmpty() ? shownName(set.settings.font.face) : shownName(QFileInfo(set.fontFile).fileName());
    return {
        QStringLiteral("%1: %2 → %3, %4")
            .arg(shownName(set.name), font, shownPath(folder.relativeFilePath(set.imagePath)), scalesText(set.scales)),
        false};
}

ReportLine outcomeLine(const TargetOutcome& outcome)
{
    const QString name = shownName(outcome.name);
    switch (outcome.state) {
    case TargetOutcome::State::Current:
        return {QStringLiteral("%1: aktuell").arg(name)};
    case TargetOutcome::State::Planned:
        return {QStringLiteral("%1: würde gebaut (%2)").arg(name, outcome.reason)};
    case TargetOutcome::State::Failed:
        return {QStringLiteral("%1: gescheitert: %2").arg(name, outcome.message), true};
    case TargetOutcome::State::Built:
        break;
    }
    QString line = QStringLiteral("%1: gebaut (%2), %3").arg(name, outcome.reason, pagesCaption(outcome.exported));
    if (const std::size_t missing = outcome.exported.missing.size(); missing > 0)
        line += QStringLiteral(", %1 Zeichen nicht in der Schrift").arg(missing);
    return {line};
}

// Reads the project file, or says why it cannot; after is what the user is to know of the
// project then open.
std::optional<Project> readOrTell(QWidget* window, DialogService& dialogs, const QString& path, const QString& after)
{
    Result<Project> project = readProject(path);
    if (!project) {
        dialogs.showWarning(window, project.error() + after);
        return std::nullopt;
    }
    return std::move(*project);
}

struct BuildOutcomes
{
    std::vector<TargetOutcome> outcomes;
    // The targets that failed once Abbrechen was clicked: stopped by it, however their export put it.
    QSet<QString> stopped;
};

// Runs the build with the window's words; the progress dialog names the set a page was last drawn
// for and counts the targets finished.
BuildOutcomes runBuild(QWidget* window, const Project& project)
{
    const auto targets = qsizetype(projectTargets(project).size());
    ExportRunner runner(window, QStringLiteral("Projekt „%1“ bauen").arg(shownName(projectName(project.path))));
    QProgressDialog& progress = runner.progress();
    auto* bar = new QProgressBar(&progress);
    bar->setFormat(QStringLiteral("%v von %m Sätzen fertig"));
    bar->setAccessibleName(QStringLiteral("Fertige Sätze des Projekts"));
    progress.setBar(bar);
    progress.setLabelText(QStringLiteral("Die Sätze werden mit ihren Stempeln verglichen …"));
    progress.setRange(0, 0); // busy until the first target is finished
    progress.setValue(0);
    progress.setCancelButtonText(QStringLiteral("Abbrechen"));

    // Told one at a time (the build holds a lock around both callbacks), on its threads.
    qsizetype finished = 0;
    BuildOutcomes built;
    ProjectRun run;
    run.words = OptionWords::Window;
    run.palette = QApplication::palette();
    run.stillWanted = [&runner] { return runner.stillWanted(); };
    run.progress = [&runner](const QString& name, int done, int count) {
        runner.tell([name, done, count](QProgressDialog& shown) {
            shown.setLabelText(QStringLiteral("Satz „%1“: Seite %2 von %3 wird gezeichnet und geschrieben …")
                                   .arg(shownName(name))
                                   .arg(std::min(done + 1, count))
                                   .arg(count));
        });
    };
    run.finished = [&](const TargetOutcome& outcome) {
        if (outcome.state == TargetOutcome::State::Failed && !runner.stillWanted())
            built.stopped.insert(outcome.name);
        ++finished;
        runner.tell([finished, targets](QProgressDialog& shown) {
            shown.setMaximum(int(targets));
            shown.setValue(int(finished));
        });
    };
    built.outcomes = runner.run([&] { return buildProject(project, run); });
    return built;
}

} // namespace

QString projectName(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

QString askProjectPath(QWidget* window, DialogService& dialogs, const QString& documentFolder)
{
    const FileAnswer answer =
        dialogs.chooseFile(window, {false,
                                    QStringLiteral("Projekt öffnen"),
                                    RecentPlaces::folder(u"project", documentFolder),
                                    {QStringLiteral("Glyfrax-Projekte (*.ini)"), QStringLiteral("Alle Dateien (*)")},
                                    {}});
    if (!answer.path.isEmpty())
        RecentPlaces::remember(u"project", answer.path);
    return answer.path;
}

std::optional<Project> openProjectFile(QWidget* window, DialogService& dialogs, const QString& path,
                                       const QString& openPath)
{
    std::optional<Project> project =
        readOrTell(window, dialogs, path,
                   openPath.isEmpty()
                       ? QString()
                       : QStringLiteral("\n\nDas Projekt „%1“ bleibt geöffnet.").arg(shownName(projectName(openPath))));
    if (!project)
        return std::nullopt;
    const QDir folder = QFileInfo(project->path).absoluteDir();
    std::vector<ReportLine> lines;
    for (const ProjectSet& set : project->sets)
        lines.push_back(setLine(set, folder));
    const qsizetype problems = problemCount(lines);
    QString text = QStringLiteral("Projekt „%1“ (%2): %3 %4")
                       .arg(shownName(projectName(project->path)), shownPath(project->path))
                       .arg(project->sets.size())
                       .arg(project->sets.size() == 1 ? QStringLiteral("Satz") : QStringLiteral("Sätze"));
    if (problems > 0)
        text += QStringLiteral(", %1 davon mit Problem").arg(problems);
    text += QStringLiteral("\n\n") + joinedReport(lines) +
            QStringLiteral("\n\n„Datei → Projekt bauen“ baut die Sätze, deren Dateien nicht mehr aktuell sind.");
    showReport(window, dialogs, text, lines);
    return project;
}

void buildProjectFile(QWidget* window, DialogService& dialogs, const QString& path)
{
    const std::optional<Project> project =
        readOrTell(window, dialogs, path, QStringLiteral("\n\nEs wurde nichts gebaut."));
    if (!project)
        return;
    const BuildOutcomes built = runBuild(window, *project);
    std::vector<TargetOutcome> finished; // all but the stopped ones, which are counted apart
    std::vector<ReportLine> lines;
    for (const TargetOutcome& outcome : built.outcomes) {
        if (built.stopped.contains(outcome.name)) {
            lines.push_back({QStringLiteral("%1: abgebrochen").arg(shownName(outcome.name))});
        } else {
            finished.push_back(outcome);
            lines.push_back(outcomeLine(outcome));
        }
    }
    QString text =
        QStringLiteral("Projekt „%1“: %2").arg(shownName(projectName(project->path)), outcomeSummary(finished));
    if (!built.stopped.isEmpty())
        text += QStringLiteral(", %1 abgebrochen\nDer Bau wurde abgebrochen; die abgebrochenen Sätze bleiben, wie "
                               "sie waren.")
                    .arg(built.stopped.size());
    text += QStringLiteral("\n\n") + joinedReport(lines);
    showReport(window, dialogs, text, lines);
}

} // namespace glyfrax
