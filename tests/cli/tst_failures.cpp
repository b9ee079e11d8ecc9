// What happens when something fails underneath an export or the settings write: the disk
// fills up, a folder is read-only or vanishes, the process is killed. Afterwards every file is
// either the earlier one or the complete new one, no temporary file is left, and the user was
// told in German.

#include "base/AtomicFile.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <cstring>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::entries;
using glyfrax::test::readBytes;
using glyfrax::test::runChild;
using glyfrax::test::writeBytes;

namespace {

const QStringList kExportFiles{u"font.bmp"_s, u"font.fnt"_s};

QStringList exportArguments(const QString& config, const QString& size, const QString& bitmap)
{
    return {u"--config"_s, config, u"--size"_s, size, bitmap};
}

Settings settingsWithFace(const QString& face)
{
    Settings settings;
    settings.font = test::dejaVu(12.0F);
    settings.font.face = face;
    return settings;
}

// The child mode: writes settings with the given face into a settings file, as a closing
// window does.
int writeSettingsChild(const char* path, const char* face)
{
    return writeSettingsFile(QString::fromLocal8Bit(path), settingsWithFace(QString::fromLocal8Bit(face))) ? 0 : 1;
}

} // namespace

class TestFailures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fullDiskKeepsTheEarlierFiles_data();
    void fullDiskKeepsTheEarlierFiles();
    void vanishingFolderLeavesNothingBehind();
    void killedExportLeavesEarlierOrCompleteFiles();
    void unwritableSettingsFileStaysAsItWas_data();
    void unwritableSettingsFileStaysAsItWas();
    void twoCopiesClosingNeverMixTheirSettings();

private:
    void putEarlierFiles(const QString& folder);
    void requireEarlierFilesOnly(const QString& folder);

    QTemporaryDir m_dir;
    QString m_config;
    QByteArray m_earlierBitmap;
    QByteArray m_earlierMetrics;
};

void TestFailures::initTestCase()
{
    QVERIFY(!test::loadDejaVuSans().isEmpty());
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadOther | QFileDevice::ExeOther);
    m_config = m_dir.filePath(u"config.ini"_s);
    Settings settings = settingsWithFace(u"DejaVu Sans"_s);
    settings.options.xDist = 1;
    settings.options.yDist = 1;
    QVERIFY(writeSettingsFile(m_config, settings));

    const QString earlier = m_dir.filePath(u"earlier.bmp"_s);
    QCOMPARE(runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY), exportArguments(m_config, u"11"_s, earlier), {}).exitCode,
             0);
    m_earlierBitmap = readBytes(earlier);
    m_earlierMetrics = readBytes(m_dir.filePath(u"earlier.fnt"_s));
    QVERIFY(!m_earlierBitmap.isEmpty() && !m_earlierMetrics.isEmpty());
}

void TestFailures::putEarlierFiles(const QString& folder)
{
    QVERIFY(writeBytes(QDir(folder).filePath(u"font.bmp"_s), m_earlierBitmap));
    QVERIFY(writeBytes(QDir(folder).filePath(u"font.fnt"_s), m_earlierMetrics));
}

void TestFailures::requireEarlierFilesOnly(const QString& folder)
{
    QCOMPARE(entries(folder), kExportFiles);
    QVERIFY(readBytes(QDir(folder).filePath(u"font.bmp"_s)) == m_earlierBitmap);
    QVERIFY(readBytes(QDir(folder).filePath(u"font.fnt"_s)) == m_earlierMetrics);
}

void TestFailures::fullDiskKeepsTheEarlierFiles_data()
{
    QTest::addColumn<qint64>("maxFileSize");
    // The 14 pt metrics file has about 6.5 kB, the bitmap 786 kB.
    for (qint64 size : {0LL, 1000LL, 6000LL, 7000LL, 100000LL, 786000LL})
        QTest::addRow("files stop at %lld bytes", size) << size;
}

void TestFailures::fullDiskKeepsTheEarlierFiles()
{
    QFETCH(qint64, maxFileSize);
    QTemporaryDir out;
    putEarlierFiles(out.path());
    const test::ChildRun run = runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                                        exportArguments(m_config, u"14"_s, out.filePath(u"font.bmp"_s)), {maxFileSize});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(u"konnte nicht geschrieben werden"_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(out.path()), qPrintable(run.err));
    requireEarlierFilesOnly(out.path());
}

void TestFailures::vanishingFolderLeavesNothingBehind()
{
    QTemporaryDir parent;
    const QString folder = parent.filePath(u"fonts"_s);
    const QString movedAway = parent.filePath(u"moved"_s);
    QVERIFY(QDir().mkpath(folder));
    putEarlierFiles(folder);
    const QString error = writeFilesAtomically({
        {QDir(folder).filePath(u"font.fnt"_s),
         [&](QIODevice& device) {
             device.write("new metrics");
             // The folder goes away while the first file is being written.
             return QDir().rename(folder, movedAway);
         }},
        {QDir(folder).filePath(u"font.bmp"_s), [](QIODevice& device) { return device.write("new") == 3; }},
    });
    QVERIFY2(error.contains(u"font.bmp"_s), qPrintable(error));
    QVERIFY2(error.contains(u"existiert nicht"_s), qPrintable(error));
    QVERIFY(!QFileInfo::exists(folder));
    requireEarlierFilesOnly(movedAway);
    QCOMPARE(entries(parent.path()), QStringList());
}

void TestFailures::killedExportLeavesEarlierOrCompleteFiles()
{
    // The complete new files, and how long an undisturbed export takes.
    QTemporaryDir reference;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(runChild(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                      exportArguments(m_config, u"200"_s, reference.filePath(u"font.bmp"_s)), {})
                 .exitCode,
             0);
    const qint64 duration = timer.elapsed();
    const QByteArray newBitmap = readBytes(reference.filePath(u"font.bmp"_s));
    const QByteArray newMetrics = readBytes(reference.filePath(u"font.fnt"_s));
    QCOMPARE(newBitmap.size(), 54 + 4096 * 4096 * 3);

    const int runs =
        qEnvironmentVariableIntValue("GLYFRAX_KILL_RUNS") > 0 ? qEnvironmentVariableIntValue("GLYFRAX_KILL_RUNS") : 50;
    QTemporaryDir out;
    int unchanged = 0;
    int complete = 0;
    int mixed = 0;
    for (int run = 0; run < runs; ++run) {
        putEarlierFiles(out.path());
        QProcess process;
        process.start(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                      exportArguments(m_config, u"200"_s, out.filePath(u"font.bmp"_s)));
        QVERIFY(process.waitForStarted());
        QTest::qSleep(int(QRandomGenerator::global()->bounded(duration + 20)));
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();

        QCOMPARE(entries(out.path()), kExportFiles); // no temporary file
        const QByteArray bitmap = readBytes(out.filePath(u"font.bmp"_s));
        const QByteArray metrics = readBytes(out.filePath(u"font.fnt"_s));
        QVERIFY(bitmap == m_earlierBitmap || bitmap == newBitmap);
        QVERIFY(metrics == m_earlierMetrics || metrics == newMetrics);
        if (bitmap == m_earlierBitmap && metrics == m_earlierMetrics)
            ++unchanged;
        else if (bitmap == newBitmap && metrics == newMetrics)
            ++complete;
        else
            ++mixed; // killed between the two renames: new metrics, earlier bitmap
    }
    qInfo("%d kills: %d left the earlier files, %d the complete new ones, %d new metrics with the earlier bitmap", runs,
          unchanged, complete, mixed);
}

void TestFailures::unwritableSettingsFileStaysAsItWas_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<qint64>("maxFileSize");
    QTest::addRow("read-only folder") << true << qint64(-1);
    QTest::addRow("full disk") << false << qint64(100);
}

void TestFailures::unwritableSettingsFileStaysAsItWas()
{
    QFETCH(bool, readOnlyFolder);
    if (readOnlyFolder && !test::othersCanRun(QCoreApplication::applicationFilePath()))
        QSKIP("The test cannot be run as user nobody from this build folder.");
    QFETCH(qint64, maxFileSize);
    QTemporaryDir folder;
    const QString ini = folder.filePath(u"config.ini"_s);
    const QByteArray before = "; mine\r\n[Font]\r\nName=Before\r\nSize=12\r\n";
    QVERIFY(writeBytes(ini, before));
    QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                                   QFileDevice::WriteOther);
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther |
                                             (readOnlyFolder ? QFileDevice::Permissions() : QFileDevice::WriteOwner));
    const test::ChildRun run = runChild(QCoreApplication::applicationFilePath(),
                                        {u"--write-settings"_s, ini, u"After"_s}, {maxFileSize, readOnlyFolder});
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(run.exitCode, 1); // the write reported failure to its caller, which stays silent
    QCOMPARE(run.err, QString());
    QCOMPARE(readBytes(ini), before);
    QCOMPARE(entries(folder.path()), QStringList{u"config.ini"_s});
}

void TestFailures::twoCopiesClosingNeverMixTheirSettings()
{
    QTemporaryDir folder;
    const QString ini = folder.filePath(u"config.ini"_s);
    const QByteArray start = "; shared\r\n[Font]\r\nName=Start\r\n";
    auto expectedFile = [&](const char* face) {
        ProfileFile profile = ProfileFile::fromBytes(start);
        writeSettings(profile, settingsWithFace(QString::fromLatin1(face)));
        return profile.toBytes();
    };
    const QByteArray onlyA = expectedFile("A");
    const QByteArray onlyB = expectedFile("B");

    // One after the other: the last one's settings, whole.
    QVERIFY(writeBytes(ini, start));
    for (const char* face : {"A", "B"})
        QCOMPARE(runChild(QCoreApplication::applicationFilePath(),
                          {u"--write-settings"_s, ini, QString::fromLatin1(face)}, {})
                     .exitCode,
                 0);
    QCOMPARE(readBytes(ini), onlyB);

    // At the same moment: one or the other, never a mix.
    for (int round = 0; round < 20; ++round) {
        QVERIFY(writeBytes(ini, start));
        QProcess a;
        QProcess b;
        a.start(QCoreApplication::applicationFilePath(), {u"--write-settings"_s, ini, u"A"_s});
        b.start(QCoreApplication::applicationFilePath(), {u"--write-settings"_s, ini, u"B"_s});
        QVERIFY(a.waitForFinished() && b.waitForFinished());
        const QByteArray result = readBytes(ini);
        QVERIFY(result == onlyA || result == onlyB);
        QCOMPARE(entries(folder.path()), QStringList{u"config.ini"_s});
    }
}

int main(int argc, char* argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--write-settings") == 0)
        return writeSettingsChild(argv[2], argv[3]);
    QGuiApplication app(argc, argv);
    TestFailures test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_failures.moc"
