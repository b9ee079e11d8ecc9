// glyfrax-export: the window program's export, for build scripts. Exit codes: 0 done,
// 1 the export or its input failed, 2 the command line is wrong.

#include "Version.h"
#include "base/Localization.h"
#include "cli/CommandLine.h"
#include "cli/ModernCommand.h"
#include "export/FontExport.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdio>

using namespace glyfrax;

namespace {

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

QString fontFileProblem(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("Die Datei existiert nicht");
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("Die Datei kann nicht gelesen werden");
    return QStringLiteral("Die Datei ist keine TrueType- oder OpenType-Schrift");
}

} // namespace

int main(int argc, char* argv[])
{
    // No display needed, unless the caller chose a platform.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glyfrax-export"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    installGermanTranslations(app);

    const Result<CommandLine> parsed = parseCommandLine(QCoreApplication::arguments());
    if (!parsed) {
        print(stderr, QStringLiteral("glyfrax-export: ") + parsed.error());
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
    if (!line.configPath.isEmpty() && !QFileInfo(configPath).isFile()) {
        print(stderr, QStringLiteral("glyfrax-export: Die Einstellungsdatei „%1“ gibt es nicht.")
                          .arg(QDir::toNativeSeparators(configPath)));
        return 1;
    }
    const LoadedSettings loaded = readSettingsFile(configPath);
    if (!loaded.problems.isEmpty())
        print(stderr, describeSettingProblems(configPath, loaded.problems));
    Settings settings = loaded.settings;

    if (!line.fontFile.isEmpty()) {
        const int id = QFontDatabase::addApplicationFont(line.fontFile);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (id < 0 || families.isEmpty()) {
            print(stderr, QStringLiteral("glyfrax-export: Die Schriftdatei „%1“ kann nicht geladen werden: %2.")
                              .arg(QDir::toNativeSeparators(line.fontFile), fontFileProblem(line.fontFile)));
            return 1;
        }
        settings.font.face = families.first();
    }
    line.overrides.applyTo(settings);

    if (line.format == CommandLine::Format::BmFont)
        return runModernExport(line, settings, configPath, QGuiApplication::palette());
    const Result<ExportedFiles> exported =
        exportFont(QFileInfo(line.bitmapPath).absoluteFilePath(), settings, QGuiApplication::palette(),
                   line.codePage.value_or(CodePage::windows1252()));
    if (!exported) {
        print(stderr, QStringLiteral("glyfrax-export: ") + exported.error());
        return 1;
    }
    print(stdout, textureSizeCaption(exported->layout.side));
    print(stdout, QDir::toNativeSeparators(exported->metricsPath));
    print(stdout, QDir::toNativeSeparators(exported->bitmapPath));
    return 0;
}
