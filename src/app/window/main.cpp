#include "app/shared/DialogService.h"
#include "app/window/MainWindow.h"
#include "base/Localization.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glyfrax"));
    glyfrax::installGermanTranslations(app);

    const QString folder = QCoreApplication::applicationDirPath();
    const glyfrax::SettingsLocation location = glyfrax::locateSettings(folder);
    // Without a copy of its own, an installed copy reads the shipped defaults and writes its
    // own file when the window closes.
    static_cast<void>(glyfrax::provideUserSettings(location));
    const QString iniPath = glyfrax::settingsFileToRead(location);
    const glyfrax::LoadedSettings loaded = glyfrax::readSettingsFile(iniPath);

    glyfrax::QtDialogService dialogs;
    glyfrax::MainWindow window(folder, loaded.settings, dialogs);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    // Told once the window stands, so the user sees which program is speaking.
    QTimer::singleShot(0, &window, [&] { window.reportStartup(iniPath, loaded); });
    return QApplication::exec();
}
