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
const QString kHostileFonts = QStringLiteral(GLYFRAX_TEST_DATA "/hostile");
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

// A folder's regular files by name, with their content, hidden ones included.
using Folder = QMap<QString, QByteArray>;

Folder folderState(const QString& path)
{
    Folder state;
    for (const QString& name : entries(path))
        state[name] = readBytes(QDir(path).filePath(name));
    return state;
}

Folder visibleFiles(Folder state)
{
    state.removeIf([](const auto& entry) { return entry.key().startsWith(u'.'); });
    return state;
}

void restoreFolder(const QString& path, const Folder& state)
{
    for (const QString& name : entries(path))
        QFile::remove(QDir(path).filePath(name));
    for (auto file = state.begin(); file != state.end(); ++file)
        writeBytes(QDir(path).filePath(file.key()), file.value());
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
    void hostileFiles_data();
    void hostileFiles();
    void earlierSetGoesAsAWhole_data();
    void earlierSetGoesAsAWhole();
    void fullDiskKeepsTheEarlierFiles_data();
    void fullDiskKeepsTheEarlierFiles();
    void killedExportLeavesOneSet_data();
    void killedExportLeavesOneSet();
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
    QTest::addRow("settings unreadable") << in << u"touch $T; chmod 0 $T"_s
                                         << u"--config $T --font-file %1/DejaVuSans.ttf"_s << u"lesen"_s;
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
    // Run as nobody, the export could write here: only the refusal keeps the earlier files.
    QFile::setPermissions(out.path(), QFile::permissions(m_dir.path()) |
                                          (unprivileged ? QFileDevice::WriteOther : QFileDevice::Permissions()));
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

void TestFailures::hostileFiles_data()
{
    // sh, in a fresh folder: $X runs the exporter with the test's settings $C, $Y without; $F is DejaVu Sans,
    // $H the folder of the fonts tools/hostile-fonts makes
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // a part of what the exporter says on stderr
    QTest::addColumn<QString>("check");   // sh, afterwards: must succeed
    const QString bm = u"--format bmfont --size 10 "_s,
                  mount = u"mkdir d1 d2 && cp $F d1/font.ttf && mount --bind d1 d2 && "_s;
    const QString ff = u"$(printf '\\377')"_s, fffd = u"$(printf '\\357\\277\\275')"_s;
    const QString keep = u"cmp -s $F d1/font.ttf && ! ls d1 | grep -v font.ttf"_s;
    QTest::addRow("BMFont page is --font-file on a second mount")
        << mount + u"$X "_s + bm + u"--font-file d1/font.ttf d2/font.ttf"_s << 1 << u"liest"_s << keep;
    QTest::addRow("classic bitmap is --font-file on a second mount")
        << mount + u"$X --font-file d1/font.ttf d2/font.ttf"_s << 1 << u"liest"_s << keep;
    QTest::addRow("BMFont page is --chars-file on a second mount")
        << mount + u"echo abc >d1/c.txt && $X "_s + bm + u"--chars-file d1/c.txt d2/c.txt"_s << 1 << u"liest"_s
        << u"[ \"$(cat d1/c.txt)\" = abc ] && [ ! -e d1/c.fnt ]"_s;
    QTest::addRow("BMFont descriptor is --config through a hard link")
        << u"ln $C c.fnt && $X "_s + bm + u"c.png"_s << 1 << u"liest"_s << u"cmp -s $C c.fnt && [ ! -e c.png ]"_s;
    QTest::addRow("BMFont image name not UTF-8")
        << u"echo old >"_s + fffd + u".png && echo old >"_s + fffd + u".fnt && $X "_s + bm + ff + u".png"_s << 1
        << u"kein gültiges UTF-8"_s
        << u"[ \"$(cat "_s + fffd + u".png "_s + fffd + u".fnt)\" = 'old\nold' ] && [ $(ls | wc -l) = 2 ]"_s;
    QTest::addRow("classic bitmap name not UTF-8")
        << u"echo old >"_s + fffd + u".bmp && $X "_s + ff + u".bmp"_s << 1 << u"kein gültiges UTF-8"_s
        << u"[ \"$(cat "_s + fffd + u".bmp)\" = old ] && [ $(ls | wc -l) = 1 ]"_s;
    QTest::addRow("font file name not UTF-8")
        << u"cp $F "_s + ff + u".ttf && $X "_s + bm + u"--font-file "_s + ff + u".ttf out.png"_s << 1
        << u"kein gültiges UTF-8"_s << u"[ ! -e out.png ]"_s;
    QTest::addRow("folder may be written, not read, as nobody")
        << u"mkdir w && chmod 0333 w && $N $X "_s + bm + u"--font-file $F w/out.png"_s << 1
        << u"lässt sich nicht lesen"_s << u"[ -z \"$(ls -A w)\" ]"_s;
    QTest::addRow("folder may not be entered, as nobody")
        << u"mkdir -p n/sub && chmod 0666 n && $N $X "_s + bm + u"--font-file $F n/sub/out.png"_s << 1
        << u"nicht betreten"_s << u"chmod 0777 n && [ -z \"$(ls -A n/sub)\" ]"_s;
    QTest::addRow("characters from /proc/self/mem")
        << u"$X "_s + bm + u"--font-file $F --chars-file /proc/self/mem out.png"_s << 1 << u"Ein-/Ausgabefehler"_s
        << u"[ ! -e out.png ]"_s;
    QTest::addRow("classic name of 255 bytes")
        << u"$X $(printf %0251d 0).bmp"_s << 0 << QString() << u"[ -s $(printf %0251d 0).fnt ]"_s;
    QTest::addRow("BMFont name of 255 bytes") << u"$X "_s + bm + u"--font-file $F $(printf %0251d 0).png"_s << 0
                                              << QString() << u"[ -s $(printf %0251d 0).fnt ]"_s;
    const QString limit =
        u"$X --format bmfont --font-file $F --size 4 --padding 4 --max-texture 16 --chars 0x100-0x1FF"_s;
    QTest::addRow("256 pages, as many as the binary form numbers")
        << limit + u" p.png"_s << 0 << QString() << u"[ $(ls p_*.png | wc -l) = 256 ] && [ -e p_255.png ]"_s;
    QTest::addRow("257 pages") << limit + u",0x41 p.png"_s << 1 << u"257 Seiten, mehr als 256"_s
                               << u"[ -z \"$(ls)\" ]"_s;
    QTest::addRow("a name in capitals ending in .PNG")
        << u"$X "_s + bm + u"--font-file $F --chars 65 A.PNG"_s << 0 << QString()
        << u"[ \"$(head -c 4 A.PNG | tail -c 3)\" = PNG ] && [ -e A.fnt ]"_s;
    QTest::addRow("a replaced file keeps its permissions")
        << u"echo old >p.bmp && chmod 0604 p.bmp && echo old >p.fnt && chmod 0640 p.fnt && $X p.bmp"_s << 0 << QString()
        << u"[ $(stat -c %a p.bmp) = 604 ] && [ $(stat -c %a p.fnt) = 640 ]"_s;
    QTest::addRow("a settings file of exactly 1 MiB")
        << u"{ cat $C; head -c $((1048576 - $(wc -c <$C))) /dev/zero | tr '\\0' ' '; } >big.ini && "_s
           u"[ $(wc -c <big.ini) = 1048576 ] && $Y --config big.ini p.bmp"_s
        << 0 << QString() << u"[ -s p.fnt ]"_s;
    // Files someone else put into the folder: a journal is carried out only when this user's Glyfrax
    // wrote it for this folder, a temporary file removed only when it bears the same mark.
    const QString victim = u"echo victim >../victim && cp $F ../font.keep && "_s,
                  journal = u"printf '%s\\n' 'glyfrax-journal 1' %1 end >.glyfrax-journal"_s,
                  planted = victim + u"$X p.bmp && cp p.bmp p.old && "_s + journal + u" && $X --size 20 p.bmp"_s,
                  untouched = u"[ \"$(cat ../victim)\" = victim ] && cmp -s ../font.ttf ../font.keep && "_s
                              u"cmp -s p.bmp p.old && [ -s p.fnt ] && [ -e .glyfrax-journal ]"_s,
                  refusal = u"kein Journal, das Glyfrax für Sie"_s;
    QTest::addRow("planted journal removes a file beside the folder")
        << planted.arg(u"'D ..%2Fvictim'"_s) << 1 << refusal << untouched;
    QTest::addRow("planted journal removes a file by its absolute path")
        << planted.arg(u"\"D $(cd ..; pwd | sed s,/,%2F,g)%2Fvictim\""_s) << 1 << refusal << untouched;
    QTest::addRow("planted journal replaces a file outside")
        << u"echo evil >evil && "_s + planted.arg(u"'R evil ..%2Fvictim'"_s) << 1 << refusal << untouched;
    QTest::addRow("planted journal moves a file in")
        << planted.arg(u"'R ..%2Fvictim stolen'"_s) << 1 << refusal << untouched + u" && [ ! -e stolen ]"_s;
    QTest::addRow("planted journal overwrites the font and removes the settings")
        << u"cp $C c.ini && echo junk >junk && "_s + planted.arg(u"'R junk ..%2Ffont.ttf' 'D c.ini' 'D p.fnt'"_s) << 1
        << refusal << untouched + u" && cmp -s c.ini $C"_s;
    QTest::addRow("a journal of another user in a shared folder, as nobody")
        << u"chmod 1777 . && "_s + victim +
               u"$X p.bmp && cp p.bmp p.old && $N sh -c \"printf '%s\\n' "_s
               u"'glyfrax-journal 1' 'D ..%2Fvictim' end >.glyfrax-journal\" && $X --size 20 p.bmp"_s
        << 1 << u"gehört dem Benutzer „nobody“"_s << untouched;
    QTest::addRow("planted journal of today's form with a made-up mark")
        << u"cp $C c.ini && "_s + victim +
               u"$X p.bmp && cp p.bmp p.old && printf '%s\\n' 'glyfrax-journal 2' "_s
               u"'D p.fnt' 'D c.ini' end \"mark $(printf %064d 0)\" >.glyfrax-journal && $X --size 20 p.bmp"_s
        << 1 << refusal << untouched + u" && cmp -s c.ini $C"_s;
    QTest::addRow("a planted journal stops --finish too")
        << victim + journal.arg(u"'D ..%2Fvictim'"_s) + u" && $Y --finish ."_s << 1 << refusal
        << u"[ \"$(cat ../victim)\" = victim ]"_s;
    QTest::addRow("--finish names the folder, as nobody")
        << u"mkdir w && chmod 0333 w && $N $Y --finish w"_s << 1 << u"Im Ordner „"_s << u"[ -z \"$(ls -A w)\" ]"_s;
    QTest::addRow("the user's own files named like temporary ones")
        << u"touch .glyfrax-0123456789abcdef .glyfrax-0123456789abcdef0123456789abcdef .glyfrax-notes && $X p.bmp"_s
        << 0 << QString()
        << u"[ -e .glyfrax-0123456789abcdef ] && [ -e .glyfrax-0123456789abcdef0123456789abcdef ] && "_s
           u"[ -e .glyfrax-notes ] && [ ! -e .glyfrax-journal ]"_s;
    // A replacement that cannot be carried out whole is not begun, or is undone: the earlier set stays.
    const QString earlier = u"$X p.bmp && cp p.bmp p.old && cp p.fnt f.old && "_s,
                  same = u"cmp -s p.bmp p.old && cmp -s p.fnt f.old && [ $(ls -A | wc -l) = 4 ]"_s;
    QTest::addRow("the earlier metrics of another user in a shared folder")
        << u"chmod 1777 . && $U $X p.bmp && cp p.bmp p.old && cp p.fnt f.old && chown nobody p.fnt && "_s
           u"$U $X --size 20 p.bmp"_s
        << 1 << u"anderen Benutzer"_s << same;
    QTest::addRow("immutable earlier metrics")
        << earlier + u"chattr +i p.fnt && $X --size 20 p.bmp; r=$?; chattr -i p.fnt; (exit $r)"_s << 1
        << u"unveränderlich"_s << same;
    QTest::addRow("the second rename fails")
        << earlier + u"$P GLYFRAX_FAILING_RENAME=3 $X --size 20 p.bmp"_s << 1 << u"Zugriff verweigert"_s << same;
    QTest::addRow("the fifth rename of a BMFont set fails")
        << u"$X "_s + bm +
               u"--font-file $F --max-texture 64 p.png && mkdir e && cp p* e && "_s
               u"$P GLYFRAX_FAILING_RENAME=6 $X "_s +
               bm + u"--font-file $F --max-texture 32 p.png"_s
        << 1 << u"Zugriff verweigert"_s
        << u"! for f in e/*; do cmp -s $f ${f#e/} || echo $f; done | grep -q . && "_s
           u"[ $(ls -A | wc -l) = $(($(ls e | wc -l) + 1)) ]"_s;
    QTest::addRow("stdout that cannot be written") << u"$X p.bmp >/dev/full"_s << 1 << u"stdout"_s << u"[ -s p.fnt ]"_s;
    QTest::addRow("characters the font lacks, told with --verbose")
        << u"$X "_s + bm + u"--font-file $F --verbose --chars 65,0x10FFFD,0x10FFFC p.png"_s << 0
        << u"Nicht in der Schrift, ausgelassen (2 Zeichen): U+10FFFC–U+10FFFD"_s << u"grep -q 'char id=65 ' p.fnt"_s;
    // An earlier descriptor is read as far as a real one names pages; one that another user put
    // there removes none of the user's files; a --config that holds no setting writes nothing.
    const QString head =
        u"printf 'info face=\"x\"\\npage id=0 file=\"p_0.png\"\\npage id=1 file=\"p_1.png\"\\n' >p.fnt"_s;
    QTest::addRow("earlier descriptor of 300 MB, its pages first")
        << head + u" && truncate -s 300M p.fnt && touch p_0.png p_1.png && $X "_s + bm + u"--font-file $F p.png"_s << 0
        << QString() << u"[ ! -e p_0.png ] && [ ! -e p_1.png ] && [ $(wc -c <p.fnt) -lt 100000 ]"_s;
    QTest::addRow("earlier descriptor of another user")
        << head + u" && chown 65534 p.fnt && echo mine >p_1.png && $X "_s + bm + u"--font-file $F p.png"_s << 0
        << QString() << u"[ \"$(cat p_1.png)\" = mine ]"_s;
    QTest::addRow("settings file of binary junk")
        << u"head -c 102400 $F >junk.ini && $Y --config junk.ini --font-file $F --size 10 p.bmp"_s << 1
        << u"enthält keine Einstellung, die Glyfrax lesen kann"_s << u"[ $(ls | wc -l) = 1 ]"_s;
    // Glyphs no real font has: a crash or minutes before. The timeout guards against a hang only (each takes
    // seconds), below the 120 s the whole script may take.
    const QString hostile = u"timeout 100 $X --font-file $H/"_s, pages = u" --format bmfont --chars 65 p.png"_s;
    const QString bothFiles = u"[ -s p.bmp ] && [ -s p.fnt ]"_s, glyphA = u"grep -q 'char id=65 ' p.fnt"_s;
    QTest::addRow("classic, a glyph 65,534 units wide at 40 px")
        << hostile + u"wide.ttf --size 30 p.bmp"_s << 0 << QString() << bothFiles;
    QTest::addRow("BMFont, a glyph 65,534 units wide at 40 px")
        << hostile + u"wide.ttf --pixels 40"_s + pages << 0 << QString() << glyphA;
    QTest::addRow("classic, CFF control points far out at 16 px")
        << hostile + u"cff.otf --size 12 p.bmp"_s << 0 << QString() << bothFiles;
    QTest::addRow("BMFont, CFF control points far out at 16 px")
        << hostile + u"cff.otf --pixels 16"_s + pages << 0 << QString() << glyphA;
    QTest::addRow("BMFont, 500 far curves, msdf at 32 px")
        << hostile + u"spiky.ttf --pixels 32 --field msdf"_s + pages << 0 << QString() << glyphA;
    QTest::addRow("BMFont, 500 far curves with outline and shadow")
        << hostile + u"spiky.ttf --pixels 16 --outline 8 --shadow 4,4,16"_s + pages << 0 << QString() << glyphA;
    QTest::addRow("BMFont, 500 far curves larger than a page")
        << hostile + u"spiky.ttf --pixels 600 --field sdf"_s + pages << 1 << u"Zeichen U+0041: Ein Zeichen braucht"_s
        << u"[ -z \"$(ls)\" ]"_s;
    QTest::addRow("a characters file's space")
        << u"printf 'a b' >c.txt && $X "_s + bm + u"--font-file $F --chars-file c.txt p.png"_s << 0 << QString()
        << u"grep -q 'chars count=3' p.fnt && grep -q 'char id=32 ' p.fnt"_s;
}

void TestFailures::hostileFiles()
{
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, check);
    const bool asNobody = script.contains(u"$N"_s) || script.contains(u"$U"_s);
    const bool needsRoot = script.contains(u"mount"_s) || script.contains(u"chattr"_s) || script.contains(u"chown"_s);
    if (geteuid() != 0 && (asNobody || needsRoot))
        QSKIP("This case needs root.");
    if (asNobody && !othersCanRun(kExporter))
        QSKIP("The test cannot be run as user nobody from this build folder.");
    QTemporaryDir folder;
    QFile::setPermissions(folder.path(), QFile::permissions(folder.path()) | QFileDevice::ExeOther);
    QFile::copy(kFonts + u"/DejaVuSans.ttf"_s, folder.filePath(u"font.ttf"_s));
    // The exit code and messages of the export, then what the check finds.
    const QString whole = u"cd \"$1\" && X=\"$2 --config $3\" Y=\"$2\" F=\"$1/font.ttf\" C=\"$3\" H=\"$5\" "_s
                          u"N='setpriv --reuid=65534 --regid=65534 --clear-groups' "_s
                          u"U='setpriv --reuid=4321 --regid=4321 --clear-groups' "_s
                          u"P=\"env LD_PRELOAD=$4 ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0\" "_s
                          u"&& mkdir run && cd run && { "_s +
                          script + u"; }; echo \"exit $?\" >&2; { "_s + check +
                          u"; } || echo 'check failed' >&2; "_s
                          u"cd \"$1\" && chmod -R u+rwx run && rm -rf run"_s;
    const QStringList shell{u"sh"_s,       u"-c"_s,   whole,    u"sh"_s,
                            folder.path(), kExporter, m_config, QStringLiteral(GLYFRAX_SLOW_RENAMES),
                            kHostileFonts};
    const ChildRun run =
        geteuid() == 0 ? runChild(u"unshare"_s, QStringList{u"-m"_s} + shell) : runChild(shell.first(), shell.mid(1));
    QVERIFY2(run.err.contains(u"exit %1\n"_s.arg(exitCode)), qPrintable(run.err));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"check failed"_s), qPrintable(run.err));
}

void TestFailures::earlierSetGoesAsAWhole_data()
{
    QTest::addColumn<QString>("earlier"); // the arguments of the first export; empty: a descriptor made by hand
    QTest::addColumn<QString>("later");
    QTest::addColumn<QStringList>("left"); // besides the later set, the user's files and its inputs
    const QString pages = u"--format bmfont --font-file %2/font.ttf --size 20 --chars "_s,
                  small = u" --max-texture 64"_s;
    QTest::addRow("22 pages become 13") << pages + u"0x20-0xFF"_s + small << pages + u"0x20-0xBF"_s + small
                                        << QStringList();
    QTest::addRow("13 pages become 10") << pages + u"0x20-0xBF"_s + small << pages + u"0x20-0x7E"_s + small
                                        << QStringList();
    QTest::addRow("22 pages become one") << pages + u"0x20-0xFF"_s + small << pages + u"0x20-0x7E"_s << QStringList();
    for (const QString& form : {u"xml"_s, u"binary"_s, u"json"_s}) {
        const QString in = u" --descriptor "_s + form;
        QTest::addRow("%s: 22 pages become 13", qPrintable(form))
            << pages + u"0x20-0xFF"_s + small + in << pages + u"0x20-0xBF"_s + small + in << QStringList();
    }
    // A descriptor of 2.8 MB, its pages named in its first two kilobytes.
    const QString cjk = u"--format bmfont --font-file /usr/share/fonts/truetype/wqy/wqy-microhei.ttc --size 6 "_s
                        u"--max-texture 256 --descriptor json --chars 0x4E00-"_s;
    QTest::addRow("json: 20,992 characters on many pages become one")
        << cjk + u"0x9FFF"_s << cjk + u"0x4E00"_s << QStringList();
    QTest::addRow("an earlier descriptor names what is no page of it")
        << QString() << pages + u"0x20-0x7E"_s + small
        << QStringList{u"font.ttf"_s, u"notes.txt"_s, u"other_1.png"_s, u"font_1.png.txt"_s};
}

// A set replaces the whole earlier set of its name: the pages its descriptor named, and nothing else.
void TestFailures::earlierSetGoesAsAWhole()
{
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    QFETCH(QStringList, left);
    const QTemporaryDir parent; // holds the user's file outside the set's folder, apart from other tests
    QVERIFY(QDir(parent.path()).mkdir(u"out"_s));
    const QDir out(parent.filePath(u"out"_s));
    const QString outside = parent.filePath(u"outside.png"_s);
    QFile::copy(kFonts + u"/DejaVuSans.ttf"_s, out.filePath(u"font.ttf"_s));
    const QString image = out.filePath(u"font.png"_s);
    auto run = [&](QString arguments) { return exportWith(arguments.replace(u"%2"_s, out.path()), image).exitCode; };
    if (earlier.isEmpty()) {
        QByteArray descriptor("info face=\"x\"\ncommon lineHeight=1 pages=6\n");
        for (const QString& name : left + QStringList{u"../outside.png"_s, u"font.fnt"_s})
            descriptor += "page id=0 file=\"" + name.toUtf8() + "\"\n";
        QVERIFY(writeBytes(out.filePath(u"font.fnt"_s), descriptor));
    } else {
        QCOMPARE(run(earlier), 0);
    }
    for (const QString& user : left + QStringList{u"font_notes.png"_s, u"font_99.png"_s})
        QVERIFY(QFileInfo::exists(out.filePath(user)) || writeBytes(out.filePath(user), "the user's"));
    QVERIFY(writeBytes(outside, "the user's"));
    const QStringList before = entries(out.path());
    QCOMPARE(run(later), 0);
    const QStringList after = entries(out.path());
    QTemporaryDir alone;
    QCOMPARE(exportWith(later.replace(u"%2"_s, out.path()), alone.filePath(u"font.png"_s)).exitCode, 0);
    QStringList expected =
        entries(alone.path()) + left + QStringList{u"font_notes.png"_s, u"font_99.png"_s, u"font.ttf"_s};
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(after, expected);
    QVERIFY(QFileInfo::exists(outside));
    QVERIFY(before.size() > after.size() || earlier.isEmpty());
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

void TestFailures::killedExportLeavesOneSet_data()
{
    QTest::addColumn<QString>("earlier"); // the arguments of the export that made the earlier set
    QTest::addColumn<QString>("later");
    const QString pages = u"--format bmfont --font-file %1/DejaVuSans.ttf --chars 0x20-0x5FF --size 20 "_s;
    QTest::addRow("classic pair, 4096 x 4096") << u"--size 11"_s << u"--size 200"_s;
    QTest::addRow("BMFont, 36 pages become 155") << pages + u"--max-texture 128"_s << pages + u"--max-texture 64"_s;
}

// The whole process group is killed at any moment, every rename slowed down so that many kills
// come between two of them; in every other run the process that carries out the renames is
// killed too. A reader that takes the folder's lock then sees the earlier set or the new one (the
// latter only once it has completed what was cut off), and nothing else is left.
void TestFailures::killedExportLeavesOneSet()
{
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    QTemporaryDir out;
    const QString image = out.filePath(earlier.contains(u"bmfont"_s) ? u"font.png"_s : u"font.bmp"_s);
    QCOMPARE(exportWith(earlier, image).exitCode, 0);
    const Folder earlierSet = folderState(out.path());
    QElapsedTimer timer;
    timer.start();
    QStringList arguments = QStringList{u"--config"_s, m_config} + QString(later).replace(u"%1"_s, kFonts).split(u' ');
    arguments << image;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LD_PRELOAD"_s, QStringLiteral(GLYFRAX_SLOW_RENAMES));
    environment.insert(u"ASAN_OPTIONS"_s, environment.value(u"ASAN_OPTIONS"_s) + u":verify_asan_link_order=0"_s);
    auto start = [&](QProcess& process) {
        process.setProcessEnvironment(environment);
        process.setChildProcessModifier([] { ::setpgid(0, 0); });
        process.start(kExporter, arguments);
    };
    QProcess whole;
    start(whole);
    QVERIFY(whole.waitForFinished() && whole.exitCode() == 0);
    const qint64 duration = timer.elapsed();
    const Folder laterSet = folderState(out.path());
    QVERIFY(laterSet != earlierSet);

    const int asked = qEnvironmentVariableIntValue("GLYFRAX_KILL_RUNS");
    const int runs = asked > 0 ? asked : 16;
    int kept = 0, replaced = 0, cutOff = 0, wrong = 0;
    for (int run = 0; run < runs; ++run) {
        restoreFolder(out.path(), earlierSet);
        QProcess process;
        start(process);
        QVERIFY(process.waitForStarted());
        QTest::qSleep(int(QRandomGenerator::global()->bounded(duration + 20)));
        const QByteArray children = readBytes(u"/proc/%1/task/%1/children"_s.arg(process.processId()));
        ::kill(-pid_t(process.processId()), SIGKILL);
        if (run % 2 == 1) {
            for (const QByteArray& child : children.split(' '))
                if (child.toInt() > 0)
                    ::kill(pid_t(child.toInt()), SIGKILL);
        }
        process.waitForFinished();
        // What a reader sees once a child that survived the kill has let go of the lock.
        const int folder = ::open(QFile::encodeName(out.path()).constData(), O_RDONLY);
        ::flock(folder, LOCK_EX);
        const Folder seen = visibleFiles(folderState(out.path()));
        ::close(folder);
        QCOMPARE(runChild(kExporter, {u"--finish"_s, out.path()}).exitCode, 0);
        const Folder after = folderState(out.path());
        cutOff += seen == visibleFiles(earlierSet) || seen == visibleFiles(laterSet) ? 0 : 1;
        kept += after == earlierSet ? 1 : 0;
        replaced += after == laterSet ? 1 : 0;
        wrong += after == earlierSet || after == laterSet ? 0 : 1;
        if (run % 2 == 0) // a child that only the whole group's kill reached leaves no mix at all
            QCOMPARE(seen == visibleFiles(earlierSet) || seen == visibleFiles(laterSet), true);
    }
    qInfo("%d kills: %d kept the earlier set, %d replaced it, %d cut the renames off (completed afterwards), "
          "%d left anything else",
          runs, kept, replaced, cutOff, wrong);
    QCOMPARE(wrong, 0);
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
