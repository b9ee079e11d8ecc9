#include "export/bmfont/BmFontExport.h"

#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/ImageCharacters.h"
#include "render/FontSource.h"
#include "render/ImageFile.h"
#include "settings/EnginePresets.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace glyfrax {

namespace {

// The extensions of the page formats, as a pattern's alternatives: "\\.png|\\.bmp".
QString pageExtensionPattern()
{
    QStringList extensions = pageExtensions();
    for (QString& extension : extensions)
        extension = QRegularExpression::escape(extension);
    return extensions.join(u'|');
}

// The pages the descriptor now at descriptorPath names, if they are pages of this image's name
// beside it (the image's own name, or its stem with a page number, in a page format) and have the
// descriptor's owner; never anything else, whatever the descriptor says. A descriptor that
// another user put into a shared folder does not make the export remove the user's files.
QStringList earlierPages(const QString& descriptorPath, const QString& imagePath)
{
    if (fileKind(descriptorPath) != FileKind::Regular)
        return {};
    const Result<QByteArray> head = readRegularFileHead(descriptorPath, kDescriptorHeadSize);
    const std::optional<uint> owner = entryOwner(descriptorPath);
    if (!head || !owner)
        return {};
    const QString image = QFileInfo(imagePath).fileName();
    const QString stem = image.left(image.size() - extensionOf(image).size());
    static const QRegularExpression numbered(QStringLiteral(R"(^(_[0-9]+)?(%1)$)").arg(pageExtensionPattern()),
                                             QRegularExpression::CaseInsensitiveOption);
    const QDir folder = QFileInfo(descriptorPath).dir();
    QStringList pages;
    for (const QString& name : pageFilesNamedBy(*head)) {
        const QString path = folder.filePath(name);
        if ((name == image || (name.startsWith(stem) && numbered.match(name.mid(stem.size())).hasMatch())) &&
            entryOwner(path) == owner)
            pages.append(path);
    }
    return pages;
}

Result<void> checkOutputs(const QStringList& outputs)
{
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        for (qsizetype j = i + 1; j < outputs.size(); ++j) {
            if (QFileInfo(outputs[i]).absoluteFilePath() == QFileInfo(outputs[j]).absoluteFilePath())
                return failure(QStringLiteral("Beschreibung und Textur hätten denselben Namen „%1“. Bitte wählen Sie "
                                              "für die Textur einen Namen auf %2.")
                                   .arg(shownPath(outputs[i]), alternatives(pageExtensions())));
        }
    }
    return {};
}

} // namespace

QString descriptorPathFor(const QString& imagePath, DescriptorForm form)
{
    return withExtension(imagePath, QString::fromUtf16(descriptorFormFacts(form).extension));
}

QStringList pagePathsFor(const QString& imagePath, int pageCount)
{
    if (pageCount <= 1)
        return {imagePath};
    const int digits = int(QString::number(pageCount - 1).size());
    QStringList paths;
    for (int page = 0; page < pageCount; ++page) {
        const QString number = QStringLiteral("_%1").arg(page, digits, 10, QChar(u'0'));
        paths.append(withExtension(imagePath, number + extensionOf(imagePath)));
    }
    return paths;
}

Result<BmFontExported> exportBmFont(const QString& imagePath, const Settings& settings, const BmFontRun& run,
                                    const QPalette& palette)
{
    const PageImage format = pageImageFor(imagePath);
    BmFontRun keeping = run;
    if (settings.bmfont.keepLayout) {
        // Whatever the earlier descriptor claims, the plan only keeps places that lie on the pages
        // and on no other kept cell.
        const QString earlier = descriptorPathFor(imagePath, withEngineChoices(settings.bmfont).descriptor);
        if (const Result<QByteArray> bytes = readRegularFile(earlier, kLargestDescriptor);
            bytes && fileKind(earlier) == FileKind::Regular)
            keeping.earlierCells = readDescriptorCells(*bytes);
    }
    Result<BmFontPlan> planned = planBmFont(settings, keeping, format, palette);
    if (!planned)
        return failure(planned.error());
    BmFontPlan& plan = *planned;
    const DescriptorForm form = withEngineChoices(settings.bmfont).descriptor; // as the plan chose it
    BmFontExported exported{descriptorPathFor(imagePath, form),
                            pagePathsFor(imagePath, bmFontFileCount(plan)),
                            plan.pageSize.width(),
                            plan.pageSize.height(),
                            plan.missing,
                            {}};
    for (const FallbackUse& use : plan.fallbacks)
        exported.notes.append(QStringLiteral("Aus der Ersatzschrift „%1“ (%2 Zeichen): %3")
                                  .arg(shownName(use.name))
                                  .arg(use.characters.size())
                                  .arg(describeCharacters(use.characters)));
    exported.notes.append(QStringLiteral("Seitenfüllung: %1 % (Fläche der Zellen über der Fläche der Seiten)")
                              .arg(QLocale(QLocale::German).toString(100.0 * plan.fill, 'f', 1)));
    exported.notes += plan.notes;
    if (const Result<void> distinct = checkOutputs(exported.pagePaths + QStringList{exported.descriptorPath});
        !distinct)
        return failure(distinct.error());
    if (run.refuseLinks) {
        for (const QString& target : exported.pagePaths + QStringList{exported.descriptorPath}) {
            if (QFileInfo(target).isSymLink())
                return failure(QStringLiteral("„%1“ ist ein symbolischer Link. Glyfrax schreibt die Dateien eines "
                                              "Projekts nicht durch Links; es wurde nichts geschrieben.")
                                   .arg(shownPath(target)));
        }
    }
    for (const QString& page : exported.pagePaths) {
        if (const QString problem = pageNameProblem(QFileInfo(page).fileName(), form); !problem.isEmpty())
            return failure(problem);
        if (const QString problem = enginePageNameProblem(settings.bmfont, QFileInfo(page).fileName(), run.words);
            !problem.isEmpty())
            return failure(problem);
        plan.descriptor.pages.append(QFileInfo(page).fileName());
    }

    std::vector<FileContent> files;
    const int fileCount = bmFontFileCount(plan);
    for (int page = 0; page < fileCount; ++page) {
        // Each page is drawn only when its file is written, so one page at a time is held.
        files.push_back({exported.pagePaths.at(page), [&plan, &run, page, format, fileCount](QIODevice& device) {
                             if (run.progress)
                                 run.progress(page, fileCount);
                             // Refused before a page is drawn: the files written so far have no
                             // names yet, and the earlier set stays.
                             if (run.stillWanted && !run.stillWanted())
                                 return false;
                             // A page of its own is written as it is drawn, a field band by band.
                             if (!plan.packed && !plan.premultiplied)
                                 return writePageFile(device, pageSource(plan), plan.pageSize, plan.pages[page], format,
                                                      plan.channels);
                             return writeImage(device, drawBmFontFile(plan, page), format, plan.threads, plan.channels);
                         }});
    }
    files.push_back({exported.descriptorPath,
                     [&plan, form](QIODevice& device) { return writeDescriptor(device, plan.descriptor, form); }});
    // The earlier set goes as a whole: pages its descriptor named that this one does not write too.
    auto earlierFiles = [&exported, &imagePath] { return earlierPages(exported.descriptorPath, imagePath); };
    if (const Result<void> written = writeFilesAtomically({files, run.inputs + plan.fontFiles, earlierFiles}); !written)
        return run.stillWanted && !run.stillWanted() ? failure(cancelledExportMessage()) : failure(written.error());
    if (run.progress)
        run.progress(fileCount, fileCount);
    return exported;
}

QString pagesCaption(const BmFontExported& exported)
{
    const QString size = QStringLiteral("Textur: %1x%2").arg(exported.width).arg(exported.height);
    return exported.pagePaths.size() > 1 ? size + QStringLiteral(", %1 Seiten").arg(exported.pagePaths.size()) : size;
}

QStringList optionInputs(const BmFontOptions& options)
{
    QStringList inputs;
    if (!options.charsFile.isEmpty())
        inputs.append(options.charsFile);
    for (const QString& fallback : options.fallbacks) {
        if (namesFontFile(fallback))
            inputs.append(splitFaceNumber(fallback).path);
    }
    if (const Result<std::vector<ImageGlyph>> images = imageGlyphsOf(options)) {
        for (const ImageGlyph& image : *images)
            inputs.append(image.path);
    }
    inputs.removeDuplicates();
    return inputs;
}

} // namespace glyfrax
