#include "Version.h"
#include "cli/CommandLine.h"
#include "render/FontSource.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/Golden.h"
#include "support/TestFont.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

const auto kOthersRead =
    QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther;

// What a command line changes in settings of zeros or of non-zeros, and what else it names.
QString summary(const CommandLine& line)
{
    const Settings bases[] = {
        {}, {{u"B"_s, 9.0F, true, true, 1, 2}, {true, true, u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, 5, 6}, {}}};
    QStringList told;
    for (Settings settings : bases) {
        ProfileFile before;
        ProfileFile after;
        writeSettings(before, settings, BmFontKeys::All);
        line.overrides.applyTo(settings);
        writeSettings(after, settings, BmFontKeys::All);
        for (const auto& [section, key] : after.keyNames()) {
            if (after.value(section, key) != before.value(section, key))
                told << key + u'=' + after.value(section, key);
        }
    }
    const QString actions[] = {QString(), u"help"_s, u"version"_s, u"fonts"_s, u"finish"_s, u"project"_s};
    told << line.configPath << line.fontFile << line.axesFile << line.bitmapPath << actions[int(line.action)]
         << line.projectPath << line.depfile;
    for (const double scale : line.scales)
        told << u"@"_s + QString::number(scale);
    told << (line.force ? u"force"_s : QString()) << (line.dryRun ? u"dry-run"_s : QString())
         << (line.watch ? u"watch"_s : QString());
    told.removeDuplicates();
    return told.join(u' ').simplified();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!test::loadDejaVuSans().isEmpty());
        QVERIFY(writeSettingsFile(m_config, {test::dejaVu(14.0F), {}, {}}));
        // User nobody reads the settings file.
        QFile::setPermissions(m_dir.path(), kOthersRead | QFileDevice::WriteOwner);
        QFile::setPermissions(m_config, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        // Qt's warnings about the environment would stand between the program's messages.
        qputenv("QT_LOGGING_RULES", "default.warning=false");
    }

    void parse_data() { test::addTableRows(u"command-lines.txt"_s); }
    void parse()
    {
        test::compareRow([](const QString& input) {
            const Result<CommandLine> line =
                parseCommandLine(QStringList{u"glyfrax-export"_s} + input.split(u' ', Qt::SkipEmptyParts));
            return line ? summary(*line) : line.error();
        });
    }

    // Textures up to 8192 x 8192 pixels are made; a larger side only when allowed.
    void largeTextureGuard()
    {
        QVERIFY(approveTextureSize(false, 8192, 8192));
        QVERIFY(approveTextureSize(true, 16384, 16384));
        for (const auto& [width, height] : {std::pair(16384, 8192), std::pair(8192, 16384)}) {
            const Result<void> refused = approveTextureSize(false, width, height);
            QVERIFY(!refused && refused.error().contains(u"--allow-large"_s));
        }
    }

    // A bad setting is told and replaced from the command line; the settings file stays as it is.
    void exportEqualsTheGoldenFiles()
    {
        const QString config = test::dataPath(u"cli-config.ini"_s);
        const QByteArray settings = test::readBytes(config);
        const QString bitmap = m_dir.filePath(u"cli.bmp"_s);
        const test::ChildRun run =
            test::runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                           {u"--config"_s, config, u"--font-file"_s, test::dejaVuSansPath(), u"--ydist=2"_s, bitmap});
        QCOMPARE(run.err, u"glyfrax-export: "_s +
                              describeSettingProblems(
                                  config, {{u"Export Option"_s, u"YDist"_s, u"-1"_s, u"außerhalb von 0 bis 32767"_s}}) +
                              u'\n');
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"Textur: 512x512\n%1\n%2\n"_s.arg(m_dir.filePath(u"cli.fnt"_s), bitmap));
        GLYFRAX_COMPARE_GOLDEN(test::readBytes(m_dir.filePath(u"cli.fnt"_s)), u"dejavu14-text.fnt"_s);
        GLYFRAX_COMPARE_GOLDEN(test::readBytes(bitmap), u"dejavu14.bmp.sha256"_s);
        QCOMPARE(test::readBytes(config), settings);
    }

    // Every family listed is one --font takes, in order; a long export says nothing on a pipe.
    void fontListAndQuietPipe()
    {
        QStringList families;
        for (const QString& line : installedFontList())
            families << line.section(u'\t', 0, 0);
        QVERIFY(families.contains(u"DejaVu Sans"_s));
        QVERIFY(std::is_sorted(families.begin(), families.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        }));
        for (const QString& family : families)
            QVERIFY2(isFaceInstalled(family), qPrintable(family));

        const test::ChildRun run =
            test::runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY), {u"--config"_s, m_config, u"--size=480"_s,
                                                                   u"--allow-large"_s, m_dir.filePath(u"large.bmp"_s)});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());
        QVERIFY(run.out.startsWith(u"Textur: 16384x16384\n"_s));
        QCOMPARE(QFileInfo(m_dir.filePath(u"large.bmp"_s)).size(), 16384LL * 16384 * 3 + 54);
        QFile::remove(m_dir.filePath(u"large.bmp"_s));
    }

    void exitCodesAndTexts_data() { test::addTableRows(u"exporter-runs.txt"_s); }
    // Whatever fails, the earlier files stay and nothing is left behind.
    void exitCodesAndTexts()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString exporter = QStringLiteral(GLYFRAX_EXPORT_BINARY);
        const bool nobody = input.startsWith(u"nobody "_s);
        if (nobody && !test::othersCanRun(exporter))
            QSKIP("The exporter cannot be run as user nobody from this build folder.");
        QTemporaryDir out;
        QVERIFY(test::writeBytes(out.filePath(u"font.bmp"_s), "earlier bitmap"));
        QVERIFY(test::writeBytes(out.filePath(u"font.fnt"_s), "earlier metrics"));
        if (nobody)
            QFile::setPermissions(out.path(), kOthersRead);
        auto place = [&](QString text) {
            return text.replace(u"{config}"_s, m_config)
                .replace(u"{out}"_s, out.path())
                .replace(u"{data}"_s, QStringLiteral(GLYFRAX_TEST_DATA))
                .replace(u"{version}"_s, QString::fromLatin1(kVersionText));
        };
        const QStringList arguments = place(input).split(u' ').mid(nobody ? 1 : 0);
        const test::ChildRun run = test::runChild(exporter, arguments, {-1, nobody});
        QFile::setPermissions(out.path(), kOthersRead | QFileDevice::WriteOwner);
        QCOMPARE(int(run.out.isEmpty()) + int(run.err.isEmpty()), 1); // one stream with text
        const QString told =
            QString::number(run.exitCode) + (run.err.isEmpty() ? u" out:"_s + run.out : u" err:"_s + run.err);
        QCOMPARE(told.left(place(expected).size()), place(expected));
        QCOMPARE(test::readBytes(out.filePath(u"font.bmp"_s)), "earlier bitmap"_ba);
        QCOMPARE(test::readBytes(out.filePath(u"font.fnt"_s)), "earlier metrics"_ba);
        QCOMPARE(test::entries(out.path()), (QStringList{u"font.bmp"_s, u"font.fnt"_s}));
    }

    // The options of a [BMFont] section are those of the command line, which replaces them one by
    // one: the set is the same as the command line alone makes.
    void bmfontSection_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("alone"); // the command line that makes the same files
        QTest::addColumn<QString>("told");  // a part of what stderr says; empty: nothing
        const QString all = u"Chars=65-90, 0x20AC\nCodePage=1251\nPadding=3\nSpacing=0\nMaxTexture=64\n"_s
                            u"NonSquare=255\nDescriptor=xml\nOpaque=255\n"_s;
        QTest::addRow("every option from the file")
            << all << QString()
            << u"--chars 65-90,0x20AC --codepage 1251 --padding 3 --spacing 0 --max-texture 64 --non-square "_s
               u"--descriptor xml --color 16777215 --backcolor 4202512"_s
            << QString();
        QTest::addRow("the command line replaces single keys")
            << all << u"--padding 1 --square --alpha --chars 66"_s
            << u"--chars 66 --codepage 1251 --spacing 0 --max-texture 64 --descriptor xml"_s << QString();
        QTest::addRow("a bad value is told and takes the default")
            << u"Padding=drei\nMaxTexture=100\nDescriptor=xml\n"_s << QString() << u"--descriptor xml"_s
            << u"[BMFont] Padding = „drei“: erwartet eine oder vier ganze Zahlen von 0 bis 255"_s;
    }

    void bmfontSection()
    {
        QFETCH(QString, section);
        QFETCH(QString, options);
        QFETCH(QString, alone);
        QFETCH(QString, told);
        QTemporaryDir out;
        const QString config = out.filePath(u"with-section.ini"_s);
        QVERIFY(test::writeBytes(config, test::readBytes(m_config) + "[BMFont]\r\n" + section.toUtf8()));
        auto exportWith = [&](const QString& settings, const QString& given, const QString& name) {
            const QStringList arguments =
                QStringList{u"--config"_s, settings, u"--format"_s, u"bmfont"_s} + given.split(u' ', Qt::SkipEmptyParts)
                << out.filePath(name + u".png"_s);
            return test::runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY), arguments);
        };
        const test::ChildRun fromFile = exportWith(config, options, u"file"_s);
        QCOMPARE(fromFile.exitCode, 0);
        QCOMPARE(exportWith(m_config, alone, u"alone"_s).exitCode, 0);
        QVERIFY2(told.isEmpty() ? fromFile.err.isEmpty() : fromFile.err.contains(told), qPrintable(fromFile.err));
        QByteArray file = test::readBytes(out.filePath(u"file.fnt"_s));
        QVERIFY(!file.isEmpty());
        QCOMPARE(file.replace("\"file", "\"alone"), test::readBytes(out.filePath(u"alone.fnt"_s)));
        QCOMPARE(test::entries(out.path()).size(), 1 + 2 * test::entries(out.path()).filter(u"alone"_s).size());
        for (const QString& page : test::entries(out.path()).filter(u"file"_s).filter(u".png"_s))
            QCOMPARE(test::readBytes(out.filePath(page)),
                     test::readBytes(out.filePath(QString(page).replace(u"file"_s, u"alone"_s))));
    }

    // A face from a file is named as the file names it, not by the name it is loaded under.
    void fileFaceKeepsItsName()
    {
        const test::ChildRun run =
            test::runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                           {u"--config"_s, m_config, u"--format=bmfont"_s, u"--font-file"_s, test::dejaVuSansPath(),
                            u"--descriptor=xml"_s, m_dir.filePath(u"f.png"_s)});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(test::readBytes(run.out.section(u'\n', 1, 1)).contains("<info face=\"DejaVu Sans\""));
    }

    // A family with a line break of its own keeps the font list one line for each family.
    void familyWithALineBreak()
    {
        const Result<QByteArray> renamed = renameFontFamily(test::readBytes(test::dejaVuSansPath()), u"Zwei\nZeilen"_s);
        QVERIFY(QFontDatabase::addApplicationFontFromData(renamed.value()) >= 0);
        QVERIFY(installedFontList().contains(u"Zwei␊Zeilen\tBook"_s));
    }

private:
    QTemporaryDir m_dir;
    QString m_config = m_dir.filePath(u"config.ini"_s);
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
