#pragma once

// Building a project: every target whose inputs changed, on every core, each replaced as a whole
// and stamped, so that the next build knows it is current.

#include "export/bmfont/BmFontExport.h"
#include "project/Project.h"

#include <QPalette>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace glyfrax {

// The stamp beside a target's descriptor: "ui-regular-24.fnt.stamp".
QString stampPathFor(const QString& descriptorPath);

// Why a target is built, in German ("neu", "Schriftdatei geändert: …"); empty when it is current:
// its stamp records this program's version, the target's settings, the bytes of every input file
// and of every file of the set as they are now.
QString staleReason(const ProjectTarget& target);

// What became of one target.
struct TargetOutcome
{
    enum class State
    {
        Current, // left as it was
        Built,
        Failed,
        Planned // a dry run: it would be built
    };
    QString name;
    State state = State::Current;
    QString reason;    // why it is (or would be) built
    QString message;   // why it failed
    QStringList files; // the descriptor and pages, once built or found current
    BmFontExported exported;
};

struct ProjectRun
{
    bool force = false;  // build every target, current or not
    bool dryRun = false; // only tell what would be built and why
    int threads = defaultThreadCount();
    OptionWords words = OptionWords::CommandLine;
    QPalette palette;
    std::function<Result<void>(std::int32_t width, std::int32_t height)> approvePage;
    // Told as each target starts (done == 0) and as its pages are drawn; called by one thread at
    // a time.
    std::function<void(const QString& name, int done, int count)> progress;
    // Told each target's outcome as it is known, one at a time.
    std::function<void(const TargetOutcome& outcome)> finished;
    // Asked between targets and while they are made; false leaves those not finished as they were.
    std::function<bool()> stillWanted;
};

// Builds the project's targets: font files are registered on the calling thread first, then the
// targets are made several at once. Returns every target's outcome in
// the project's order.
std::vector<TargetOutcome> buildProject(const Project& project, const ProjectRun& run);

// "2 gebaut, 21 aktuell, 1 gescheitert"
QString outcomeSummary(const std::vector<TargetOutcome>& outcomes);

// The rules of a depfile, as make and Ninja read them: each target's files depend on the project
// file and on the target's inputs.
QString depfileText(const Project& project, const std::vector<TargetOutcome>& outcomes);
// One rule: outputs depend on inputs, names relative to the working folder where they lie below
// it, escaped as make wants them.
QString depfileRule(const QStringList& outputs, const QStringList& inputs);

// Replaces the depfile at path with text, as the exports replace their files; never one of inputs.
Result<void> writeDepfile(const QString& path, const QString& text, const QStringList& inputs);

// The files a target reads besides the project file: its font file, its characters file and the
// fallback fonts given as files.
QStringList targetInputs(const ProjectTarget& target);

} // namespace glyfrax
