#include "export/FontExport.h"
#include "layout/TextureLayout.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QProcess>
#include <QTest>

#include <unistd.h>

using namespace glyfrax;
using glyfrax::test::entries;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the exporter; as another user when asked, so permissions hold even for root.
Run runExporter(const QStringList& arguments, bool unprivileged = false)
{
    QProcess process;
    QString program = QStringLiteral(GLYFRAX_EXPORT_BINARY);
    QStringList args = arguments;
    if (unprivileged && geteuid() == 0) {
        args.prepend(program);
        args = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                           QStringLiteral("--clear-groups")} +
               args;
        program = QStringLiteral("setpriv");
    }
    process.start(program, args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Settings baseSettings()
{
    Settings settings;
    settings.font = test::dejaVu(14.0F);
    settings.options.CharTxt = QStringLiteral("C");
    settings.options.XTxt = QStringLiteral("X");
    settings.options.YTxt = QStringLiteral("Y");
    settings.options.WTxt = QStringLiteral("W");
    settings.options.HTxt = QStringLiteral("H");
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
    m_config = m_dir.filePath(QStringLiteral("config.ini"));
}

void TestCli::filesEqualTheCoreExport_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Settings>("expected");

    Settings text = baseSettings();
    text.options.XDist = 2;
    text.options.YDist = 3;
    text.options.CharTxt = QStringLiteral("Zeichen");
    text.options.XTxt = QString();
    QTest::addRow("text form, gaps, labels")
        << QStringList{QStringLiteral("--xdist"), QStringLiteral("2"), QStringLiteral("--ydist=3"),
                       QStringLiteral("--labels"), QStringLiteral("Zeichen,,Y,W,H")}
        << text;

    Settings shortForm = baseSettings();
    shortForm.options.WriteBinary = true;
    shortForm.font.bold = true;
    shortForm.font.italic = true;
    shortForm.font.size = 20.0F;
    shortForm.font.textColor = 0x0080FF;
    shortForm.font.backColor = 255;
    QTest::addRow("16 bits, bold italic, colours")
        << QStringList{QStringLiteral("--binary"), QStringLiteral("--short"), QStringLiteral("--bold"),
                       QStringLiteral("--italic"), QStringLiteral("--size"),  QStringLiteral("20"),
                       QStringLiteral("--color"),  QStringLiteral("#FF8000"), QStringLiteral("--backcolor"),
                       QStringLiteral("255")}
        << shortForm;

    Settings longForm = baseSettings();
    longForm.options.WriteBinary = true;
    longForm.options.TakeLong = true;
    longForm.options.XDist = 1;
    QTest::addRow("32 bits") << QStringList{QStringLiteral("--binary"), QStringLiteral("--long"),
                                            QStringLiteral("--xdist"), QStringLiteral("1")}
                             << longForm;
}

void TestCli::filesEqualTheCoreExport()
{
    QFETCH(QStringList, options);
    QFETCH(Settings, expected);
    QVERIFY(writeSettingsFile(m_config, baseSettings()));
    const QByteArray configBefore = readBytes(m_config);

    const QString cliBitmap = m_dir.filePath(QStringLiteral("cli.bmp"));
    const Run run = runExporter(QStringList{QStringLiteral("--config"), m_config} + options + QStringList{cliBitmap});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    const QString coreBitmap = m_dir.filePath(QStringLiteral("core.bmp"));
    TextureLayout layout;
    QVERIFY(ExportFont(coreBitmap, expected, QPalette(), layout).ok());
    QCOMPARE(run.out.split(u'\n').value(0), textureSizeCaption(layout.TextureSize));
    QVERIFY(run.out.contains(m_dir.filePath(QStringLiteral("cli.fnt"))));
    QCOMPARE(readBytes(cliBitmap), readBytes(coreBitmap));
    QCOMPARE(readBytes(metricsPathFor(cliBitmap)), readBytes(metricsPathFor(coreBitmap)));
    QCOMPARE(readBytes(m_config), configBefore); // never written
}

void TestCli::fontFileGivesTheSameFilesAsTheInstalledFace()
{
    Settings settings = baseSettings();
    settings.font.face = QStringLiteral("No Such Face");
    QVERIFY(writeSettingsFile(m_config, settings));
    const QString fromFile = m_dir.filePath(QStringLiteral("file.bmp"));
    const QString installed = m_dir.filePath(QStringLiteral("installed.bmp"));
    QCOMPARE(runExporter({QStringLiteral("--config"), m_config, QStringLiteral("--font-file"), test::dejaVuSansPath(),
                          fromFile})
                 .exitCode,
             0);
    QCOMPARE(runExporter({QStringLiteral("--config"), m_config, QStringLiteral("--font"), QStringLiteral("DejaVu Sans"),
                          installed})
                 .exitCode,
             0);
    QCOMPARE(readBytes(fromFile), readBytes(installed));
    QCOMPARE(readBytes(metricsPathFor(fromFile)), readBytes(metricsPathFor(installed)));
}

void TestCli::badConfigValueIsReportedAndTheExportGoesOn()
{
    QVERIFY(writeBytes(m_config, "[Font]\r\nName=DejaVu Sans\r\nSize=vierzehn\r\n[Export Option]\r\nYDist=-1\r\n"));
    const Run run = runExporter({QStringLiteral("--config"), m_config, m_dir.filePath(QStringLiteral("bad.bmp"))});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.contains(QStringLiteral("[Font] Size = „vierzehn“")));
    QVERIFY(run.err.contains(QStringLiteral("[Export Option] YDist = „-1“")));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("bad.fnt"))));
}

void TestCli::usageErrorsExitWith2_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::addRow("unknown option") << QStringList{QStringLiteral("--frobnicate"), QStringLiteral("x.bmp")}
                                    << "Unbekannte Option: --frobnicate";
    QTest::addRow("no bitmap") << QStringList{QStringLiteral("--bold")} << "Es fehlt der Pfad der Bitmap";
    QTest::addRow("size not a number") << QStringList{QStringLiteral("--size"), QStringLiteral("gross"),
                                                      QStringLiteral("x.bmp")}
                                       << "Ungültiger Wert „gross“ für --size";
    QTest::addRow("gap out of range") << QStringList{QStringLiteral("--xdist=-1"), QStringLiteral("x.bmp")}
                                      << "für --xdist";
    QTest::addRow("four labels") << QStringList{QStringLiteral("--labels=a,b,c,d"), QStringLiteral("x.bmp")}
                                 << "für --labels";
    QTest::addRow("contrary switches") << QStringList{QStringLiteral("--bold"), QStringLiteral("--no-bold"),
                                                      QStringLiteral("x.bmp")}
                                       << "schließen einander aus";
    QTest::addRow("bad colour") << QStringList{QStringLiteral("--color=#12345"), QStringLiteral("x.bmp")}
                                << "für --color";
}

void TestCli::usageErrorsExitWith2()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run run = runExporter(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("Aufruf: glyfrax-export")));
}

void TestCli::failuresExitWith1AndKeepEarlierFiles_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("message");
    QTest::addRow("font file missing") << QStringLiteral("--font-file=/nonexistent/font.ttf") << false
                                       << "/nonexistent/font.ttf";
    QTest::addRow("font file not a font") << QStringLiteral("--font-file=%1") << false << "keine TrueType";
    QTest::addRow("folder not writable") << QString() << true << "Zugriff verweigert";
}

void TestCli::failuresExitWith1AndKeepEarlierFiles()
{
    QFETCH(QString, option);
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, message);
    QVERIFY(writeSettingsFile(m_config, baseSettings()));
    QFile::setPermissions(m_config, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    QTemporaryDir out;
    QVERIFY(writeBytes(out.filePath(QStringLiteral("font.bmp")), "earlier bitmap"));
    QVERIFY(writeBytes(out.filePath(QStringLiteral("font.fnt")), "earlier metrics"));
    QFile::setPermissions(out.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther |
                                          (readOnlyFolder ? QFileDevice::Permissions() : QFileDevice::WriteOwner));
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadOther | QFileDevice::ExeOther);

    QStringList arguments{QStringLiteral("--config"), m_config, out.filePath(QStringLiteral("font.bmp"))};
    if (!option.isEmpty())
        arguments.prepend(option.contains(QStringLiteral("%1")) ? option.arg(m_config) : option);
    const Run run = runExporter(arguments, readOnlyFolder);
    QFile::setPermissions(out.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(readBytes(out.filePath(QStringLiteral("font.bmp"))), QByteArray("earlier bitmap"));
    QCOMPARE(readBytes(out.filePath(QStringLiteral("font.fnt"))), QByteArray("earlier metrics"));
    QCOMPARE(entries(out.path()), (QStringList{QStringLiteral("font.bmp"), QStringLiteral("font.fnt")}));
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
