// glyfrax-export: the window program's export, for build scripts. Exit codes: 0 done,
// 1 the export or its input failed, 2 the command line is wrong.

#include "Version.h"
#include "base/FileSafety.h"
#include "base/Localization.h"
#include "cli/CommandLine.h"
#include "cli/ModernCommand.h"
#include "export/FontExport.h"
#include "render/FontSource.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(handleQtMessage);
    // No display needed, whatever the environment names: Qt's offscreen platform always works.
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glyfrax-export"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    installGermanTranslations(app);

    const Result<CommandLine> parsed = parseCommandLine(QCoreApplication::arguments());
    if (!parsed) {
        print(stderr, QStringLiteral("glyfrax-export: ") + shownText(parsed.error()));
        print(stderr, QStringLiteral("Aufruf: glyfrax-export [Optionen] BITMAP   (Übersicht: glyfrax-export --help)"));
        return 2;
    }
    const CommandLine& line = *parsed;
    switch (line.action) {
    case CommandLine::Action::ShowHelp:
        print(stdout, line.helpText);
        return 0;
    case CommandLine::Action::ShowVersion:
        print(stdout, QStringLiteral("glyfrax-export ") + QCoreApplication::applicationVersion());
        return 0;
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
    if (const QString report = describeLoadedSettings(configPath, loaded); !report.isEmpty())
        print(stderr, QStringLiteral("glyfrax-export: ") + report);
    if (!loaded.fileProblem.isEmpty())
        return 1;
    Settings settings = loaded.settings;
    QStringList inputs{configPath}; // never to be replaced by the export

    if (!line.fontFile.isEmpty()) {
        const Result<QString> family = registerFontFile(line.fontFile);
        if (!family) {
            print(stderr, QStringLiteral("glyfrax-export: ") + family.error());
            return 1;
        }
        settings.font.face = *family;
        inputs.append(line.fontFile);
    }
    line.overrides.applyTo(settings);
    // The window draws a stand-in for a face that is not installed; a build would quietly ship it.
    if (!isFaceInstalled(settings.font.face)) {
        print(stderr, QStringLiteral("glyfrax-export: ") + faceNotInstalledMessage(settings.font.face));
        return 1;
    }

    if (line.format == CommandLine::Format::BmFont)
        return runModernExport(line, settings, configPath, QGuiApplication::palette());
    const Result<ExportedFiles> exported =
        exportFont(QFileInfo(line.bitmapPath).absoluteFilePath(), settings, QGuiApplication::palette(),
                   {line.codePage.value_or(CodePage::windows1252()), inputs});
    if (!exported) {
        print(stderr, QStringLiteral("glyfrax-export: ") + exported.error());
        return 1;
    }
    print(stdout, textureSizeCaption(exported->layout.side));
    print(stdout, shownPath(exported->metricsPath));
    print(stdout, shownPath(exported->bitmapPath));
    return 0;
}
