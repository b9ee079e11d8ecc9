// What a hostile or unlucky caller can do to an export: name a target that is no regular file
// or is one of the export's own inputs, hand it inputs that block or never end, fill the disk,
// kill it, run two at once. Afterwards every pair is the earlier one or a complete new one,
// nothing that is not ours was replaced, and the user was told in German.

#include "base/FileSafety.h"
#include "render/FontSource.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using namespace glyfrax::test;

namespace {

using Pair = std::pair<QByteArray, QByteArray>; // bitmap, metrics
const QString kExporter = QStringLiteral(GLYFRAX_EXPORT_BINARY);
const QString kFonts = u"/usr/share/fonts/truetype/dejavu"_s;
const QStringList kExportFiles{u"font.bmp"_s, u"font.fnt"_s};

Pair pairIn(const QString& folder)
{
    return {readBytes(QDir(folder).filePath(u"font.bmp"_s)), readBytes(QDir(folder).filePath(u"font.fnt"_s))};
}

// Each entry of a folder, special files included, with its kind and a regular file's content.
QStringList snapshot(const QString& folder)
{
    QStringList state;
    const QDir::Filters all = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(all, QDir::Name)) {
        const FileKind kind = fileKind(entry.filePath());
        const QByteArray content = kind == FileKind::Regular ? readBytes(entry.filePath()) : QByteArray();
        state.append(u"%1 %2 %3"_s.arg(entry.fileName()).arg(int(kind)).arg(qHash(content)));
    }
    return state;
}

} // namespace

class TestFailures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refused_data();
    void refused();
    void fontFileFaceIsUsed_data();
    void fontFileFaceIsUsed();
    void anyEnvironmentExportsQuietly_data();
    void anyEnvironmentExportsQuietly();
    void fullDiskKeepsTheEarlierFiles_data();
    void fullDiskKeepsTheEarlierFiles();
    void killedExportLeavesOnePair();
    void simultaneousExportsNeverMix();

private:
    // Runs the exporter with the test's settings unless arguments name others (an option given
    // twice is refused); %1 in arguments is the DejaVu folder, %2 the test's.
    ChildRun exportWith(QString arguments, const QString& bitmap, const Limits& limits = {}) const
    {
        const QStringList given =
            arguments.replace(u"%1"_s, kFonts).replace(u"%2"_s, m_dir.path()).split(u' ', Qt::SkipEmptyParts);
        const QStringList config = given.contains(u"--config"_s) ? QStringList() : QStringList{u"--config"_s, m_config};
        return runChild(kExporter, config + given << bitmap, limits);
    }
    void putEarlierFiles(const QString& folder);

    QTemporaryDir m_dir;
    QString m_config;
    Pair m_earlier;
};

void TestFailures::initTestCase()
{
    QFile::setPermissions(m_dir.path(),
                          QFile::permissions(m_dir.path()) | QFileDevice::ReadOther | QFileDevice::ExeOther);
    m_config = m_dir.filePath(u"config.ini"_s);
    QVERIFY(writeBytes(m_config, "[Font]\r\nName=DejaVu Sans\r\nColor=16777215\r\nBackColor=4202512\r\n"
                                 "[Export Option]\r\nXDist=1\r\nYDist=1\r\n"));
    QCOMPARE(exportWith(u"--size 11"_s, m_dir.filePath(u"font.bmp"_s)).exitCode, 0);
    m_earlier = pairIn(m_dir.path());
    // A font whose family is installed, but whose glyphs are those of another face.
    const Result<QByteArray> impostor = renameFontFamily(readBytes(kFonts + u"/DejaVuSerif.ttf"_s), u"DejaVu Sans"_s);
    QVERIFY(impostor);
    QVERIFY(writeBytes(m_dir.filePath(u"impostor.ttf"_s), *impostor));
}

void TestFailures::putEarlierFiles(const QString& folder)
{
    QVERIFY(writeBytes(QDir(folder).filePath(u"font.bmp"_s), m_earlier.first));
    QVERIFY(writeBytes(QDir(folder).filePath(u"font.fnt"_s), m_earlier.second));
}

void TestFailures::refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("make");      // shell: makes $T; $D is the test's folder
    QTest::addColumn<QString>("arguments"); // $T spelled otherwise than the target
    QTest::addColumn<QString>("message");
    const QString bmp = u"font.bmp"_s, fnt = u"font.fnt"_s, in = u"input"_s, none, fifo = u"mkfifo $T"_s;
    const QString socket = u"python3 -c \"import socket; socket.socket(socket.AF_UNIX).bind('$T')\""_s;
    QTest::addRow("bitmap is a FIFO") << bmp << fifo << none << u"Pipe"_s;
    QTest::addRow("metrics is a FIFO") << fnt << fifo << none << u"Pipe"_s;
    QTest::addRow("bitmap is a device") << bmp << u"mknod $T c 1 3"_s << none << u"Gerät"_s;
    QTest::addRow("metrics is a socket") << fnt << socket << none << u"Socket"_s;
    QTest::addRow("bitmap links to nothing") << bmp << u"ln -s gone $T"_s << none << u"nicht gibt"_s;
    QTest::addRow("metrics links to a FIFO") << fnt << u"mkfifo $T.p; ln -s $T.p $T"_s << none << u"Pipe"_s;
    QTest::addRow("metrics is --config") << fnt << u"cp $D/config.ini $T"_s << u"--config $T"_s << u"liest"_s;
    QTest::addRow("bitmap is config, hard link") << bmp << u"ln $D/config.ini $T"_s << none << u"liest"_s;
    QTest::addRow("bitmap is --font-file") << bmp << u"cp $D/impostor.ttf $T"_s << u"--font-file $T"_s << u"liest"_s;
    QTest::addRow("font file is a FIFO") << in << fifo << u"--font-file $T"_s << u"Pipe"_s;
    QTest::addRow("font file is a device") << in << u"ln -s /dev/zero $T"_s << u"--font-file $T"_s << u"Gerät"_s;
    QTest::addRow("settings file is a FIFO") << in << fifo << u"--config $T"_s << u"Pipe"_s;
    QTest::addRow("settings file is a folder") << in << u"mkdir $T"_s << u"--config $T"_s << u"Ordner"_s;
    QTest::addRow("settings file is a device") << in << u"ln -s /dev/zero $T"_s << u"--config $T"_s << u"Gerät"_s;
    QTest::addRow("settings file over 1 MiB") << in << u"truncate -s 1048577 $T"_s << u"--config $T"_s << u"1 MiB"_s;
    QTest::addRow("settings unreadable") << in << u"touch $T; chmod 0 $T"_s << u"--config $T"_s << u"lesen"_s;
    QTest::addRow("face not installed") << none << none << u"--font Dejavu"_s << u"„DejaVu Sans“"_s;
    QTest::addRow("short fields, texture too large")
        << none << none << u"--size 1638 --xdist 2000 --ydist 2000 --binary --short"_s << u"zu groß für eine BMP"_s;
}

void TestFailures::refused()
{
    QFETCH(QString, name);
    QFETCH(QString, make);
    QFETCH(QString, arguments);
    QFETCH(QString, message);
    const bool unprivileged = make.contains(u"chmod"_s);
    if (unprivileged && !othersCanRun(kExporter))
        QSKIP("The test cannot be run as user nobody from this build folder.");
    QTemporaryDir out;
    QFile::setPermissions(out.path(), QFile::permissions(m_dir.path()));
    for (const QString& file : kExportFiles) {
        if (file != name)
            QVERIFY(writeBytes(out.filePath(file), "earlier"));
    }
    const QString script = u"T='%1'; D='%2'; "_s.arg(out.filePath(name), m_dir.path()) + make;
    if (!make.isEmpty() && runChild(u"sh"_s, {u"-c"_s, script}).exitCode != 0)
        QSKIP("This machine does not let the test make that.");
    const QStringList before = snapshot(out.path());
    const ChildRun run = exportWith(arguments.replace(u"$T"_s, out.path() + u"/./"_s + name),
                                    out.filePath(u"font.bmp"_s), {-1, unprivileged});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(run.err.contains(name), qPrintable(run.err));
    QCOMPARE(snapshot(out.path()), before);
}

void TestFailures::fontFileFaceIsUsed_data()
{
    QTest::addColumn<QString>("fromFile");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<bool>("same");
    const QString file = u"--font-file %1/"_s, serif = file + u"DejaVuSerif.ttf"_s;
    QTest::addRow("bold file decides") << file + u"DejaVuSerif-Bold.ttf --no-bold"_s << file + u"DejaVuSerif-Bold.ttf"_s
                                       << true;
    QTest::addRow("extra-light file") << file + u"DejaVuSans-ExtraLight.ttf"_s << file + u"DejaVuSans.ttf"_s << false;
    QTest::addRow("installed family, other glyphs") << u"--font-file %2/impostor.ttf"_s << serif << true;
    QTest::addRow("the same, spelled with ./") << u"--font-file %2/./impostor.ttf"_s << serif << true;
}

void TestFailures::fontFileFaceIsUsed()
{
    QFETCH(QString, fromFile);
    QFETCH(QString, reference);
    QFETCH(bool, same);
    QTemporaryDir out;
    QCOMPARE(exportWith(fromFile, out.filePath(u"file.bmp"_s)).exitCode, 0);
    QCOMPARE(exportWith(reference, out.filePath(u"reference.bmp"_s)).exitCode, 0);
    QCOMPARE(readBytes(out.filePath(u"file.bmp"_s)) == readBytes(out.filePath(u"reference.bmp"_s)), same);
}

void TestFailures::anyEnvironmentExportsQuietly_data()
{
    QTest::addColumn<QString>("platform"); // for env(1), which also unsets the runtime folder
    QTest::addRow("no platform, no runtime folder") << u"--unset=QT_QPA_PLATFORM"_s;
    QTest::addRow("empty platform") << u"QT_QPA_PLATFORM="_s;
    QTest::addRow("unknown platform") << u"QT_QPA_PLATFORM=nonsense"_s;
    QTest::addRow("platform without a display") << u"QT_QPA_PLATFORM=xcb"_s;
}

void TestFailures::anyEnvironmentExportsQuietly()
{
    QFETCH(QString, platform);
    // The target is a link, which stays a link: its target is replaced.
    QTemporaryDir out;
    QVERIFY(writeBytes(out.filePath(u"real.bmp"_s), "earlier"));
    QVERIFY(QFile::link(out.filePath(u"real.bmp"_s), out.filePath(u"font.bmp"_s)));
    const ChildRun run = runChild(u"env"_s, {u"--unset=XDG_RUNTIME_DIR"_s, platform, kExporter, u"--config"_s, m_config,
                                             out.filePath(u"font.bmp"_s)});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QFileInfo(out.filePath(u"font.bmp"_s)).symLinkTarget(), out.filePath(u"real.bmp"_s));
    QVERIFY(readBytes(out.filePath(u"real.bmp"_s)).startsWith("BM"));
}

void TestFailures::fullDiskKeepsTheEarlierFiles_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<qint64>("maxFileSize");
    for (qint64 size : {0LL, 6000LL, 100000LL})
        QTest::addRow("files stop at %lld bytes", size) << u"14"_s << size;
    // 4096 x 4096: the threads draw bands of their own, and one of them meets the full disk.
    QTest::addRow("a texture of bands stops at 1 MB") << u"200"_s << 1000000LL;
}

void TestFailures::fullDiskKeepsTheEarlierFiles()
{
    QFETCH(QString, size);
    QFETCH(qint64, maxFileSize);
    QTemporaryDir out;
    putEarlierFiles(out.path());
    const ChildRun run = exportWith(u"--size "_s + size, out.filePath(u"font.bmp"_s), {maxFileSize});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(u"konnte nicht geschrieben werden"_s), qPrintable(run.err));
    QCOMPARE(entries(out.path()), kExportFiles);
    QVERIFY(pairIn(out.path()) == m_earlier);
}

void TestFailures::killedExportLeavesOnePair()
{
    QTemporaryDir out;
    const QString bitmap = out.filePath(u"font.bmp"_s);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(exportWith(u"--size 200"_s, bitmap).exitCode, 0);
    const qint64 duration = timer.elapsed();
    const Pair complete = pairIn(out.path());
    QCOMPARE(complete.first.size(), 54 + 4096 * 4096 * 3);
    const int asked = qEnvironmentVariableIntValue("GLYFRAX_KILL_RUNS");
    const int runs = asked > 0 ? asked : 50;
    int earlier = 0, mixed = 0, stray = 0;
    for (int run = 0; run < runs; ++run) {
        putEarlierFiles(out.path());
        QProcess process;
        process.start(kExporter, {u"--config"_s, m_config, u"--size"_s, u"200"_s, bitmap});
        QVERIFY(process.waitForStarted());
        QTest::qSleep(int(QRandomGenerator::global()->bounded(duration + 20)));
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        // A commit the kill did not stop runs on in a process of its own, holding the folder's lock.
        const int folder = ::open(QFile::encodeName(out.path()).constData(), O_RDONLY);
        ::flock(folder, LOCK_EX);
        ::close(folder);
        stray += entries(out.path()) == kExportFiles ? 0 : 1;
        const Pair now = pairIn(out.path());
        earlier += now == m_earlier ? 1 : 0;
        mixed += (now == m_earlier || now == complete) ? 0 : 1;
    }
    qInfo("%d kills: %d left the earlier pair, %d the new one, %d a mixed pair, %d stray files", runs, earlier,
          runs - earlier - mixed, mixed, stray);
    QCOMPARE(mixed, 0);
    QCOMPARE(stray, 0);
}

void TestFailures::simultaneousExportsNeverMix()
{
    QTemporaryDir out;
    const QString bitmap = out.filePath(u"font.bmp"_s);
    QList<Pair> alone;
    for (const QString& size : {u"9"_s, u"10"_s}) {
        QCOMPARE(exportWith(u"--size "_s + size, bitmap).exitCode, 0);
        alone.append(pairIn(out.path()));
    }
    int mismatched = 0;
    for (int round = 0; round < 100; ++round) {
        QProcess first;
        QProcess second;
        first.start(kExporter, {u"--config"_s, m_config, u"--size"_s, u"9"_s, bitmap});
        second.start(kExporter, {u"--config"_s, m_config, u"--size"_s, u"10"_s, bitmap});
        QVERIFY(first.waitForFinished());
        QVERIFY(second.waitForFinished());
        mismatched += alone.contains(pairIn(out.path())) ? 0 : 1;
    }
    QCOMPARE(mismatched, 0);
    QCOMPARE(entries(out.path()), kExportFiles);
}

QTEST_MAIN(TestFailures)

#include "tst_failures.moc"
