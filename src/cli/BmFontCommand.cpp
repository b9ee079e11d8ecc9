#include "cli/BmFontCommand.h"

#include "cli/CommandLine.h"
#include "export/bmfont/BmFontExport.h"
#include "project/ProjectBuild.h"
#include "render/FontSource.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace glyfrax {

namespace {

void printLine(std::FILE* stream, const QString& text)
{
    std::fputs((text + u'\n').toUtf8().constData(), stream);
}

} // namespace

int runBmFontExport(const CommandLine& line, const Settings& settings, const QString& faceName,
                    const QString& configPath, const QPalette& palette,
                    const std::function<Result<void>(std::int32_t, std::int32_t)>& approve)
{
    BmFontRun run;
    run.faceName = faceName;
    run.textColor = line.overrides.textColor;
    run.backColor = line.overrides.backColor;
    run.inputs = {configPath, line.fontFile, settings.bmfont.charsFile};
    run.approvePage = approve;
    const Result<BmFontExported> exported =
        exportBmFont(QFileInfo(line.bitmapPath).absoluteFilePath(), settings, run, palette);
    if (exported && line.verbose) {
        QStringList told = exported->notes;
        if (!exported->missing.empty())
            told.prepend(describeMissing(exported->missing));
        for (const QString& note : told)
            printLine(stderr, QStringLiteral("glyfrax-export: ") + note);
    }
    if (!exported) {
        printLine(stderr, QStringLiteral("glyfrax-export: ") + exported.error());
        return 1;
    }
    if (!line.depfile.isEmpty()) {
        QStringList inputs = QStringList{configPath, line.fontFile} + optionInputs(settings.bmfont);
        for (QString& input : inputs)
            input = input.isEmpty() ? input : QFileInfo(input).absoluteFilePath();
        // The images' folder too, whose time changes when a file is added to it or taken away.
        if (!settings.bmfont.imageFolder.isEmpty())
            inputs.append(QFileInfo(settings.bmfont.imageFolder).absoluteFilePath());
        inputs.removeAll(QString());
        const QStringList outputs = QStringList{exported->descriptorPath} + exported->pagePaths;
        const Result<void> written = writeDepfile(line.depfile, depfileRule(outputs, inputs), inputs + outputs);
        if (!written) {
            printLine(stderr, QStringLiteral("glyfrax-export: ") + written.error());
            return 1;
        }
    }
    if (line.quiet)
        return 0;
    printLine(stdout, pagesCaption(*exported));
    printLine(stdout, QDir::toNativeSeparators(exported->descriptorPath));
    for (const QString& page : exported->pagePaths)
        printLine(stdout, QDir::toNativeSeparators(page));
    return 0;
}

} // namespace glyfrax
