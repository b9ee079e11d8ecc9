#include "app/MainWindow.h"
#include "app/AboutDialog.h"
#include "app/ExportPropsDialog.h"
#include "settings/ProfileFile.h"
#include "support/FakeDialogs.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

namespace {

const QByteArray kConfig = "[Font]\r\nName=DejaVu Sans\r\nSize=14\r\nBold=255\r\nItalic=0\r\nColor=16777215\r\n"
                           "BackColor=8421504\r\n[Export Option]\r\nWriteBinary=0\r\nTakeLong=0\r\nCharTxt=C\r\n"
                           "XTxt=X\r\nYTxt=Y\r\nWTxt=W\r\nHTxt=H\r\nXDist=1\r\nYDist=1\r\n";

QColor previewBackground(const MainWindow& window)
{
    return window.findChild<QLabel*>(u"PreLabel"_s)->pixmap().toImage().pixelColor(0, 0);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }
    void init();
    void startsInTheSavedFontAndColours();
    void menuHasTheCaptionsAndShortcuts();
    void fontCommandTakesFaceSizeBoldItalic();
    void colourCommandsOpenOnTheirOwnColour();
    void quitAndCloseControlBothSave();
    void closingWithAReadOnlySettingsFileIsSilent();
    void exportSettingsDialogIsOneAndOnlyConfirmedOptionsCount();
    void helpAndWebOpenTheirTargets();
    void exportWritesBothFilesAndReportsFailures();
    void badSettingsAreReportedOnce();

private:
    std::unique_ptr<MainWindow> makeWindow();

    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeDialogs m_dialogs;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_dialogs = test::FakeDialogs();
    QVERIFY(writeBytes(settingsPath(m_dir->path()), kConfig));
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow()
{
    return std::make_unique<MainWindow>(m_dir->path(), readSettingsFile(settingsPath(m_dir->path())).settings,
                                        m_dialogs);
}

void TestMainWindow::startsInTheSavedFontAndColours()
{
    auto window = makeWindow();
    QCOMPARE(window->objectName(), u"Glyfrax"_s);
    QCOMPARE(window->windowTitle(), u"Glyfrax"_s);
    QCOMPARE(window->centralWidget()->size(), QSize(295, 296));
    QCOMPARE(window->findChild<QLabel*>(u"TexLabel"_s)->text(), textureSizeCaption(window->layout().TextureSize));
    QCOMPARE(window->font().family(), u"DejaVu Sans"_s);
    QVERIFY(window->font().bold());
    QVERIFY(!window->findChild<QLabel*>(u"TexLabel"_s)->font().bold()); // controls keep the desktop font
    auto* preLabel = window->findChild<QLabel*>(u"PreLabel"_s);
    QVERIFY(!preLabel->isHidden());
    QVERIFY(!preLabel->accessibleName().isEmpty());
    QVERIFY(window->previewText().endsWith(QChar(0xFF)));
    QCOMPARE(window->previewText().count(u'\n'), window->layout().LineEndCount);
    QCOMPARE(previewBackground(*window), QColor(128, 128, 128)); // 8421504

    window->chooseFont(); // opens on the saved font
    QCOMPARE(m_dialogs.fontsOffered.value(0).family(), u"DejaVu Sans"_s);
    QVERIFY(m_dialogs.fontsOffered.value(0).bold());
}

void TestMainWindow::menuHasTheCaptionsAndShortcuts()
{
    auto window = makeWindow();
    const struct
    {
        const char16_t* name;
        const char16_t* caption;
        const char16_t* shortcut;
    } entries[] = {{u"m_file", u"&Datei", u""},
                   {u"m_save", u"Bitmap &exportieren", u"Ctrl+S"},
                   {u"m_quit", u"&Beenden", u"Ctrl+Q"},
                   {u"m_xtras", u"E&xtras", u""},
                   {u"m_font", u"&Schriftart einstellen", u"Ctrl+E"},
                   {u"m_forecolor", u"Shrift&farbe einstellen", u"Ctrl+F"},
                   {u"n_backcolor", u"Hintergrund&farbe einstellen", u"Ctrl+C"},
                   {u"m_props", u"Exporteinstellungen", u"Ctrl+P"},
                   {u"m_info", u"&?", u""},
                   {u"m_help", u"&Hilfe", u"F1"},
                   {u"m_www", u"glyfrax.example.org", u""},
                   {u"m_about", u"&Info zu Glyfrax...", u""}};
    for (const auto& entry : entries) {
        const auto* action = window->findChild<QAction*>(QString::fromUtf16(entry.name));
        QVERIFY2(action, qPrintable(QString::fromUtf16(entry.name)));
        QCOMPARE(action->text(), QString::fromUtf16(entry.caption));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromUtf16(entry.shortcut)));
    }
}

void TestMainWindow::fontCommandTakesFaceSizeBoldItalic()
{
    auto window = makeWindow();
    const int sideBefore = window->layout().TextureSize;
    QFont chosen(u"DejaVu Sans"_s);
    chosen.setPointSizeF(30.0);
    chosen.setItalic(true);
    chosen.setUnderline(true); // no setting: ignored
    m_dialogs.fontAnswer = chosen;
    window->chooseFont();
    const FontSettings font = window->settings().font;
    QVERIFY(font.size == 30.0F && font.italic && !font.bold && font.textColor == 16777215);
    QVERIFY(window->font().italic() && window->font().pointSizeF() == 30.0);
    QVERIFY(window->layout().TextureSize > sideBefore);
    QCOMPARE(window->findChild<QLabel*>(u"TexLabel"_s)->text(), textureSizeCaption(window->layout().TextureSize));

    m_dialogs.fontAnswer.reset(); // cancelled: the same font, laid out again
    window->chooseFont();
    QCOMPARE(window->settings().font, font);
    QFont blank;
    blank.setFamily(u"  "_s); // an empty face changes nothing
    m_dialogs.fontAnswer = blank;
    window->chooseFont();
    QCOMPARE(window->settings().font, font);
    chosen.setPointSizeF(5000.0); // beyond what the settings file and a bitmap can hold
    m_dialogs.fontAnswer = chosen;
    window->chooseFont();
    QCOMPARE(window->settings().font, font);
    QCOMPARE(m_dialogs.warnings.size(), 1);
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
    QCOMPARE(previewBackground(*window), QColor(255, 0, 0));
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
            window->findChild<QAction*>(u"m_quit"_s)->trigger();
        else
            window->close();
        const Settings saved = readSettingsFile(ini).settings;
        QCOMPARE(saved.font.textColor, 0xFF0000);
        QCOMPARE(saved.font.face, u"DejaVu Sans"_s);
        QCOMPARE(ProfileFile::load(ini).value(u"Font"_s, u"Bold"_s), u"255"_s);
    }
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

void TestMainWindow::exportSettingsDialogIsOneAndOnlyConfirmedOptionsCount()
{
    auto window = makeWindow();
    window->findChild<QAction*>(u"m_props"_s)->trigger();
    ExportPropsDialog* dialog = window->exportPropsDialog();
    dialog->findChild<QLineEdit*>(u"XText"_s)->setText(u"confirmed"_s);
    window->findChild<QAction*>(u"m_props"_s)->trigger(); // to the front, with the entries kept
    QCOMPARE(window->exportPropsDialog(), dialog);
    QCOMPARE(dialog->findChild<QLineEdit*>(u"XText"_s)->text(), u"confirmed"_s);
    dialog->findChild<QPushButton*>(u"OKButton"_s)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window->exportPropsDialog());
    QCOMPARE(window->settings().options.xTxt, u"confirmed"_s);

    // Pending edits die with the program; only what was confirmed is saved.
    window->showExportProps();
    window->showAbout();
    QPointer<ExportPropsDialog> pending = window->exportPropsDialog();
    pending->findChild<QLineEdit*>(u"CharText"_s)->setText(u"pending"_s);
    window->close();
    QVERIFY(!pending && !window->aboutDialog());
    const ExportOptions saved = readSettingsFile(settingsPath(m_dir->path())).settings.options;
    QVERIFY(saved.charTxt == u"C"_s && saved.xTxt == u"confirmed"_s);
}

void TestMainWindow::helpAndWebOpenTheirTargets()
{
    auto window = makeWindow();
    window->openHelp(); // no help page: nothing happens, nothing is said
    QVERIFY(m_dialogs.opened.isEmpty() && m_dialogs.warnings.isEmpty());
    QVERIFY(writeBytes(m_dir->filePath(u"hilfe.html"_s), "<html></html>"));
    window->findChild<QAction*>(u"m_help"_s)->trigger();
    QCOMPARE(m_dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(m_dir->filePath(u"hilfe.html"_s))});
    window->findChild<QAction*>(u"m_www"_s)->trigger();
    QCOMPARE(m_dialogs.opened.last().host(), u"glyfrax.example.org"_s);
}

void TestMainWindow::exportWritesBothFilesAndReportsFailures()
{
    auto window = makeWindow();
    m_dialogs.pathAnswer = m_dir->filePath(u"schrift.bmp"_s);
    window->findChild<QAction*>(u"m_save"_s)->trigger();
    QVERIFY(m_dialogs.warnings.isEmpty());
    QCOMPARE(readBytes(m_dir->filePath(u"schrift.fnt"_s)).count('\n'), 224);
    QVERIFY(!QImage(m_dialogs.pathAnswer).isNull());
    QVERIFY(!window->findChild<QLabel*>(u"PreLabel"_s)->isHidden());

    m_dialogs.pathAnswer = m_dir->filePath(u"nowhere/schrift.bmp"_s);
    window->exportBitmap();
    QCOMPARE(m_dialogs.warnings.size(), 1);
    QVERIFY(m_dialogs.warnings.first().contains(u"nowhere"_s));

    m_dialogs.pathAnswer.clear(); // cancelled
    window->exportBitmap();
    QCOMPARE(m_dialogs.warnings.size(), 1);
    QVERIFY(!window->findChild<QLabel*>(u"PreLabel"_s)->isHidden());
}

void TestMainWindow::badSettingsAreReportedOnce()
{
    const QString ini = settingsPath(m_dir->path());
    QVERIFY(writeBytes(ini, "[Font]\r\nSize=abc\r\nName=DejaVu Sans\r\n[Export Option]\r\nXDist=-4\r\n"));
    const LoadedSettings loaded = readSettingsFile(ini);
    MainWindow window(m_dir->path(), loaded.settings, m_dialogs);
    window.reportSettingProblems(ini, loaded.problems);
    QCOMPARE(m_dialogs.warnings.size(), 1);
    QVERIFY(m_dialogs.warnings.first().contains(u"[Font] Size = „abc“"_s));
    QVERIFY(m_dialogs.warnings.first().contains(u"[Export Option] XDist = „-4“"_s));
    QVERIFY(window.layout().TextureSize >= 128);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
