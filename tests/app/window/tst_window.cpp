#include "Version.h"
#include "app/options/BmFontPropsDialog.h"
#include "app/options/CharacterGridModel.h"
#include "app/options/ClassicPropsDialog.h"
#include "app/options/FallbackFaces.h"
#include "app/shared/DialogService.h"
#include "app/shared/TextEntryDialog.h"
#include "app/view/TextureView.h"
#include "app/window/AboutDialog.h"
#include "app/window/MainWindow.h"
#include "export/bmfont/BmFontExport.h"
#include "settings/ProfileFile.h"
#include "support/ChildProcess.h"
#include "support/Golden.h"
#include "support/TestFont.h"

#include <QSignalSpy>
#include <QTest>
#include <QtWidgets>

using namespace glyfrax;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TextureProfile)
Q_DECLARE_METATYPE(Qt::Key)

namespace {

// Spelled as a person might write it, with a value no control of the dialog offers.
constexpr char kBmFontSection[] =
    "[BMFont]\r\n; eigene Zeile\r\nchars = 32-126, 0x20AC\r\nPadding=02\r\nCodePage=874\r\n";
// A fallback that is not installed (with a "|" in its name), a collection's second face, and the
// switches against their defaults.
constexpr char kNewerSection[] =
    "[BMFont]\r\nFallback = Gibt\\|es nicht | /usr/share/fonts/truetype/wqy/wqy-microhei.ttc#1"
    "\r\nPixels=040\r\nCrop=true\r\nKerning=0\r\nMonochrome=255\r\n";
// Three sets: one at two scales, one the file gets wrong, one whose font file is missing.
constexpr char kProject[] = "[defaults]\nFontFile=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf\nChars=32-126\n"
                            "Scales=1,2\n\n[ui]\nOutput=out/ui.png\nPixels=24\n\n[kaputt]\nOutput=out/k.png\n"
                            "Sizee=3\n\n[titel]\nOutput=out/titel.png\nFontFile=fehlt.ttf\nScales=1.5\n";
constexpr char kCollection[] = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

// The settings as the settings file holds them, on one line.
QString asText(const Settings& settings)
{
    ProfileFile profile;
    writeSettings(profile, settings);
    return QString::fromUtf8(profile.toBytes()).replace(u"\r\n"_s, u" "_s);
}

// Answers the window's dialogs as the test says, and logs what was asked and shown.
class FakeDialogs final : public DialogService
{
public:
    std::optional<QFont> fontAnswer;
    std::optional<QColor> colorAnswer;
    QString pathAnswer;
    QList<FileAnswer> fileAnswers; // one for each file dialog in turn; none left: cancelled
    std::optional<QString> textAnswer;
    QStringList log;
    QStringList folders; // where each file dialog opened

    std::optional<QFont> chooseFont(QWidget*, const QFont& current) override
    {
        log << u"font offered: "_s + current.toString();
        return fontAnswer;
    }
    std::optional<QColor> chooseColor(QWidget*, const QColor& current, const QString& title) override
    {
        log << title + u" offered: "_s + current.name();
        return colorAnswer;
    }
    QString chooseBitmapPath(QWidget*, const QString&) override { return pathAnswer; }
    FileAnswer chooseFile(QWidget*, const FileQuestion& question) override
    {
        log << question.title + u": "_s + question.filters.join(u", "_s);
        folders << question.folder;
        return fileAnswers.isEmpty() ? FileAnswer{} : fileAnswers.takeFirst();
    }
    std::optional<QString> enterText(QWidget*, const QString& title, const QString&) override
    {
        log << title + u" offered"_s;
        return textAnswer;
    }
    void showWarning(QWidget*, const QString& message) override { log << u"warning: "_s + message; }
    void showMessage(QWidget*, const QString& message) override { log << u"message: "_s + message; }
    bool browser = true; // whether a file or address opens
    bool openUrl(const QUrl& url) override
    {
        log << (browser ? u"opened: "_s : u"not opened: "_s) + url.toString();
        return browser;
    }
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }
    void init()
    {
        m_window.reset(); // before its dialogs and folder
        m_dialogs = FakeDialogs();
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(u"user"_s))); // where the user's folders are kept
        m_ini = settingsPath(m_dir->path());
        restart(m_config);
    }

    // Every command in turn, with what the window then shows, holds and asks, as a golden transcript.
    void scenario()
    {
        MainWindow& window = *m_window;
        QCOMPARE(window.centralWidget()->size(), QSize(295, 296));
        QVERIFY(!label(u"TexLabel")->font().bold()); // the controls keep the desktop font
        QVERIFY(!label(u"PreLabel")->accessibleName().isEmpty());
        window.reportStartup(m_ini, readSettingsFile(m_ini));
        note(u"start, the problems of the settings file told in the order of the keys"_s);
        commandsAndTabOrder();

        run(u"m_forecolor");
        note(u"text colour cancelled"_s);
        m_dialogs.colorAnswer = QColor(255, 0, 0);
        run(u"n_backcolor");
        note(u"background red"_s);
        run(u"m_texview");
        QPointer<TextureView> view = window.textureView();
        run(u"m_texview");
        QCOMPARE(window.textureView(), view);
        note(u"texture view, asked for twice: one"_s);

        run(u"m_props");
        child<QScrollBar>(u"XScroll")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        note(u"export settings, X one step on"_s);
        child<QScrollBar>(u"XScroll")->setSliderDown(true);
        child<QScrollBar>(u"XScroll")->setSliderPosition(7);
        note(u"X dragged to 7"_s);
        child<QScrollBar>(u"XScroll")->setSliderDown(false);
        child<QLineEdit>(u"XText")->setText(u"confirmed"_s);
        run(u"m_props"); // to the front, the edits kept
        child<QRadioButton>(u"BinaryOpt")->click();
        child<QRadioButton>(u"LongOpt")->click();
        child<QLineEdit>(u"YText")->setText(u" Y "_s);
        child<QScrollBar>(u"YScroll")->setValue(10);
        note(u"binary, 32 bits, Y text and Y 10 chosen"_s);
        child<QPushButton>(u"OKButton")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        note(u"OK"_s);
        for (const char16_t* button : {u"", u"CancelButton"}) {
            run(u"m_props");
            child<QLineEdit>(u"CharText")->setText(u"dismissed"_s);
            note(u"export settings again, char text edited"_s);
            if (*button)
                child<QPushButton>(button)->click();
            else
                QTest::keyClick(window.exportPropsDialog(), Qt::Key_Escape);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            note(*button ? u"Cancel"_s : u"Escape"_s);
        }

        m_dialogs.pathAnswer = m_dir->filePath(u"schrift.bmp"_s);
        run(u"m_save");
        QCOMPARE(test::readBytes(m_dir->filePath(u"schrift.fnt"_s)).size(), 3584);
        QCOMPARE(QImage(m_dialogs.pathAnswer).size(), QSize(512, 512));
        m_dialogs.pathAnswer = m_dir->filePath(u"nowhere/schrift.bmp"_s);
        run(u"m_save");
        m_dialogs.pathAnswer.clear();
        run(u"m_save");
        note(u"exported, then into a missing folder, then cancelled"_s);

        bmFontSettingsAndExport();
        settingsSavedAndLoaded();

        ClassicOptions wide = window.settings().options;
        wide.xDist = 25;
        window.applyExportOptions(wide);
        run(u"m_props");
        child<QPushButton>(u"OKButton")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        note(u"X 25 confirmed elsewhere, then OK in the export settings, which hold it"_s);
        run(u"m_props");
        child<QLineEdit>(u"CharText")->setText(u"pending"_s);
        note(u"export settings open at X 25, char text edited"_s);

        run(u"m_about");
        AboutDialog* about = window.aboutDialog();
        QCOMPARE(AboutDialog::versionLine(2, 0, 12), u"Version 2.0.12"_s);
        QVERIFY(about->findChild<QPushButton*>(u"cmdOK"_s)->isDefault());
        about->findChild<QPushButton*>(u"cmdSysInfo"_s)->click();
        QTest::mouseClick(about->findChild<QLabel*>(u"Hyperlink"_s), Qt::LeftButton);
        run(u"m_help"); // no help page
        QVERIFY(test::writeBytes(m_dir->filePath(u"hilfe.html"_s), "<html></html>"));
        run(u"m_help");
        m_dialogs.browser = false;
        run(u"m_help");
        m_dialogs.browser = true;
        run(u"m_www");
        note(u"about, system information, web link, help without and with its page, without a browser, web site"_s);

        for (const auto& [face, size] : {std::pair{u"  "_s, 30.0},
                                         {u"DejaVu Sans"_s, 1638.01},
                                         {u"DejaVu Sans"_s, 30.0},
                                         {u"DejaVu Sans"_s, 1638.0}}) {
            QFont chosen(face);
            chosen.setPointSizeF(size);
            chosen.setItalic(true);
            chosen.setUnderline(true); // no setting: ignored
            m_dialogs.fontAnswer = chosen;
            run(u"m_font");
            note(u"font \"%1\" %2 pt italic chosen"_s.arg(face).arg(size));
        }
        m_dialogs.fontAnswer.reset();
        run(u"m_font");
        note(u"font cancelled"_s);

        QPointer<ClassicPropsDialog> pending = window.exportPropsDialog();
        run(u"m_quit");
        QVERIFY(!pending);
        QVERIFY(!view);
        QVERIFY(!window.aboutDialog());
        m_transcript += u"## saved\n"_s + QString::fromUtf8(test::readBytes(m_ini)).replace(u"\r\n"_s, u" "_s);
        GLYFRAX_COMPARE_GOLDEN(m_transcript.toUtf8(), u"window-scenario.txt"_s);
    }

    // The window's set is the one glyfrax-export makes from the same settings file, byte for byte.
    void bmFontExportMatchesTheExporter_data()
    {
        QTest::addColumn<QByteArray>("options");
        QTest::addRow("defaults") << QByteArray();
        QTest::addRow("XML, code page 1251, padding 3, non-square, opaque, pages of 128")
            << QByteArray("[BMFont]\r\nDescriptor=xml\r\nCodePage=1251\r\nPadding=3\r\nNonSquare=255\r\nOpaque=255\r\n"
                          "MaxTexture=128\r\n");
    }

    void bmFontExportMatchesTheExporter()
    {
        QFETCH(QByteArray, options);
        restart(m_config + options);
        const QDir window(m_dir->filePath(u"window"_s)), cli(m_dir->filePath(u"cli"_s));
        QVERIFY(window.mkpath(u"."_s) && cli.mkpath(u"."_s));
        m_dialogs.fileAnswers = {{window.filePath(u"set"_s), 0}};
        run(u"m_savebmfont");
        QVERIFY2(m_dialogs.log.last().startsWith(u"message: Textur: "_s), qPrintable(m_dialogs.log.last()));
        const test::ChildRun exporter =
            test::runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                           {u"--format"_s, u"bmfont"_s, u"--config"_s, m_ini, cli.filePath(u"set.png"_s)});
        QCOMPARE(exporter.exitCode, 0);
        const QStringList files = cli.entryList(QDir::Files);
        QCOMPARE(window.entryList(QDir::Files), files);
        QVERIFY(files.size() >= (options.isEmpty() ? 2 : 4));
        for (const QString& file : files)
            QVERIFY2(test::readBytes(window.filePath(file)) == test::readBytes(cli.filePath(file)), qPrintable(file));
    }

    // A [BMFont] section keeps its bytes through a start and a quit; a changed option changes its line alone.
    void bmFontSectionKeepsItsBytes_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QString>("edit"); // in the dialog; empty: the dialog is not opened
        QTest::addColumn<QByteArray>("expected");
        const QByteArray section(kBmFontSection), newer(kNewerSection);
        QTest::addRow("untouched") << section << QString() << section;
        QTest::addRow("OK without a change") << section << u"OK"_s << section;
        QTest::addRow("padding 5") << section << u"padding 5"_s
                                   << QByteArray(section).replace("Padding=02", "Padding=5");
        QTest::addRow("OK without a change, a fallback not found") << newer << u"OK"_s << newer;
        QTest::addRow("a fallback moved up, the names as they were")
            << newer << u"up"_s
            << QByteArray(newer).replace(
                   "Fallback = Gibt\\|es nicht | /usr/share/fonts/truetype/wqy/wqy-microhei.ttc#1",
                   "Fallback=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc#1|Gibt\\|es nicht");
        QTest::addRow("points, no cropping, kerning, smoothing") << newer << u"defaults"_s
                                                                 << QByteArray(newer)
                                                                        .replace("Pixels=040", "Pixels=0")
                                                                        .replace("Crop=true", "Crop=0")
                                                                        .replace("Kerning=0", "Kerning=255")
                                                                        .replace("Monochrome=255", "Monochrome=0");
        const QByteArray cells = section + "Grid=true\r\nEqualHeight=0\r\nZeroOffsets=255\r\n";
        const QByteArray missing = section + "MissingGlyph=?\r\n";
        QTest::addRow("missing glyph notdef")
            << missing << u"notdef"_s << QByteArray(missing).replace("MissingGlyph=?", "MissingGlyph=notdef");
        const QByteArray byLine = section + "LineHeight=30\r\n";
        QTest::addRow("by the capitals instead")
            << byLine << u"capitals"_s
            << QByteArray(byLine).replace("LineHeight=30", "LineHeight=0") + "CapHeight=20\r\n";
        QTest::addRow("cell switches toggled") << cells << u"cells"_s
                                               << QByteArray(cells)
                                                      .replace("Grid=true", "Grid=0")
                                                      .replace("EqualHeight=0", "EqualHeight=255")
                                                      .replace("ZeroOffsets=255", "ZeroOffsets=0");
    }

    void bmFontSectionKeepsItsBytes()
    {
        QFETCH(QByteArray, section);
        QFETCH(QString, edit);
        QFETCH(QByteArray, expected);
        restart(m_config + section);
        if (!edit.isEmpty()) {
            run(u"m_bmfont");
            if (edit == u"padding 5")
                setPadding(5);
            if (edit == u"up") {
                bmChild<QListWidget>(u"FallbackList")->setCurrentRow(1);
                bmChild<QPushButton>(u"FallbackUpButton")->click();
            }
            if (edit == u"defaults") {
                bmChild<QRadioButton>(u"PointsOpt")->setChecked(true);
                bmChild<QCheckBox>(u"CropBox")->setChecked(false);
                bmChild<QCheckBox>(u"KerningBox")->setChecked(true);
                bmChild<QCheckBox>(u"MonochromeBox")->setChecked(false);
            }
            if (edit == u"notdef") {
                auto* missing = bmChild<QLineEdit>(u"MissingGlyphText");
                missing->clear();
                QTest::keyClicks(missing, edit);
            }
            if (edit == u"capitals") {
                bmChild<QRadioButton>(u"CapHeightOpt")->setChecked(true);
                bmChild<QSpinBox>(u"CapHeightBox")->setValue(20);
            }
            if (edit == u"cells") {
                for (const char16_t* box : {u"GridBox", u"EqualHeightBox", u"ZeroOffsetsBox"})
                    bmChild<QCheckBox>(box)->toggle();
            }
            bmChild<QPushButton>(u"OKButton")->click();
        }
        run(u"m_quit");
        const QByteArray saved = test::readBytes(m_ini);
        QCOMPARE(saved.mid(saved.indexOf("[BMFont]")), expected);
    }

    // Every option of the table, away from its default (at an end of its range where it has one), comes
    // back from OK in the dialog as it was set: no page clips it or leaves it out, and the section
    // keeps its bytes.
    void everyOptionKeepsItsValue_data()
    {
        QTest::addColumn<QString>("key");
        for (const BmFontOption& option : bmFontOptionTable())
            QTest::addRow("%s", qPrintable(option.key)) << option.key;
    }

    void everyOptionKeepsItsValue()
    {
        QFETCH(QString, key);
        static const QHash<QString, QByteArray> samples{
            {u"Chars"_s, "Chars=65-90,0x1F600"},
            {u"CharsFile"_s, "CharsFile=zeichen.txt"},
            {u"CodePage"_s, "CodePage=1258"},
            {u"Fallback"_s, "Fallback=Gibt es nicht|DejaVu Sans"},
            {u"MissingGlyph"_s, "MissingGlyph=U+25A1"},
            {u"Images"_s, "Images=U+E000=icons/a@2x.png@-3,,40|U+E001=b\\|c.svg"},
            {u"ImageFolder"_s, "ImageFolder=icons"},
            {u"ColorGlyphs"_s, "ColorGlyphs=255"},
            {u"Instance"_s, "Instance=Bold Condensed"},
            {u"Axes"_s, "Axes=wght=700,wdth=87.5"},
            {u"Pixels"_s, "Pixels=2184"},
            {u"LineHeight"_s, "LineHeight=4096"},
            {u"CapHeight"_s, "CapHeight=4096"},
            {u"Padding"_s, "Padding=0,255,7,254"},
            {u"Spacing"_s, "Spacing=255,0"},
            {u"MaxTexture"_s, "MaxTexture=16384"},
            {u"NonSquare"_s, "NonSquare=255"},
            {u"Crop"_s, "Crop=255"},
            {u"KeepLayout"_s, "KeepLayout=255"},
            {u"Grid"_s, "Grid=255"},
            {u"EqualHeight"_s, "EqualHeight=255"},
            {u"ZeroOffsets"_s, "ZeroOffsets=255"},
            {u"Kerning"_s, "Kerning=0"},
            {u"Monochrome"_s, "Monochrome=255"},
            {u"Hinting"_s, "Hinting=full"},
            {u"Supersample"_s, "Supersample=4"},
            {u"Descriptor"_s, "Descriptor=binary"},
            {u"Engine"_s, "Engine=libgdx"},
            {u"Fractional"_s, "Descriptor=json\r\nFractional=255"},
            {u"Image"_s, "Image=bmp"},
            {u"Opaque"_s, "Opaque=255"},
            {u"Channels"_s, "Channels=alpha"},
            {u"Premultiplied"_s, "Premultiplied=255"},
            {u"PackChannels"_s, "PackChannels=255"},
            {u"Field"_s, "Field=mtsdf"},
            {u"DistanceRange"_s, "DistanceRange=64"},
            {u"Outline"_s, "Outline=32"},
            {u"OutlineColor"_s, "OutlineColor=#12345678"},
            {u"Shadow"_s, "Shadow=-64,64,32"},
            {u"ShadowColor"_s, "ShadowColor=#ABCDEF40"},
        };
        if (!samples.contains(key))
            QFAIL(qPrintable(u"no sample value for the option "_s + key));
        const QByteArray section = "[BMFont]\r\n" + samples[key] + "\r\n";
        restart(m_config + section);
        const BmFontOptions set = m_window->settings().bmfont;
        QVERIFY(bmFontOption(key).write(set) != bmFontOption(key).write({}));
        run(u"m_bmfont");
        QVERIFY(bmChild<QPushButton>(u"OKButton")->isEnabled());
        bmChild<QPushButton>(u"OKButton")->click();
        for (const BmFontOption& option : bmFontOptionTable())
            QCOMPARE(option.key + u'=' + option.write(m_window->settings().bmfont),
                     option.key + u'=' + option.write(set));
        run(u"m_quit");
        const QByteArray saved = test::readBytes(m_ini);
        QCOMPARE(saved.mid(saved.indexOf("[BMFont]")), section);
    }

    // What keeps OK off is told above OK on the page where it was done, in the window's names; a
    // field turns off what cannot go with it and was not chosen yet.
    void clashesAreToldWhereTheyAreMade_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("told");
        QTest::addRow("BMP, then msdf") << u"ImageBox"_s << u"PNG als „Bildformat“ auf der Seite „Seiten“"_s;
        QTest::addRow("binary, then msdf") << u"BinaryForm"_s << u"„Form der Beschreibung“ auf der Seite"_s;
        QTest::addRow("monochrome, then msdf") << u"MonochromeBox"_s << u"„Monochrom, ohne Kantenglättung“"_s;
        QTest::addRow("opaque, then msdf") << u"OpaqueOpt"_s << u"„Deckend, in Schrift- und Hintergrundfarbe“"_s;
        QTest::addRow("outline, then msdf") << u"OutlineBox"_s << u"Setzen Sie „Umriss“ auf 0 Pixel"_s;
        QTest::addRow("a bad colour, then another page")
            << u"OutlineColorText"_s << u"Seite „Distanzfeld und Effekte“: Umrissfarbe: „rot“ ist keine Farbe"_s;
    }

    void clashesAreToldWhereTheyAreMade()
    {
        QFETCH(QString, edit);
        QFETCH(QString, told);
        run(u"m_bmfont");
        auto* pages = bmChild<QTabWidget>(u"Pages");
        auto* field = bmChild<QComboBox>(u"FieldBox");
        field->setCurrentIndex(field->findData(int(PageField::Msdf)));
        const QStringList offWithField{u"ImageBox"_s,  u"BinaryForm"_s, u"MonochromeBox"_s,
                                       u"OpaqueOpt"_s, u"OutlineBox"_s, u"ShadowBox"_s};
        for (const QString& name : offWithField) {
            auto* control = m_window->bmFontPropsDialog()->findChild<QWidget*>(name);
            if (auto* image = qobject_cast<QComboBox*>(control))
                QVERIFY(!qobject_cast<QStandardItemModel*>(image->model())->item(1)->isEnabled());
            else
                QVERIFY2(!control->isEnabled() && control->toolTip().contains(u"Nicht mit einem Distanzfeld"_s),
                         qPrintable(name));
        }
        field->setCurrentIndex(0);
        auto* control = m_window->bmFontPropsDialog()->findChild<QWidget*>(edit);
        for (QWidget* page = control; page; page = page->parentWidget()) {
            if (pages->indexOf(page) >= 0)
                pages->setCurrentWidget(page);
        }
        if (auto* box = qobject_cast<QComboBox*>(control))
            box->setCurrentIndex(1);
        else if (auto* spin = qobject_cast<QSpinBox*>(control))
            spin->setValue(2);
        else if (auto* line = qobject_cast<QLineEdit*>(control))
            line->setText(u"rot"_s);
        else
            qobject_cast<QAbstractButton*>(control)->setChecked(true);
        if (qobject_cast<QLineEdit*>(control))
            pages->setCurrentIndex(0);
        else
            field->setCurrentIndex(field->findData(int(PageField::Msdf)));
        const auto* problem = bmChild<QLabel>(u"OkProblem");
        QVERIFY(!bmChild<QPushButton>(u"OKButton")->isEnabled());
        QVERIFY2(!problem->isHidden() && problem->text().contains(told) && !problem->text().contains(u"--"_s),
                 qPrintable(problem->text()));
    }

    // Each kind of file dialog opens where the user last chose a file of its kind, also after a
    // restart, and the last set is exported again under its name with one key.
    void fileDialogsOpenInTheFolderUsedLast()
    {
        const QString sets = m_dir->filePath(u"sätze"_s);
        QVERIFY(QDir().mkpath(sets));
        run(u"m_reexport");
        m_dialogs.fileAnswers = {{sets + u"/satz.png"_s, 0}};
        run(u"m_savebmfont");
        restart(m_config);
        run(u"m_savebmfont");
        run(u"m_savesettings");
        QCOMPARE(m_dialogs.folders, (QStringList{m_dir->path(), sets, m_dir->path()}));
        QVERIFY(QFile::remove(sets + u"/satz.fnt"_s));
        run(u"m_reexport");
        QVERIFY(QFile::exists(sets + u"/satz.fnt"_s));
        QCOMPARE(m_dialogs.log.first(), u"warning: Es gibt noch keinen BMFont-Export zu wiederholen."_s);
    }

    // A font file dropped on the window becomes its font, one dropped on the fallback list a fallback.
    void droppedFontFilesAreUsed()
    {
        const QString serif = u"/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf"_s;
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(serif)});
        const auto drop = [&data](QWidget* target) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        QVERIFY(drop(m_window.get()));
        QCOMPARE(m_window->settings().font.face, u"DejaVu Serif"_s);
        run(u"m_bmfont");
        auto* list = bmChild<QListWidget>(u"FallbackList");
        QVERIFY(drop(list->viewport()));
        QCOMPARE(list->item(list->count() - 1)->text(), serif);
        data.setUrls({QUrl::fromLocalFile(m_ini)});
        QVERIFY(!drop(list->viewport())); // no font file
    }

    // The texture view shows the BMFont options while they are edited, before OK; Cancel brings back
    // the window's.
    void textureViewPreviewsTheEditedOptions()
    {
        run(u"m_texview");
        const TextureView* view = m_window->textureView();
        run(u"m_bmfont");
        QTest::keyClicks(bmChild<QLineEdit>(u"CharsText"), u"65-70"_s);
        QTRY_VERIFY_WITH_TIMEOUT(view->statusBar()->currentMessage().endsWith(u", 6 Zeichen"_s), 30000);
        bmChild<QPushButton>(u"CancelButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(view->statusBar()->currentMessage().endsWith(u", 218 Zeichen"_s), 30000);
    }

    // Beside OK the dialog tells the pages and the characters lacking of the options shown, planned
    // by the texture view when it is open, else on its own; figures of earlier options look old.
    void pagesAndMissingCharactersAreTold_data()
    {
        QTest::addColumn<bool>("view");
        QTest::addColumn<QString>("characters");
        QTest::addColumn<int>("largest");
        QTest::addColumn<QString>("told");
        QTest::addRow("view closed, all there")
            << false << u"65-90"_s << 4096 << u"1 Seite zu 128 × 128, kein Zeichen fehlt"_s;
        QTest::addRow("view closed, three lacking")
            << false << u"65-70,0x4E00-0x4E02"_s << 4096 << u"1 Seite zu 64 × 64, 3 Zeichen fehlen"_s;
        QTest::addRow("view open, one lacking")
            << true << u"65-70,0x4E00"_s << 4096 << u"1 Seite zu 64 × 64, 1 Zeichen fehlt"_s;
        QTest::addRow("view open, small pages, the controls lacking")
            << true << u"32-255"_s << 64 << u"13 Seiten zu 64 × 64, 33 Zeichen fehlen"_s;
    }
    void pagesAndMissingCharactersAreTold()
    {
        QFETCH(bool, view);
        QFETCH(QString, characters);
        QFETCH(int, largest);
        QFETCH(QString, told);
        if (view)
            run(u"m_texview");
        run(u"m_bmfont");
        const auto* plan = bmChild<QLabel>(u"PlanLabel");
        auto* size = bmChild<QComboBox>(u"MaxTextureBox");
        size->setCurrentIndex(size->findData(largest));
        bmChild<QLineEdit>(u"CharsText")->clear();
        QTest::keyClicks(bmChild<QLineEdit>(u"CharsText"), characters);
        QVERIFY(!plan->isEnabled()); // not yet planned
        QTRY_VERIFY_WITH_TIMEOUT(plan->isEnabled(), 30000);
        QCOMPARE(plan->text(), told);
        QCOMPARE(plan->toolTip().contains(u"U+4E00"_s), characters.contains(u"0x4E00"_s));
    }

    // The texture view opens on the profile the user last chose in it, also after a restart; the
    // BMFont dialog's switch to show its options is no choice of the user's.
    void textureViewKeepsTheProfileChosen_data()
    {
        QTest::addColumn<QList<int>>("keys"); // pressed on the profile box, in turn
        QTest::addColumn<bool>("edited");     // the BMFont dialog's options changed
        QTest::addColumn<TextureProfile>("reopened");
        QTest::addRow("none") << QList<int>{} << false << TextureProfile::Classic;
        QTest::addRow("BMFont") << QList<int>{Qt::Key_Down} << false << TextureProfile::BmFont;
        QTest::addRow("BMFont, then Klassisch")
            << QList<int>{Qt::Key_Down, Qt::Key_Up} << false << TextureProfile::Classic;
        QTest::addRow("BMFont shown by the dialog") << QList<int>{} << true << TextureProfile::Classic;
    }
    void textureViewKeepsTheProfileChosen()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, edited);
        QFETCH(TextureProfile, reopened);
        run(u"m_texview");
        for (const int key : keys)
            QTest::keyClick(m_window->textureView()->findChild<QComboBox*>(u"ProfileBox"_s), Qt::Key(key));
        if (edited) {
            run(u"m_bmfont");
            bmChild<QCheckBox>(u"KerningBox")->toggle();
            QCOMPARE(m_window->textureView()->profile(), TextureProfile::BmFont);
        }
        restart(m_config);
        run(u"m_texview");
        QCOMPARE(m_window->textureView()->profile(), reopened);
        m_window.reset();
        QVERIFY(!test::readBytes(m_ini).contains("Profil")); // the settings file's keys are fixed
    }

    // Where the places are kept stands something not ours: it is neither read nor written through.
    void recentPlacesKeepOffWhatIsNotTheirs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addRow("link to another file") << u"link"_s;
        QTest::addRow("link to nowhere") << u"dangling"_s;
        QTest::addRow("folder") << u"folder"_s;
    }
    void recentPlacesKeepOffWhatIsNotTheirs()
    {
        QFETCH(QString, kind);
        const QString recent = m_dir->filePath(u"user/Glyfrax/zuletzt.ini"_s);
        const QString other = m_dir->filePath(u"andere.ini"_s);
        QVERIFY(QDir().mkpath(QFileInfo(recent).path()));
        const QByteArray otherBytes = "[Texturansicht]\nProfil=BMFont\n; fremd\n";
        QVERIFY(test::writeBytes(other, otherBytes));
        if (kind == u"folder")
            QVERIFY(QDir().mkpath(recent));
        else
            QVERIFY(QFile::link(kind == u"link" ? other : m_dir->filePath(u"weg.ini"_s), recent));
        run(u"m_texview");
        QTest::keyClick(m_window->textureView()->findChild<QComboBox*>(u"ProfileBox"_s), Qt::Key_Down);
        restart(m_config);
        run(u"m_texview");
        QCOMPARE(m_window->textureView()->profile(), TextureProfile::Classic);
        QCOMPARE(test::readBytes(other), otherBytes);
        QCOMPARE(QFileInfo(recent).isSymLink(), kind != u"folder");
        QVERIFY(!QFileInfo::exists(m_dir->filePath(u"weg.ini"_s)));
    }

    // A size's access key chooses it and puts the focus on its number, selected: the digits typed
    // next are the size, also when the option was chosen already.
    void sizeAccessKeyLeadsToItsNumber_data()
    {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("written"); // the options as the dialog then shows them
        QTest::addRow("pixels") << Qt::Key_X << 1 << u"Pixels=32"_s;
        QTest::addRow("line height") << Qt::Key_L << 1 << u"LineHeight=32"_s;
        QTest::addRow("cap height, chosen already") << Qt::Key_V << 2 << u"CapHeight=32"_s;
    }
    void sizeAccessKeyLeadsToItsNumber()
    {
        QFETCH(Qt::Key, key);
        QFETCH(int, presses);
        QFETCH(QString, written);
        run(u"m_bmfont");
        BmFontPropsDialog* dialog = m_window->bmFontPropsDialog();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog, Qt::Key_H, Qt::AltModifier);
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            // The access key clicks a moment later.
            QTRY_VERIFY(qobject_cast<QAbstractSpinBox*>(QApplication::focusWidget()));
        }
        QTest::keyClicks(QApplication::focusWidget(), u"32"_s);
        QCOMPARE(asText({{}, {}, dialog->shownOptions()}).section(u"[BMFont] "_s, 1).trimmed(), written);
    }

    // A character file that is no UTF-8 text keeps the dialog open when OK is pressed, saying why.
    void aFontAsCharacterFileKeepsOkOff()
    {
        const QString font = m_dir->filePath(u"schrift.ttf"_s);
        QVERIFY(test::writeBytes(font, QByteArray("\x00\x01\x00\x00\xff\xfe", 6)));
        run(u"m_bmfont");
        bmChild<QLineEdit>(u"CharsFileText")->setText(font);
        bmChild<QPushButton>(u"OKButton")->click();
        QVERIFY(!m_window->bmFontPropsDialog()->isHidden());
        QVERIFY(!bmChild<QPushButton>(u"OKButton")->isEnabled());
        QVERIFY2(bmChild<QLabel>(u"OkProblem")->text().contains(u"kein gültiges UTF-8"_s),
                 qPrintable(bmChild<QLabel>(u"OkProblem")->text()));
        QCOMPARE(m_window->settings().bmfont.charsFile, QString());
    }

    // A code page gives the characters it assigns, and DejaVu Sans has them all: no red cell at first.
    void defaultCharactersAreAllInDejaVuSans_data()
    {
        QTest::addColumn<int>("codePage");
        for (const int codePage : {0, 1250, 1251, 1253, 1254, 1257})
            QTest::addRow("%d", codePage) << codePage;
    }

    void defaultCharactersAreAllInDejaVuSans()
    {
        QFETCH(int, codePage);
        BmFontOptions options;
        options.codePage = codePage;
        const Result<std::vector<char32_t>> chosen = chosenCharacters(options);
        QVERIFY(chosen && chosen->size() > 200);
        const QRawFont font = QRawFont::fromFont(QFont(u"DejaVu Sans"_s));
        for (const char32_t character : *chosen)
            QVERIFY2(font.supportsCharacter(character), qPrintable(QString::number(character, 16)));
    }

    // A glyph far wider than any font's (65,534 units at 1,000 per em) in the chart of the characters:
    // Qt's own text drawing would crash on it, so the chart leaves its cell empty and says why.
    void aGlyphTooWideForTheChartIsNotDrawn()
    {
        FallbackFaces found;
        FontSettings font;
        font.face = u"DejaVu Sans"_s;
        font.size = 12;
        std::vector<ShownFace> faces = found.faces({QStringLiteral(GLYFRAX_TEST_DATA "/hostile/wide.ttf")}, font, 20);
        QCOMPARE(faces.size(), std::size_t(1));
        CharacterGridModel model;
        model.showCharacters({U'A', U'B'}, std::move(faces));
        QTableView chart;
        chart.setModel(&model);
        chart.resize(600, 200);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        static_cast<void>(chart.grab());
        const QModelIndex wide = model.index(1, 1); // A, after the block's heading
        QCOMPARE(model.characterAt(wide), U'A');
        QCOMPARE(model.data(wide, Qt::DisplayRole).toString(), QString());
        QVERIFY(model.data(wide, Qt::ToolTipRole).toString().contains(u"zu breit"_s));
    }

    // A text of several lines: Return breaks the line, Tab leaves the text, Ctrl+Return accepts.
    void textEntryAcceptsWithCtrlReturn()
    {
        TextEntryDialog dialog(nullptr, u"Zeichen aus Text"_s, u"Text:"_s);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* text = dialog.findChild<QPlainTextEdit*>(u"EnteredText"_s);
        QTest::keyClicks(text, u"ab"_s);
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, u"c"_s);
        QTest::keyClick(text, Qt::Key_Tab);
        QVERIFY(!text->hasFocus());
        QVERIFY(dialog.isVisible());
        QTest::keyClick(text, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.text(), u"ab\nc"_s);
    }

    // A project opened through its dialog is built as its file is at the time; each set is told, a
    // failed one hiding none of the others. A file that is no project leaves the open one open.
    void projectsAreOpenedAndBuilt()
    {
        const QDir game(m_dir->filePath(u"spiel"_s));
        const QString project = game.filePath(u"fonts.ini"_s);
        QVERIFY(game.mkpath(u"out"_s) && test::writeBytes(project, kProject));
        QVERIFY(test::writeBytes(game.filePath(u"leer.ini"_s), "[defaults]\nChars=32-126\n"));
        QAction* build = m_window->findChild<QAction*>(u"m_buildproject"_s);
        m_dialogs.fileAnswers = {{game.filePath(u"fehlt.ini"_s), 0}, {project, 0}, {game.filePath(u"leer.ini"_s), 0}};
        run(u"m_openproject");
        QVERIFY(!build->isEnabled());
        run(u"m_openproject");
        QCOMPARE(build->text(), u"Projekt „fonts“ b&auen"_s);
        run(u"m_buildproject");
        for (const char16_t* file : {u"ui.fnt", u"ui.png", u"ui@2x.fnt", u"ui@2x.png", u"ui@2x.fnt.stamp"})
            QVERIFY(QFile::exists(game.filePath(u"out/"_s + QString::fromUtf16(file))));
        run(u"m_buildproject");
        QVERIFY(test::writeBytes(project, QByteArray(kProject).replace("Pixels=24", "Pixels=20")));
        run(u"m_buildproject");
        run(u"m_openproject");
        QCOMPARE(m_window->projectPath(), project);
        QCOMPARE(m_dialogs.folders.last(), game.path());
        QVERIFY(test::writeBytes(project, "[ui\n"));
        run(u"m_buildproject");
        const QString log = m_dialogs.log.join(u"\n\n"_s).replace(m_dir->path(), u"{dir}"_s) + u'\n';
        GLYFRAX_COMPARE_GOLDEN(log.toUtf8(), u"window-project.txt"_s);
    }

    void closingWithAReadOnlySettingsFileIsSilent()
    {
        QFile::setPermissions(m_ini, QFileDevice::ReadOwner);
        m_dialogs.colorAnswer = QColor(0, 0, 255);
        run(u"m_forecolor");
        m_window->close();
        QCOMPARE(m_dialogs.log, QStringList{u"Schriftfarbe offered: #ffffff"_s}); // nothing said
        QCOMPARE(test::readBytes(m_ini), m_config);
    }

private:
    void restart(const QByteArray& config)
    {
        m_window.reset();
        QVERIFY(test::writeBytes(m_ini, config));
        m_window = std::make_unique<MainWindow>(m_dir->path(), readSettingsFile(m_ini).settings, m_dialogs);
    }

    // The BMFont settings with a wrong range, then every group changed and confirmed; exports of the set.
    void bmFontSettingsAndExport()
    {
        run(u"m_bmfont");
        note(u"BMFont settings"_s);
        auto* codePage = bmChild<QComboBox>(u"CodePageBox");
        codePage->setCurrentIndex(codePage->findData(1251));
        QTest::keyClicks(bmChild<QLineEdit>(u"CharsText"), u"0x2190-"_s);
        note(u"code page 1251, a range without its end"_s);
        QTest::keyClicks(bmChild<QLineEdit>(u"CharsText"), u"0x2193"_s);
        m_dialogs.textAnswer = u"Grüße aus 日本 ↑"_s;
        bmChild<QPushButton>(u"TextButton")->click();
        setPadding(3);
        bmChild<QCheckBox>(u"NonSquareBox")->setChecked(true);
        bmChild<QRadioButton>(u"OpaqueOpt")->setChecked(true);
        bmChild<QRadioButton>(u"XmlForm")->setChecked(true);
        bmChild<QComboBox>(u"ImageBox")->setCurrentIndex(1);
        note(u"arrows, a text's characters, padding 3, non-square, opaque, XML, BMP"_s);
        auto* families = bmChild<QComboBox>(u"FamilyBox");
        families->setCurrentIndex(families->findText(u"DejaVu Serif"_s));
        bmChild<QPushButton>(u"FallbackAddButton")->click();
        m_dialogs.fileAnswers = {{QString::fromLatin1(kCollection), 0}};
        bmChild<QPushButton>(u"FallbackFileButton")->click();
        bmChild<QListWidget>(u"FallbackList")->item(0)->setText(u" Gibt es nicht "_s);
        note(u"fallbacks: DejaVu Serif from the list, a collection's file, the first renamed to one not installed"_s);
        bmChild<QListWidget>(u"FallbackList")->setCurrentRow(0);
        bmChild<QPushButton>(u"FallbackRemoveButton")->click();
        bmChild<QRadioButton>(u"PixelsOpt")->setChecked(true);
        bmChild<QSpinBox>(u"PixelsBox")->setValue(20);
        for (const char16_t* box : {u"CropBox", u"KerningBox", u"MonochromeBox"})
            bmChild<QCheckBox>(box)->toggle();
        note(u"the one not installed removed, 20 pixels, cropped, no kerning, monochrome"_s);
        bmChild<QComboBox>(u"FieldBox")->setCurrentIndex(2);
        note(u"an msdf field, which BMP pages cannot hold"_s);
        bmChild<QComboBox>(u"FieldBox")->setCurrentIndex(0);
        bmChild<QPushButton>(u"OKButton")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        note(u"OK"_s);
        m_dialogs.fileAnswers = {{m_dir->filePath(u"satz"_s), 1}, {m_dir->filePath(u"nowhere/satz.bmp"_s), 0}};
        for (int i = 0; i < 3; ++i)
            run(u"m_savebmfont");
        QCOMPARE(QImage(m_dir->filePath(u"satz.png"_s)).format(), QImage::Format_RGB32);
        QVERIFY(test::readBytes(m_dir->filePath(u"satz.fnt"_s)).startsWith("<?xml"));
        note(u"BMFont exported as PNG (a name without extension), then into a missing folder, then cancelled"_s);
    }

    // The whole settings saved, changed, loaded back; files that are no settings file are left alone.
    void settingsSavedAndLoaded()
    {
        const QString copy = m_dir->filePath(u"kopie.ini"_s), png = m_dir->filePath(u"satz.png"_s);
        const QByteArray image = test::readBytes(png);
        m_dialogs.fileAnswers = {{m_dir->filePath(u"kopie"_s), 0}, {png, 0}};
        run(u"m_savesettings");
        run(u"m_savesettings");
        QCOMPARE(test::readBytes(png), image);
        note(u"settings saved as kopie.ini, then refused over the PNG:\n"_s +
             QString::fromUtf8(test::readBytes(copy)).replace(u"\r\n"_s, u" "_s));
        QVERIFY(test::writeBytes(copy, test::readBytes(copy).replace("Padding=3", "Padding=300")));
        m_dialogs.colorAnswer = QColor(0, 0, 255);
        run(u"n_backcolor");
        run(u"m_bmfont");
        m_dialogs.fileAnswers = {{copy, 0}, {png, 0}};
        run(u"m_loadsettings");
        run(u"m_loadsettings");
        QVERIFY(!m_window->bmFontPropsDialog());
        m_dialogs.colorAnswer = QColor(255, 0, 0);
        note(u"background blue, BMFont settings open, kopie.ini with padding 300 loaded, the PNG refused"_s);
    }

    // The same padding on every side of a cell, as the dialog's four boxes take it.
    void setPadding(int pixels)
    {
        for (const char16_t* side : {u"PaddingUpBox", u"PaddingRightBox", u"PaddingDownBox", u"PaddingLeftBox"})
            bmChild<QSpinBox>(side)->setValue(pixels);
    }

    template <typename T> T* bmChild(const char16_t* name) const
    {
        return m_window->bmFontPropsDialog()->findChild<T*>(QString::fromUtf16(name));
    }

    void run(const char16_t* command) { m_window->findChild<QAction*>(QString::fromUtf16(command))->trigger(); }
    QLabel* label(const char16_t* name) const { return m_window->findChild<QLabel*>(QString::fromUtf16(name)); }
    template <typename T> T* child(const char16_t* name) const
    {
        return m_window->exportPropsDialog()->findChild<T*>(QString::fromUtf16(name));
    }

    // What the window shows and holds, and what it asked of the dialogs since the last note.
    void note(const QString& step)
    {
        QString seen;
        QDebug out = QDebug(&seen).noquote().nospace();
        const QImage preview = label(u"PreLabel")->pixmap().toImage();
        out << "## " << step << '\n'
            << label(u"TexLabel")->text() << ", font " << m_window->font().toString() << ", preview "
            << (label(u"PreLabel")->isHidden() ? u"hidden"_s : preview.pixelColor(0, 0).name()) << ' ' << preview.size()
            << ' '
            << QCryptographicHash::hash(QByteArrayView(preview.constBits(), preview.sizeInBytes()),
                                        QCryptographicHash::Sha1)
                   .toHex()
                   .left(8)
            << ": " << m_window->previewText().replace(u'\n', u'|') << '\n'
            << asText(m_window->settings());
        if (ClassicPropsDialog* props = m_window->exportPropsDialog()) {
            out << "\nexport settings: " << child<QLabel>(u"XLabel")->text() << ", " << child<QLabel>(u"YLabel")->text()
                << (child<QGroupBox>(u"BinFrame")->isHidden() ? ", text: " : ", binary: ")
                << asText({{}, props->shownOptions(), {}}).section(u"[Export Option] "_s, 1);
        }
        if (BmFontPropsDialog* bmfont = m_window->bmFontPropsDialog()) {
            QTRY_VERIFY(!bmChild<QTimer>(u"ShowLater")->isActive());
            out << "\nBMFont settings: " << asText({{}, {}, bmfont->shownOptions()}).section(u"[BMFont] "_s, 1)
                << bmChild<QLabel>(u"CountLabel")->text()
                << (bmChild<QPushButton>(u"OKButton")->isEnabled()
                        ? u""_s
                        : u", OK off: "_s + bmChild<QPushButton>(u"OKButton")->toolTip());
            out << fallbackMarks();
        }
        if (TextureView* view = m_window->textureView()) {
            if (view->isDrawing())
                QVERIFY(QSignalSpy(view, &TextureView::pictureShown).wait(30000));
            const QImage& page = view->picture()->shown.page();
            out << "\ntexture view: " << view->statusBar()->currentMessage() << ", first pixel "
                << (page.isNull() ? u"none"_s : page.pixelColor(0, 0).name());
        }
        if (AboutDialog* about = m_window->aboutDialog()) {
            out << "\nabout: " << about->windowTitle() << ", " << about->findChild<QLabel*>(u"lblTitle"_s)->text()
                << ", " << about->findChild<QLabel*>(u"lblVersion"_s)->text();
        }
        for (const QString& line : std::exchange(m_dialogs.log, {}))
            out << '\n' << line;
        m_transcript +=
            seen.replace(m_dir->path(), u"{dir}"_s).replace(QString::fromLatin1(kVersionText), u"{v}"_s) + u"\n\n"_s;
    }

    // The fallback fonts as the list marks them, and the characters the chart marks.
    QString fallbackMarks() const
    {
        QStringList seen;
        const QListWidget* list = bmChild<QListWidget>(u"FallbackList");
        for (int row = 0; row < list->count(); ++row) {
            const QListWidgetItem* item = list->item(row);
            seen << item->text() + u" ("_s + item->toolTip() +
                        (item->foreground().style() == Qt::NoBrush
                             ? u")"_s
                             : u", "_s + item->foreground().color().name() + u')');
        }
        if (!bmChild<QLabel>(u"FallbackProblem")->isHidden())
            seen << bmChild<QLabel>(u"FallbackProblem")->text();
        const QAbstractItemModel* chart = bmChild<QTableView>(u"CharacterGrid")->model();
        for (int row = 0; row < chart->rowCount(); ++row) {
            for (int column = 0; column < chart->columnCount(); ++column) {
                const QModelIndex cell = chart->index(row, column);
                if (const QVariant marked = cell.data(Qt::BackgroundRole); marked.isValid())
                    seen << cell.data(Qt::ToolTipRole).toString() + u' ' + marked.value<QBrush>().color().name();
            }
        }
        return seen.isEmpty() ? QString() : u"\nfallbacks: "_s + seen.join(u"; "_s);
    }

    // Names, captions and shortcuts of the commands and the dialogs' tab order.
    void commandsAndTabOrder()
    {
        QStringList seen{u"## commands and tab order"_s, m_window->objectName() + u' ' + m_window->windowTitle()};
        for (QAction* menu : m_window->menuBar()->actions()) {
            seen << menu->objectName() + u' ' + menu->text() + u':';
            for (QAction* action : menu->menu()->actions()) {
                seen.last() += u' ' + (action->isSeparator() ? u"-"_s : action->objectName() + u'/' + action->text());
                if (!action->shortcut().isEmpty())
                    seen.last() += u'/' + action->shortcut().toString();
            }
        }
        ClassicPropsDialog props({});
        AboutDialog about(m_dialogs);
        BmFontPropsDialog bmfont({}, m_window->settings().font, m_dialogs);
        for (QDialog* dialog : std::initializer_list<QDialog*>{&props, &about, &bmfont}) {
            seen << dialog->objectName() + u' ' + dialog->windowTitle() + u':';
            for (QWidget* widget = dialog->nextInFocusChain(); widget != dialog; widget = widget->nextInFocusChain()) {
                if (widget->focusPolicy() != Qt::NoFocus)
                    seen.last() += u' ' + widget->objectName();
            }
        }
        // The access keys a page answers to, its tabs' included; one taken twice is marked.
        const QTabWidget* tabs = bmfont.findChild<QTabWidget*>(u"Pages"_s);
        for (int page = 0; page < tabs->count(); ++page) {
            QStringList texts;
            for (int tab = 0; tab < tabs->count(); ++tab)
                texts << tabs->tabText(tab);
            for (const QWidget* widget : tabs->widget(page)->findChildren<QWidget*>()) {
                if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
                    texts << button->text();
                if (const auto* label = qobject_cast<const QLabel*>(widget); label && label->buddy())
                    texts << label->text();
            }
            QStringList keys;
            for (const QString& text : texts) {
                if (const QString key = QKeySequence::mnemonic(text).toString(); !key.isEmpty())
                    keys << (keys.contains(key) ? key + u" (twice)"_s : key);
            }
            keys.sort();
            seen << u"access keys on "_s + tabs->tabText(page) + u": "_s + keys.join(u' ');
        }
        m_transcript += seen.join(u'\n') + u"\n\n"_s;
    }

    const QByteArray m_config = test::readBytes(test::dataPath(u"window-config.ini"_s));
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
    FakeDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_window;
    QString m_transcript;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
