#include "app/shared/DialogService.h"
#include "app/window/ExportRunner.h"
#include "app/window/MainWindow.h"
#include "base/AtomicFile.h"
#include "export/classic/ClassicExport.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QTest>
#include <QtWidgets>

#include <chrono>
#include <thread>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

// Logs what the window tells; every question is answered with Abbrechen.
class LoggedDialogs final : public DialogService
{
public:
    QStringList log;

    std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return {}; }
    std::optional<QColor> chooseColor(QWidget*, const QColor&, const QString&) override { return {}; }
    QString chooseBitmapPath(QWidget*, const QString&) override { return {}; }
    FileAnswer chooseFile(QWidget*, const FileQuestion&) override { return {}; }
    std::optional<QString> enterText(QWidget*, const QString&, const QString&) override { return {}; }
    void showWarning(QWidget*, const QString& message) override { log << u"warning: "_s + message; }
    void showMessage(QWidget*, const QString& message) override { log << u"message: "_s + message; }
    bool openUrl(const QUrl&) override { return false; }
};

void clickAbbrechen(QProgressDialog& progress)
{
    progress.findChild<QPushButton*>()->click();
}

} // namespace

class TestExportRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }

    // The work runs beside the window's thread, which shows what it is told and passes Abbrechen
    // on; meanwhile the window's commands are off and it does not close.
    void abbrechenReachesTheWork()
    {
        QWidget window;
        QAction* command = window.addAction(u"Befehl"_s);
        QAction* offAlready = window.addAction(u"Aus"_s);
        offAlready->setEnabled(false);
        window.show();
        QStringList seen; // on the window's thread, while the work waits to hear of Abbrechen
        QThread* workThread = nullptr;
        {
            ExportRunner runner(&window, u"Export"_s);
            runner.progress().setCancelButtonText(u"Abbrechen"_s);
            runner.run([&] {
                workThread = QThread::currentThread();
                runner.tell([&](QProgressDialog& shown) {
                    shown.setLabelText(u"Seite 1"_s);
                    seen << u"told on the window's thread: %1"_s.arg(int(QThread::currentThread() == thread()));
                    seen << u"command on: %1, closed: %2"_s.arg(int(command->isEnabled())).arg(int(window.close()));
                    clickAbbrechen(shown);
                });
                for (int waited = 0; waited < 10000 && runner.stillWanted(); ++waited)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return 0;
            });
            seen << runner.progress().labelText();
            QVERIFY(!runner.stillWanted());
        }
        QVERIFY(workThread != thread());
        QCOMPARE(seen, (QStringList{u"told on the window's thread: 1"_s, u"command on: 0, closed: 0"_s, u"Seite 1"_s}));
        QVERIFY(command->isEnabled());
        QVERIFY(!offAlready->isEnabled());
        QVERIFY(window.close());
    }

    // Abbrechen as soon as the window's events go on: each export, and a project's build, keeps the
    // earlier files.
    void cancelledExportsLeaveTheEarlierFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // the last one told
        QTest::addRow("classic") << u"classic"_s << cancelledExportMessage();
        QTest::addRow("bmfont")
            << u"bmfont"_s << u"Der BMFont-Export wurde abgebrochen; die bisherigen Dateien bleiben, wie sie waren."_s;
        QTest::addRow("project") << u"project"_s
                                 << u"Projekt „spiel“: 0 aktuell, 1 abgebrochen\nDer Bau wurde abgebrochen; die "
                                    "abgebrochenen Sätze bleiben, wie sie waren.\n\nfont: abgebrochen"_s;
    }
    void cancelledExportsLeaveTheEarlierFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QTemporaryDir dir, user;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(user.path()));
        const QString image = dir.filePath(kind == u"classic"_s ? u"font.bmp"_s : u"font.png"_s);
        const QString project = dir.filePath(u"spiel.ini"_s);
        QVERIFY(test::writeBytes(image, "earlier image"));
        QVERIFY(test::writeBytes(dir.filePath(u"font.fnt"_s), "earlier metrics"));
        QVERIFY(test::writeBytes(project, "[font]\nOutput=font.png\nFontFile=" + test::dejaVuSansPath().toUtf8() +
                                              "\nSize=200\n"));
        const QStringList before = test::entries(dir.path());
        Settings settings;
        settings.font = test::dejaVu(200.0F); // a texture of 4096 pixels: far longer than a click
        LoggedDialogs dialogs;
        MainWindow window(dir.path(), settings, dialogs);
        QTimer::singleShot(0, &window, [&window] { clickAbbrechen(*window.findChild<QProgressDialog*>()); });
        if (kind == u"project"_s) {
            window.openProjectFrom(project);
            window.buildOpenProject();
        } else {
            kind == u"bmfont"_s ? window.exportBmFontTo(image) : window.exportTo(image);
        }
        QCOMPARE(dialogs.log.last(), u"message: "_s + message);
        QCOMPARE(test::readBytes(image), "earlier image"_ba);
        QCOMPARE(test::readBytes(dir.filePath(u"font.fnt"_s)), "earlier metrics"_ba);
        QCOMPARE(test::entries(dir.path()), before);
    }
};

QTEST_MAIN(TestExportRunner)
#include "tst_exportrunner.moc"
