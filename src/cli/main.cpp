// glyfrax-export: the window program's export, for build scripts. Exit codes: 0 done,
// 1 the export or its input failed, 2 the command line is wrong.

#include "Version.h"
#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/Localization.h"
#include "base/Terminal.h"
#include "cli/BmFontCommand.h"
#include "cli/CommandLine.h"
#include "cli/ProjectCommand.h"
#include "export/bmfont/BmFontExport.h"
#include "export/classic/ClassicExport.h"
#include "render/BmpWriter.h"
#include "render/FontAxes.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>

#include <cstdio>
#include <cstdlib>

// Builds with AddressSanitizer check for leaks as the process ends, after Qt is torn down.
#if defined(__SANITIZE_ADDRESS__)
#define GLYFRAX_LEAK_CHECKED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLYFRAX_LEAK_CHECKED
#endif
#endif

using namespace glyfrax;

namespace {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

// Qt's own lines ("QStandardPaths: XDG_RUNTIME_DIR not set ...") are English and tell the user
// of a build script nothing to act on: they are dropped. A fatal one still ends the program, but
// with this program's exit code and a German line instead of an abort.
void handleQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtFatalMsg)
        return;
    print(stderr,
          QStringLiteral("glyfrax-export: Die Qt-Bibliothek kann nicht arbeiten (%1).").arg(shownText(message)));
    std::_Exit(1);
}

// The axes and named instances of a variable font's file, or that it has none.
int listAxes(const QString& path)
{
    const Result<QString> valid = fontFileFace(path);
    const Result<QByteArray> face = readFontFace(path);
    if (!valid || !face) {
        print(stderr, QStringLiteral("glyfrax-export: ") + (valid ? face.error() : valid.error()));
        return 1;
    }
    const FontAxes axes = readFontAxes(*face);
    if (axes.axes.empty()) {
        print(stdout, QStringLiteral("Die Schrift in „%1“ hat keine Achsen: Sie ist keine variable Schrift.")
                          .arg(shownPath(path)));
        return 0;
    }
    for (const QString& text : fontAxesListing(axes))
        print(stdout, text);
    return 0;
}

int listFonts(const CommandLine& line)
{
    if (!line.axesFile.isEmpty())
        return listAxes(line.axesFile);
    if (line.fontFile.isEmpty()) {
        for (const QString& family : installedFontList())
            print(stdout, family);
        return 0;
    }
    const Result<QString> face = fontFileFace(line.fontFile);
    if (!face) {
        print(stderr, QStringLiteral("glyfrax-export: ") + face.error());
        return 1;
    }
    print(stdout, *face);
    return 0;
}

// A line on stderr that tells how far a long export is: shown only on a terminal, and only once
// the export has run for a second, so that short exports and build logs stay quiet.
class ProgressLine
{
public:
    explicit ProgressLine(bool wanted) : m_wanted(wanted && isTerminal(stderr)) { m_clock.start(); }

    void show(std::int32_t side, int percent)
    {
        if (!m_wanted || percent == m_percent || (m_percent < 0 && m_clock.elapsed() < 1000))
            return;
        m_percent = percent;
        std::fputs(QStringLiteral("\rTextur %1 x %1: %2 %").arg(side).arg(percent).toUtf8().constData(), stderr);
        std::fflush(stderr);
    }

    // Ends the line, so that what follows starts on a line of its own.
    void finish()
    {
        if (m_percent >= 0)
            std::fputc('\n', stderr);
        m_percent = -1;
    }

private:
    bool m_wanted;
    int m_percent = -1; // shown last; -1 while nothing is shown
    QElapsedTimer m_clock;
};

// Output that cannot be written (a full disk, a closed pipe) is a failure, not a success.
int finish(int exitCode)
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return exitCode;
    print(stderr, QStringLiteral("glyfrax-export: Die Ausgabe auf stdout ließ sich nicht schreiben."));
    return 1;
}

} // namespace

// Everything after the start; the returned exit code ends the process.
int runCommandLine()
{
    const Result<CommandLine> parsed = parseCommandLine(QCoreApplication::arguments());
    if (!parsed) {
        print(stderr, QStringLiteral("glyfrax-export: ") + shownText(parsed.error()));
        print(stderr, QStringLiteral("Aufruf: glyfrax-export [Optionen] BITMAP   (Übersicht: glyfrax-export --help)"));
        return 2;
    }
    const CommandLine& line = *parsed;
    switch (line.action) {
    case CommandLine::Action::ShowHelp:
        print(stdout, commandLineHelp(terminalWidth()));
        return finish(0);
    case CommandLine::Action::ListFonts:
        return finish(listFonts(line));
    case CommandLine::Action::ShowVersion:
        print(stdout, QStringLiteral("glyfrax-export ") + QCoreApplication::applicationVersion());
        return finish(0);
    case CommandLine::Action::Finish:
        if (const Result<void> finished = finishInterruptedReplacement(line.bitmapPath); !finished) {
            print(stderr, QStringLiteral("glyfrax-export: ") + finished.error());
            return 1;
        }
        return 0;
    case CommandLine::Action::Project:
        return finish(runProjectBuild(line, QGuiApplication::palette()));
    case CommandLine::Action::Export:
        break;
    }

    const QString configPath = line.configPath.isEmpty()
                                   ? settingsFileToRead(locateSettings(QCoreApplication::applicationDirPath()))
                                   : line.configPath;
    if (!line.configPath.isEmpty() && fileKind(configPath) == FileKind::Missing) {
        print(stderr,
              QStringLiteral("glyfrax-export: Die Einstellungsdatei „%1“ gibt es nicht.").arg(shownPath(configPath)));
        return 1;
    }
    const LoadedSettings loaded = readSettingsFile(configPath);
    // A file given with --config that holds no setting at all is a mistake, not a wish for the
    // defaults: the export would quietly be of another font and size than meant.
    const bool unusable = !loaded.fileProblem.isEmpty() || (loaded.nothingReadable && !line.configPath.isEmpty());
    if (QString report = describeLoadedSettings(configPath, loaded); !report.isEmpty()) {
        if (loaded.nothingReadable)
            report += unusable ? QStringLiteral(" Es wurde nichts exportiert.")
                               : QStringLiteral(" Glyfrax exportiert mit den Werten, die fehlende Einträge ergeben.");
        print(stderr, QStringLiteral("glyfrax-export: ") + report);
    }
    if (unusable)
        return 1;
    Settings settings = loaded.settings;
    QStringList inputs{configPath}; // never to be replaced by the export
    QString faceName;               // the name to show; empty: the face's own

    line.overrides.applyTo(settings);
    // Where a variable font is drawn is a choice of the BMFont sets; the classic pair keeps its defaults.
    const bool bmfont = line.format == CommandLine::Format::BmFont;
    const FontVariation variation = bmfont ? settings.bmfont.variation : FontVariation();
    if (!line.fontFile.isEmpty()) {
        // An axis, value or instance the font does not have is a wrong command line, like a wrong value.
        if (const Result<QByteArray> face = readFontFace(line.fontFile); face) {
            if (const Result<std::vector<double>> coordinates = checkVariation(line.fontFile, *face, variation);
                !coordinates) {
                print(stderr, QStringLiteral("glyfrax-export: ") + coordinates.error());
                return 2;
            }
        }
        const Result<RegisteredFont> font = registerFontFile(line.fontFile, variation);
        if (!font) {
            print(stderr, QStringLiteral("glyfrax-export: ") + font.error());
            return 1;
        }
        settings.font.face = font->family;
        faceName = font->displayName;
        inputs.append(font->file);
    }
    if (const Result<void> face = checkFace(settings.font.face, OptionWords::CommandLine); !face) {
        print(stderr, QStringLiteral("glyfrax-export: ") + face.error());
        return 1;
    }
    // An installed face is varied from its tables as the set is planned: its axes are checked here.
    if (line.fontFile.isEmpty() && !variation.isDefault()) {
        if (const Result<RegisteredFont> varied = registerInstalledVariation(realizeFont(settings.font), variation);
            !varied) {
            print(stderr, QStringLiteral("glyfrax-export: ") + varied.error());
            return 2;
        }
    }

    if (line.format == CommandLine::Format::BmFont) {
        // A settings file without a size reads as 0, which the classic pair has always drawn at 10 pt.
        if (const Result<void> sized = checkBmFontSize(settings); !sized) {
            print(stderr, QStringLiteral("glyfrax-export: ") + sized.error());
            return 2;
        }
        return finish(runBmFontExport(line, settings, faceName, configPath, QGuiApplication::palette(),
                                      [&line](std::int32_t width, std::int32_t height) {
                                          return approveTextureSize(line.allowLarge, width, height);
                                      }));
    }
    ProgressLine progress(!line.quiet);
    ClassicRun run;
    run.codePage = line.codePage.value_or(CodePage::windows1252());
    run.inputs = inputs;
    run.approveSide = [&line](std::int32_t side) { return approveTextureSize(line.allowLarge, side, side); };
    run.progress = [&progress](std::int32_t side, int percent) { progress.show(side, percent); };
    const Result<ExportedFiles> exported =
        exportClassic(QFileInfo(line.bitmapPath).absoluteFilePath(), settings, QGuiApplication::palette(), run);
    progress.finish();
    if (!exported) {
        print(stderr, QStringLiteral("glyfrax-export: ") + exported.error());
        return 1;
    }
    if (line.quiet)
        return 0;
    print(stdout, textureSizeCaption(exported->layout.side));
    print(stdout, shownPath(exported->metricsPath));
    print(stdout, shownPath(exported->bitmapPath));
    return finish(0);
}

int main(int argc, char* argv[])
{
    qInstallMessageHandler(handleQtMessage);
    // No display needed, whatever the environment names: Qt's offscreen platform always works.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glyfrax-export"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    installGermanTranslations(app);
    const int exitCode = runCommandLine();
#if !defined(GLYFRAX_LEAK_CHECKED)
    // The process ends here, without tearing Qt down. Everything of ours is written, closed and
    // flushed by now, and the teardown would cost more than a small export: the font library
    // would read its whole configuration, for --version too, only to free it. A leak checker
    // gets the teardown.
    std::fflush(nullptr); // _Exit drops what stdio still holds
    std::_Exit(exitCode);
#endif
    return exitCode;
}
