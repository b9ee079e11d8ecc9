#include "app/window/BmFontCommands.h"

#include "app/shared/DialogService.h"
#include "app/window/ExportRunner.h"
#include "app/window/RecentPlaces.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "export/bmfont/BmFontExport.h"
#include "export/classic/ClassicExport.h"
#include "render/FontSource.h"
#include "settings/PageImage.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QFileInfo>

namespace glyfrax {

namespace {

// Longer lists of characters end in "…": a message box grows with its text.
constexpr qsizetype kLongestList = 600;

QString shortened(const QString& text)
{
    if (text.size() <= kLongestList)
        return text;
    const qsizetype cut = text.lastIndexOf(QStringLiteral(", "), kLongestList);
    return text.left(cut > 0 ? cut : kLongestList) + QStringLiteral(", …");
}

// What an export wrote and what it left out, as the command line tells it with --verbose.
QString exportReport(const BmFontExported& exported)
{
    QStringList pages;
    for (const QString& page : exported.pagePaths)
        pages.append(QFileInfo(page).fileName());
    const QString pageList = pages.size() <= 4 ? pages.join(QStringLiteral(", "))
                                               : QStringLiteral("%1 … %2").arg(pages.first(), pages.last());
    QStringList parts{pagesCaption(exported), QStringLiteral("Geschrieben in „%1“: %2, %3")
                                                  .arg(shownPath(QFileInfo(exported.descriptorPath).absolutePath()),
                                                       QFileInfo(exported.descriptorPath).fileName(), pageList)};
    if (!exported.missing.empty())
        parts.append(shortened(describeMissing(exported.missing, true)));
    parts += exported.notes;
    return parts.join(QStringLiteral("\n\n"));
}

// Runs the export with the window's words, its progress shown page by page; whether Abbrechen was
// clicked is set in cancelled. The settings are a copy: the window's may change meanwhile.
Result<BmFontExported> runExport(QWidget* window, const Settings settings, const QStringList& inputs,
                                 const QString& imagePath, bool& cancelled)
{
    ExportRunner runner(window, QStringLiteral("BMFont exportieren"));
    QProgressDialog& progress = runner.progress();
    progress.setLabelText(QStringLiteral("Die Zeichen werden vermessen …"));
    progress.setRange(0, 0); // busy until the pages are known
    progress.setValue(0);
    progress.setCancelButtonText(QStringLiteral("Abbrechen"));
    BmFontRun run;
    run.stillWanted = [&runner] { return runner.stillWanted(); };
    run.words = OptionWords::Window;
    run.inputs = inputs;
    run.inputs.append(settings.bmfont.charsFile);
    run.progress = [&runner](int done, int count) {
        runner.tell([done, count](QProgressDialog& shown) {
            shown.setLabelText(QStringLiteral("Seite %1 von %2 wird gezeichnet und geschrieben …")
                                   .arg(std::min(done + 1, count))
                                   .arg(count));
            // Busy until a page is done: a share of pages says nothing before, and a single
            // page would stand at 0 % until it is written.
            if (done > 0) {
                shown.setMaximum(count);
                shown.setValue(done);
            }
        });
    };
    const QPalette palette = QApplication::palette();
    Result<BmFontExported> exported =
        runner.run([&] { return exportBmFont(QFileInfo(imagePath).absoluteFilePath(), settings, run, palette); });
    cancelled = !runner.stillWanted();
    return exported;
}

} // namespace

QString askBmFontImagePath(QWidget* window, DialogService& dialogs, const BmFontOptions& options,
                           const QString& documentFolder)
{
    FileQuestion question{
        true, QStringLiteral("BMFont exportieren"), RecentPlaces::folder(u"bmfont", documentFolder), {}, {}};
    // The chosen format first. A page without alpha cannot hold a distance field: its type is not
    // offered, and the title says why.
    const bool field = options.field != PageField::None;
    for (const PageImageFacts& facts : kPageImages) {
        const qsizetype at = facts.value == options.image ? 0 : question.filters.size();
        if (!field || facts.alpha) {
            question.filters.insert(at, QString::fromUtf16(facts.filter));
            question.suffixes.insert(at, QString::fromUtf16(facts.extension).mid(1));
        }
    }
    if (field)
        question.title += QStringLiteral(" (Distanzfeld: nur %1)").arg(alternatives(pageImagesWithAlpha()));
    const FileAnswer answer = dialogs.chooseFile(window, question);
    if (answer.path.isEmpty())
        return {};
    RecentPlaces::remember(u"bmfont", answer.path);
    const QString suffix = question.suffixes.value(answer.filter);
    return extensionOf(answer.path).isEmpty() ? answer.path + u'.' + suffix : answer.path;
}

void exportBmFontSet(QWidget* window, DialogService& dialogs, const Settings& settings, const QStringList& inputs,
                     const QString& imagePath)
{
    // What glyfrax-export refuses, the window refuses: it would ship a stand-in.
    if (const Result<void> face = checkFace(settings.font.face, OptionWords::Window); !face) {
        dialogs.showWarning(window, face.error());
        return;
    }
    bool cancelled = false;
    const Result<BmFontExported> exported = runExport(window, settings, inputs, imagePath, cancelled);
    if (!exported && cancelled) {
        dialogs.showMessage(window, QStringLiteral("Der BMFont-Export wurde abgebrochen; die bisherigen Dateien "
                                                   "bleiben, wie sie waren."));
        return;
    }
    if (!exported) {
        dialogs.showWarning(window, exported.error());
        return;
    }
    RecentPlaces::rememberExport(imagePath);
    dialogs.showMessage(window, exportReport(*exported));
}

} // namespace glyfrax
