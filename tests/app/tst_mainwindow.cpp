#include "app/MainWindow.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/ExportPropsDialog.h"
#include "export/FontExport.h"
#include "settings/ProfileFile.h"
#include "support/FakeDialogs.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace glyfrax;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

namespace {

const QByteArray kConfig = "[Font]\r\nName=DejaVu Sans\r\nSize=14\r\nBold=255\r\nItalic=0\r\nColor=16777215\r\n"
                           "BackColor=8421504\r\n[Export Option]\r\nWriteBinary=0\r\nTakeLong=0\r\nCharTxt=C\r\n"
                           "XTxt=X\r\nYTxt=Y\r\nWTxt=W\r\nHTxt=H\r\nXDist=1\r\nYDist=1\r\n";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void startsInTheSavedFontAndColours();
    void menuHasTheCaptionsAndShortcuts_data();
    void menuHasTheCaptionsAndShortcuts();
    void fontCommandTakesFaceSizeBoldItalic();
    void fontCommandIgnoresAnEmptyFace();
    void colourCommandsOpenOnTheirOwnColour();
    void quitAndCloseControlBothSave();
    void quitKeepsOnlyConfirmedOptions();
    void closingWithAReadOnlySettingsFileIsSilent();
    void propsCommandBringsTheOpenDialogToTheFront();
    void helpOpensThePageOnlyWhenItExists();
    void exportWritesBothFilesAndReportsFailures();
    void badSettingsAreReportedOnce();

private:
    std::unique_ptr<MainWindow> makeWindow();

    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeDialogs m_dialogs;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(!test::loadDejaVuSans().isEmpty());
}

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialogs = test::FakeDialogs();
    QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("config.ini")), kConfig));
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow()
{
    const LoadedSettings loaded = readSettingsFile(settingsPath(m_dir->path()));
    return std::make_unique<MainWindow>(m_dir->path(), loaded.settings, m_dialogs);
}

void TestMainWindow::startsInTheSavedFontAndColours()
{
    auto window = makeWindow();
    QCOMPARE(window->objectName(), QStringLiteral("Glyfrax"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Glyfrax"));
    QCOMPARE(window->centralWidget()->size(), QSize(295, 296));
    QCOMPARE(window->settings().font.face, QStringLiteral("DejaVu Sans"));
    QVERIFY(window->settings().font.bold);

    auto* texLabel = window->findChild<QLabel*>(QStringLiteral("TexLabel"));
    auto* preLabel = window->findChild<QLabel*>(QStringLiteral("PreLabel"));
    QVERIFY(texLabel && preLabel);
    QCOMPARE(texLabel->text(), textureSizeCaption(window->layout().TextureSize));
    QVERIFY(!preLabel->isHidden());
    QVERIFY(!preLabel->accessibleName().isEmpty());
    QVERIFY(window->previewText().endsWith(QChar(0xFF)));
    QCOMPARE(window->previewText().count(u'\n'), window->layout().LineEndCount);
    const QImage preview = preLabel->pixmap().toImage();
    QCOMPARE(preview.pixelColor(0, 0), QColor(128, 128, 128)); // the saved background, 8421504

    // The font dialog opens on the saved font.
    window->chooseFont();
    QCOMPARE(m_dialogs.fontsOffered.value(0).family(), QStringLiteral("DejaVu Sans"));
    QVERIFY(m_dialogs.fontsOffered.value(0).bold());
}

void TestMainWindow::menuHasTheCaptionsAndShortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addRow("m_save") << "m_save"
                            << "Bitmap &exportieren" << QKeySequence(QStringLiteral("Ctrl+S"));
    QTest::addRow("m_quit") << "m_quit"
                            << "&Beenden" << QKeySequence(QStringLiteral("Ctrl+Q"));
    QTest::addRow("m_font") << "m_font"
                            << "&Schriftart einstellen" << QKeySequence(QStringLiteral("Ctrl+E"));
    QTest::addRow("m_forecolor") << "m_forecolor"
                                 << "Shrift&farbe einstellen" << QKeySequence(QStringLiteral("Ctrl+F"));
    QTest::addRow("n_backcolor") << "n_backcolor"
                                 << "Hintergrund&farbe einstellen" << QKeySequence(QStringLiteral("Ctrl+C"));
    QTest::addRow("m_props") << "m_props"
                             << "Exporteinstellungen" << QKeySequence(QStringLiteral("Ctrl+P"));
    QTest::addRow("m_help") << "m_help"
                            << "&Hilfe" << QKeySequence(QStringLiteral("F1"));
    QTest::addRow("m_www") << "m_www"
                           << "glyfrax.example.org" << QKeySequence();
    QTest::addRow("m_about") << "m_about"
                             << "&Info zu Glyfrax..." << QKeySequence();
    QTest::addRow("m_file") << "m_file"
                            << "&Datei" << QKeySequence();
    QTest::addRow("m_xtras") << "m_xtras"
                             << "E&xtras" << QKeySequence();
    QTest::addRow("m_info") << "m_info"
                            << "&?" << QKeySequence();
}

void TestMainWindow::menuHasTheCaptionsAndShortcuts()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    auto window = makeWindow();
    auto* action = window->findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), shortcut);
}

void TestMainWindow::fontCommandTakesFaceSizeBoldItalic()
{
    auto window = makeWindow();
    const int sideBefore = window->layout().TextureSize;
    QFont chosen(QStringLiteral("DejaVu Sans"));
    chosen.setPointSizeF(30.0);
    chosen.setItalic(true);
    chosen.setUnderline(true); // not a setting: ignored
    m_dialogs.fontAnswer = chosen;
    window->chooseFont();
    const FontSettings& font = window->settings().font;
    QCOMPARE(font.size, 30.0F);
    QVERIFY(font.italic);
    QVERIFY(!font.bold);
    QCOMPARE(font.textColor, 16777215);
    QVERIFY(window->layout().TextureSize > sideBefore);
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("TexLabel"))->text(),
             textureSizeCaption(window->layout().TextureSize));

    m_dialogs.fontAnswer.reset(); // cancelled: the same font, laid out again
    window->chooseFont();
    QCOMPARE(window->settings().font, font);
}

void TestMainWindow::fontCommandIgnoresAnEmptyFace()
{
    auto window = makeWindow();
    const Settings before = window->settings();
    QFont blank;
    blank.setFamily(QStringLiteral("  "));
    m_dialogs.fontAnswer = blank;
    window->chooseFont();
    QCOMPARE(window->settings(), before);
}

void TestMainWindow::colourCommandsOpenOnTheirOwnColour()
{
    auto window = makeWindow();
    const int textureSize = window->layout().TextureSize;
    window->chooseTextColor(); // cancelled
    QCOMPARE(window->settings().font.textColor, 16777215);
    m_dialogs.colorAnswer = QColor(255, 0, 0);
    window->chooseBackColor();
    QCOMPARE(m_dialogs.colorsOffered, (QList<QColor>{QColor(255, 255, 255), QColor(128, 128, 128)}));
    QCOMPARE(window->settings().font.backColor, 255);
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("PreLabel"))->pixmap().toImage().pixelColor(0, 0),
             QColor(255, 0, 0));
    QCOMPARE(window->layout().TextureSize, textureSize);
}

void TestMainWindow::quitAndCloseControlBothSave()
{
    const QString ini = settingsPath(m_dir->path());
    for (bool quit : {true, false}) {
        QVERIFY(writeBytes(ini, kConfig));
        auto window = makeWindow();
        window->show();
        m_dialogs.colorAnswer = QColor(0, 0, 255);
        window->chooseTextColor();
        if (quit)
            window->findChild<QAction*>(QStringLiteral("m_quit"))->trigger();
        else
            window->close();
        const Settings saved = readSettingsFile(ini).settings;
        QCOMPARE(saved.font.textColor, 0xFF0000);
        QCOMPARE(saved.font.face, QStringLiteral("DejaVu Sans"));
        QCOMPARE(ProfileFile::load(ini).value(QStringLiteral("Font"), QStringLiteral("Bold")), QStringLiteral("255"));
    }
}

void TestMainWindow::quitKeepsOnlyConfirmedOptions()
{
    auto window = makeWindow();
    window->showExportProps();
    window->showAbout();
    QPointer<ExportPropsDialog> dialog = window->exportPropsDialog();
    QVERIFY(dialog);
    dialog->findChild<QLineEdit*>(QStringLiteral("CharText"))->setText(QStringLiteral("pending"));
    window->close();
    QVERIFY(!dialog); // closed with the main window
    QVERIFY(!window->aboutDialog());
    QCOMPARE(readSettingsFile(settingsPath(m_dir->path())).settings.options.CharTxt, QStringLiteral("C"));
}

void TestMainWindow::closingWithAReadOnlySettingsFileIsSilent()
{
    const QString ini = settingsPath(m_dir->path());
    QFile::setPermissions(ini, QFileDevice::ReadOwner);
    auto window = makeWindow();
    m_dialogs.colorAnswer = QColor(0, 0, 255);
    window->chooseTextColor();
    window->close();
    QVERIFY(m_dialogs.warnings.isEmpty());
    QCOMPARE(readBytes(ini), kConfig);
}

void TestMainWindow::propsCommandBringsTheOpenDialogToTheFront()
{
    auto window = makeWindow();
    window->findChild<QAction*>(QStringLiteral("m_props"))->trigger();
    ExportPropsDialog* first = window->exportPropsDialog();
    first->findChild<QLineEdit*>(QStringLiteral("XText"))->setText(QStringLiteral("unconfirmed"));
    window->findChild<QAction*>(QStringLiteral("m_props"))->trigger();
    QCOMPARE(window->exportPropsDialog(), first);
    QCOMPARE(first->findChild<QLineEdit*>(QStringLiteral("XText"))->text(), QStringLiteral("unconfirmed"));

    first->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window->exportPropsDialog());
    QCOMPARE(window->settings().options.XTxt, QStringLiteral("unconfirmed"));
}

void TestMainWindow::helpOpensThePageOnlyWhenItExists()
{
    auto window = makeWindow();
    window->openHelp();
    QVERIFY(m_dialogs.opened.isEmpty());
    QVERIFY(m_dialogs.warnings.isEmpty());
    QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("hilfe.html")), "<html></html>"));
    window->findChild<QAction*>(QStringLiteral("m_help"))->trigger();
    QCOMPARE(m_dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("hilfe.html")))});
    window->openWebsite();
    QCOMPARE(m_dialogs.opened.last().host(), QStringLiteral("glyfrax.example.org"));
}

void TestMainWindow::exportWritesBothFilesAndReportsFailures()
{
    auto window = makeWindow();
    m_dialogs.pathAnswer = m_dir->filePath(QStringLiteral("schrift.bmp"));
    window->findChild<QAction*>(QStringLiteral("m_save"))->trigger();
    QVERIFY(m_dialogs.warnings.isEmpty());
    QCOMPARE(readBytes(m_dir->filePath(QStringLiteral("schrift.fnt"))).count('\n'), 224);
    QVERIFY(!QImage(m_dialogs.pathAnswer).isNull());
    QVERIFY(!window->findChild<QLabel*>(QStringLiteral("PreLabel"))->isHidden());

    m_dialogs.pathAnswer = m_dir->filePath(QStringLiteral("nowhere/schrift.bmp"));
    window->exportBitmap();
    QCOMPARE(m_dialogs.warnings.size(), 1);
    QVERIFY(m_dialogs.warnings.first().contains(QStringLiteral("nowhere")));
    QVERIFY(window->isEnabled());

    m_dialogs.pathAnswer.clear(); // cancelled
    window->exportBitmap();
    QCOMPARE(m_dialogs.warnings.size(), 1);
}

void TestMainWindow::badSettingsAreReportedOnce()
{
    QVERIFY(writeBytes(settingsPath(m_dir->path()), "[Font]\r\nSize=abc\r\nName=DejaVu Sans\r\n"
                                                    "[Export Option]\r\nXDist=-4\r\n"));
    const LoadedSettings loaded = readSettingsFile(settingsPath(m_dir->path()));
    MainWindow window(m_dir->path(), loaded.settings, m_dialogs);
    window.reportSettingProblems(settingsPath(m_dir->path()), loaded.problems);
    QCOMPARE(m_dialogs.warnings.size(), 1);
    QVERIFY(m_dialogs.warnings.first().contains(QStringLiteral("[Font] Size = „abc“")));
    QVERIFY(m_dialogs.warnings.first().contains(QStringLiteral("[Export Option] XDist = „-4“")));
    QVERIFY(window.layout().TextureSize >= 128);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
