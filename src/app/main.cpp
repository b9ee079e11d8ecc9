#include "app/DialogService.h"
#include "app/MainWindow.h"
#include "base/Localization.h"
#include "render/FontSource.h"
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
    const QString iniPath = glyfrax::settingsPath(folder);
    const glyfrax::LoadedSettings loaded = glyfrax::readSettingsFile(iniPath);

    glyfrax::QtDialogService dialogs;
    glyfrax::MainWindow window(folder, loaded.settings, dialogs);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    // Told once the window stands, so the user sees which program is speaking.
    QTimer::singleShot(0, &window, [&] {
        if (const QString report = glyfrax::startupReport(iniPath, loaded); !report.isEmpty())
            dialogs.showWarning(&window, report);
    });
    return QApplication::exec();
}
