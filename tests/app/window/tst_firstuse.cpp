// The window as a new user finds it: export settings, labels, fonts, first start, settings file.

#include "app/options/ClassicPropsDialog.h"
#include "app/shared/FontChoice.h"
#include "render/FontMeasure.h" // realizeFont
#include "settings/ProfileFile.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

const QString kFace = u"DejaVu Sans"_s;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The settings as saved and read back at the next start.
Settings restarted(const Settings& settings)
{
    ProfileFile saved;
    writeSettings(saved, settings);
    return readSettings(ProfileFile::fromBytes(saved.toBytes())).settings;
}

} // namespace

class TestFirstUse : public QObject
{
    Q_OBJECT

    QTemporaryDir m_userConfig;

private slots:
    void initTestCase()
    {
        QVERIFY(m_userConfig.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_userConfig.path()));
    }

    void gapBarsFollowTheKeysAndShowFocus_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("caption"); // and which bar
        QTest::addRow("Home, Right three times") << QKeySequence(u"Home, Right, Right, Right"_s) << "X: 3";
        QTest::addRow("End, Left three times") << QKeySequence(u"End, Left, Left, Left"_s) << "X: 7";
        QTest::addRow("Home, Down twice") << QKeySequence(u"Home, Down, Down"_s) << "Y: 2";
        QTest::addRow("End, Up") << QKeySequence(u"End, Up"_s) << "Y: 9";
        QTest::addRow("Page Down from 0") << QKeySequence(u"PgDown"_s) << "Y: 1";
    }

    void gapBarsFollowTheKeysAndShowFocus()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, caption);
        ClassicPropsDialog dialog{ClassicOptions{}};
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* bar = dialog.findChild<QScrollBar*>(caption.left(1) + u"Scroll"_s);
        const QImage unfocused = bar->grab().toImage();
        for (int tab = 0; tab < 12 && !bar->hasFocus(); ++tab)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(bar->grab().toImage() != unfocused); // the focus mark
        QTest::keySequence(bar, keys);
        QCOMPARE(dialog.findChild<QLabel*>(caption.left(1) + u"Label"_s)->text(), caption);
    }

    void captionsShowWholeInsideTheirFrame_data()
    {
        QTest::addColumn<bool>("binary");
        QTest::addRow("binary notation") << true;
        QTest::addRow("readable notation") << false;
    }

    void captionsShowWholeInsideTheirFrame()
    {
        QFETCH(bool, binary);
        ClassicOptions options;
        options.writeBinary = binary;
        ClassicPropsDialog dialog(options);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const auto* frame = dialog.findChild<QGroupBox*>(binary ? u"BinFrame"_s : u"ShowFrame"_s);
        const QList<QWidget*> parts = frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* part : parts) {
            const QByteArray name = part->objectName().toLatin1();
            QVERIFY2(frame->contentsRect().contains(part->geometry()), name);
            if (!qobject_cast<const QLineEdit*>(part))
                QVERIFY2(part->width() >= part->sizeHint().width(), name);
            for (const QWidget* other : parts)
                QVERIFY2(part == other || !part->geometry().intersects(other->geometry()), name + " overlaps");
        }
        for (const QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(dialog.rect().contains(control->geometry()), control->objectName().toLatin1());
    }

    void optionsExplainThemselves()
    {
        ClassicPropsDialog dialog{ClassicOptions{}};
        for (const char* name : {"BinaryOpt", "CharOpt", "LongOpt", "IntOpt", "CharText", "XText", "YText", "WText",
                                 "HText", "XScroll", "YScroll"}) {
            const QWidget* control = dialog.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(!control->toolTip().isEmpty(), name);
            QCOMPARE(control->accessibleDescription().isEmpty(), false);
        }
        QVERIFY(dialog.findChild<QWidget*>(u"XScroll"_s)->toolTip().contains(u"zwischen den Zeichen einer Zeile"_s));
        QVERIFY(dialog.findChild<QWidget*>(u"YScroll"_s)->toolTip().contains(u"zwischen den Zeilen"_s));
    }

    void labelsKeepTheirTabs_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("label");
        QTest::addRow("tabs stay") << QByteArray("CharTxt=\tW\t") << "\tW\t";
        QTest::addRow("spaces go") << QByteArray("CharTxt=  W  ") << "W";
        QTest::addRow("spaces outside the tabs go") << QByteArray("CharTxt= \t W \t ") << "\t W \t";
    }

    void labelsKeepTheirTabs()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, label);
        const LoadedSettings loaded = readSettings(ProfileFile::fromBytes(
            "[Font]\r\nName=\tDejaVu Sans\t\r\n[Export Option]\r\nXDist=\t3\t\r\n" + line + "\r\n"));
        QCOMPARE(loaded.settings.options.charTxt, label);
        QCOMPARE(restarted(loaded.settings).options.charTxt, label);
        // The face and the numbers lose their tabs as before.
        QCOMPARE(loaded.problems.size(), 0);
        QCOMPARE(loaded.settings.font.face, kFace);
        QCOMPARE(loaded.settings.options.xDist, 3);
    }

    void pickedStyleIsKeptOrItsStandInNamed_data()
    {
        QTest::addColumn<QString>("style");
        for (const QString& style : QFontDatabase::styles(kFace))
            QTest::addRow("%s", qPrintable(style)) << style;
    }

    void pickedStyleIsKeptOrItsStandInNamed()
    {
        QFETCH(QString, style);
        const QFont picked = QFontDatabase::font(kFace, style, 12);
        const QFontInfo shown(realizeFont(restarted(Settings{withFont({}, picked), {}, {}}).font));
        const QString note = standInNote(picked);
        if (QStringList{u"Book"_s, u"Bold"_s, u"Oblique"_s, u"Bold Oblique"_s}.contains(style))
            QCOMPARE(shown.styleName(), style);
        QCOMPARE(note.isEmpty(), shown.styleName() == style);
        if (!note.isEmpty())
            QVERIFY2(note.contains(u"„"_s + shown.family() + u' ' + shown.styleName() + u"“"_s), qPrintable(note));
    }

    void shippedSettingsGiveAReadableStart()
    {
        const LoadedSettings loaded = readSettingsFile(QStringLiteral(GLYFRAX_DEFAULT_SETTINGS));
        QCOMPARE(loaded.problems.size(), 0);
        const FontSettings& font = loaded.settings.font;
        const ClassicOptions& o = loaded.settings.options;
        QVERIFY2(QFontDatabase::families().contains(font.face), qPrintable(font.face));
        QVERIFY(font.size >= 9.0F);
        QVERIFY(font.textColor != font.backColor);
        QCOMPARE((QStringList{o.charTxt, o.xTxt, o.yTxt, o.wTxt, o.hTxt}),
                 (QStringList{u"Char"_s, u"X"_s, u"Y"_s, u"W"_s, u"H"_s}));
        QCOMPARE((QList<int>{o.writeBinary, o.takeLong, o.xDist, o.yDist}), (QList<int>{1, 1, 1, 1}));
    }

    void settingsLiveBesideOrInTheUserFolder_data()
    {
        QTest::addColumn<QByteArray>("settings"); // the file that holds them, by its contents
        QTest::addRow("portable copy: beside the program, whatever the user has") << QByteArray("beside");
        QTest::addRow("installed, first start: the shipped ones") << QByteArray("shipped");
        QTest::addRow("installed, later: the user's own") << QByteArray("user's");
    }

    void settingsLiveBesideOrInTheUserFolder()
    {
        QFETCH(QByteArray, settings);
        const bool installed = settings != "beside";
        QTemporaryDir prefix;
        QFile::remove(m_userConfig.filePath(u"Glyfrax/config.ini"_s));
        if (settings != "shipped")
            writeFile(m_userConfig.filePath(u"Glyfrax/config.ini"_s), "user's");
        writeFile(prefix.filePath(installed ? u"share/glyfrax/config.ini"_s : u"bin/config.ini"_s),
                  installed ? "shipped" : "beside");
        const SettingsLocation location = locateSettings(prefix.filePath(u"bin"_s));
        QCOMPARE(readFile(settingsFileToRead(location)), settings);
        // What the window reads is also what it then writes.
        QVERIFY(provideUserSettings(location));
        QCOMPARE(readFile(location.path), settings);
    }
};

QTEST_MAIN(TestFirstUse)
#include "tst_firstuse.moc"
