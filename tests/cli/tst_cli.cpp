#include "export/FontExport.h"
#include "layout/TextureLayout.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::entries;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

namespace {

// Runs the exporter; as another user when asked, so permissions hold even for root.
test::ChildRun runExporter(const QStringList& arguments, bool unprivileged = false)
{
    return test::runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY), arguments, {-1, unprivileged});
}

Settings baseSettings()
{
    Settings settings;
    settings.font = test::dejaVu(14.0F);
    settings.options.charTxt = u"C"_s;
    settings.options.xTxt = u"X"_s;
    settings.options.yTxt = u"Y"_s;
    settings.options.wTxt = u"W"_s;
    settings.options.hTxt = u"H"_s;
    return settings;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void filesEqualTheCoreExport_data();
    void filesEqualTheCoreExport();
    void fontFileGivesTheSameFilesAsTheInstalledFace();
    void badConfigValueIsReportedAndTheExportGoesOn();
    void usageErrorsExitWith2_data();
    void usageErrorsExitWith2();
    void failuresExitWith1AndKeepEarlierFiles_data();
    void failuresExitWith1AndKeepEarlierFiles();

private:
    QTemporaryDir m_dir;
    QString m_config;
};

void TestCli::initTestCase()
{
    QVERIFY(!test::loadDejaVuSans().isEmpty());
    m_config = m_dir.filePath(u"config.ini"_s);
}

void TestCli::filesEqualTheCoreExport_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<Settings>("expected");

    Settings text = baseSettings();
    text.options.xDist = 2;
    text.options.yDist = 3;
    text.options.charTxt = u"Zeichen"_s;
    text.options.xTxt = QString();
    QTest::addRow("text form, gaps, labels") << u"--xdist 2 --ydist=3 --labels Zeichen,,Y,W,H"_s << text;

    Settings shortForm = baseSettings();
    shortForm.options.writeBinary = true;
    shortForm.font.bold = shortForm.font.italic = true;
    shortForm.font.size = 20.0F;
    shortForm.font.textColor = 0x0080FF;
    shortForm.font.backColor = 255;
    QTest::addRow("16 bits, bold italic, colours")
        << u"--binary --short --bold --italic --size 20 --color #FF8000 --backcolor 255"_s << shortForm;

    Settings longForm = baseSettings();
    longForm.options.writeBinary = longForm.options.takeLong = true;
    longForm.options.xDist = 1;
    QTest::addRow("32 bits") << u"--binary --long --xdist 1"_s << longForm;
}

void TestCli::filesEqualTheCoreExport()
{
    QFETCH(QString, options);
    QFETCH(Settings, expected);
    QVERIFY(writeSettingsFile(m_config, baseSettings()));
    const QByteArray configBefore = readBytes(m_config);

    const QString cliBitmap = m_dir.filePath(u"cli.bmp"_s);
    const test::ChildRun run =
        runExporter(QStringList{u"--config"_s, m_config} + options.split(u' ') + QStringList{cliBitmap});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QString coreBitmap = m_dir.filePath(u"core.bmp"_s);
    TextureLayout layout;
    QVERIFY(ExportFont(coreBitmap, expected, QPalette(), layout).ok());
    QCOMPARE(run.out.split(u'\n').value(0), textureSizeCaption(layout.TextureSize));
    QVERIFY(run.out.contains(m_dir.filePath(u"cli.fnt"_s)));
    QCOMPARE(readBytes(cliBitmap), readBytes(coreBitmap));
    QCOMPARE(readBytes(metricsPathFor(cliBitmap)), readBytes(metricsPathFor(coreBitmap)));
    QCOMPARE(readBytes(m_config), configBefore); // never written
}

void TestCli::fontFileGivesTheSameFilesAsTheInstalledFace()
{
    Settings settings = baseSettings();
    settings.font.face = u"No Such Face"_s;
    QVERIFY(writeSettingsFile(m_config, settings));
    const QString fromFile = m_dir.filePath(u"file.bmp"_s);
    const QString installed = m_dir.filePath(u"installed.bmp"_s);
    QCOMPARE(runExporter({u"--config"_s, m_config, u"--font-file"_s, test::dejaVuSansPath(), fromFile}).exitCode, 0);
    QCOMPARE(runExporter({u"--config"_s, m_config, u"--font"_s, u"DejaVu Sans"_s, installed}).exitCode, 0);
    QCOMPARE(readBytes(fromFile), readBytes(installed));
    QCOMPARE(readBytes(metricsPathFor(fromFile)), readBytes(metricsPathFor(installed)));
}

void TestCli::badConfigValueIsReportedAndTheExportGoesOn()
{
    QVERIFY(writeBytes(m_config, "[Font]\r\nName=DejaVu Sans\r\nSize=vierzehn\r\n[Export Option]\r\nYDist=-1\r\n"));
    const test::ChildRun run = runExporter({u"--config"_s, m_config, m_dir.filePath(u"bad.bmp"_s)});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.contains(u"[Font] Size = „vierzehn“"_s));
    QVERIFY(run.err.contains(u"[Export Option] YDist = „-1“"_s));
    QVERIFY(QFile::exists(m_dir.filePath(u"bad.fnt"_s)));
}

void TestCli::usageErrorsExitWith2_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::addRow("unknown option") << QStringList{u"--frobnicate"_s, u"x.bmp"_s} << "Unbekannte Option: --frobnicate";
    QTest::addRow("no bitmap") << QStringList{u"--bold"_s} << "Es fehlt der Pfad der Bitmap";
    QTest::addRow("size not a number") << QStringList{u"--size"_s, u"gross"_s, u"x.bmp"_s}
                                       << "Ungültiger Wert „gross“ für --size";
    QTest::addRow("gap out of range") << QStringList{u"--xdist=-1"_s, u"x.bmp"_s} << "für --xdist";
    QTest::addRow("four labels") << QStringList{u"--labels=a,b,c,d"_s, u"x.bmp"_s} << "für --labels";
    QTest::addRow("contrary switches") << QStringList{u"--bold"_s, u"--no-bold"_s, u"x.bmp"_s}
                                       << "schließen einander aus";
    QTest::addRow("bad colour") << QStringList{u"--color=#12345"_s, u"x.bmp"_s} << "für --color";
}

void TestCli::usageErrorsExitWith2()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const test::ChildRun run = runExporter(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.contains(u"Aufruf: glyfrax-export"_s));
}

void TestCli::failuresExitWith1AndKeepEarlierFiles_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("message");
    QTest::addRow("font file missing") << u"--font-file=/nonexistent/font.ttf"_s << false << "/nonexistent/font.ttf";
    QTest::addRow("font file not a font") << u"--font-file=%1"_s << false << "keine TrueType";
    QTest::addRow("folder not writable") << QString() << true << "Zugriff verweigert";
}

void TestCli::failuresExitWith1AndKeepEarlierFiles()
{
    QFETCH(QString, option);
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder && !test::othersCanRun(QStringLiteral(GLYFRAX_EXPORT_BINARY)))
        QSKIP("The exporter cannot be run as user nobody from this build folder.");
    QFETCH(QString, message);
    QVERIFY(writeSettingsFile(m_config, baseSettings()));
    QFile::setPermissions(m_config, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    QTemporaryDir out;
    QVERIFY(writeBytes(out.filePath(u"font.bmp"_s), "earlier bitmap"));
    QVERIFY(writeBytes(out.filePath(u"font.fnt"_s), "earlier metrics"));
    QFile::setPermissions(out.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther |
                                          (readOnlyFolder ? QFileDevice::Permissions() : QFileDevice::WriteOwner));
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadOther | QFileDevice::ExeOther);

    QStringList arguments{u"--config"_s, m_config, out.filePath(u"font.bmp"_s)};
    if (!option.isEmpty())
        arguments.prepend(option.contains(u"%1"_s) ? option.arg(m_config) : option);
    const test::ChildRun run = runExporter(arguments, readOnlyFolder);
    QFile::setPermissions(out.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(readBytes(out.filePath(u"font.bmp"_s)), QByteArray("earlier bitmap"));
    QCOMPARE(readBytes(out.filePath(u"font.fnt"_s)), QByteArray("earlier metrics"));
    QCOMPARE(entries(out.path()), (QStringList{u"font.bmp"_s, u"font.fnt"_s}));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
