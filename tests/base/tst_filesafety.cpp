// The settings file whatever it holds: what the window says at start about it (values shown
// whole), UTF-16 read and kept, and one pass to save a large file.

#include "base/FileSafety.h"
#include "render/FontSource.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void startupReport_data();
    void startupReport();
    void utf16WithByteOrderMarkStaysUtf16_data();
    void utf16WithByteOrderMarkStaysUtf16();
    void savingALargeFileTakesOnePass();
};

void TestFileSafety::startupReport_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // each in the report; none: no report at all
    const QStringList none{u"keine Einstellung"_s};
    const QByteArray utf16 = QStringEncoder(QStringConverter::Utf16LE)(u"[Font]\r\nSize=12\r\n"_s);
    QTest::addRow("UTF-16 without byte order mark") << utf16 << none;
    QTest::addRow("CR line ends") << QByteArray("[Font]\rName=DejaVu Sans\rSize=12\r") << none;
    QTest::addRow("binary junk") << QByteArray::fromHex("7f454c46020101000000ff5b00") << none;
    QTest::addRow("face not installed") << QByteArray("[Font]\nName=No Such Face\n") << QStringList{u"An ihrer"_s};
    QTest::addRow("over 1 MiB") << QByteArray(ProfileFile::kMaxFileSize + 1, '\n') << QStringList{u"1 MiB"_s};
    const char controls[] = "[Font]\nName=DejaVu Sans\nSize=1\0002\nColor=\x1B[2J\n";
    QTest::addRow("control characters") << QByteArray(controls, sizeof controls - 1)
                                        << QStringList{u"„1␀2“"_s, u"Color = „␛[2J“"_s};
    QTest::addRow("long face") << "[Font]\nName=" + QByteArray(254, 'x') << QStringList{QString(60, u'x') + u"…“"_s};
    QTest::addRow("installed face") << QByteArray("[Font]\r\nName=DejaVu Sans\r\n") << QStringList();
    QTest::addRow("blank") << QByteArray("\r\n \r\n") << QStringList();
}

void TestFileSafety::startupReport()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"config.ini"_s);
    QVERIFY(test::writeBytes(path, bytes));
    const QString report = glyfrax::startupReport(path, readSettingsFile(path));
    QCOMPARE(report.isEmpty(), expected.isEmpty());
    for (const QString& text : expected + QStringList{path})
        QVERIFY2(report.isEmpty() || report.contains(text), qPrintable(report));
    // Only line breaks of the message's own; every other control character made visible.
    QCOMPARE(report.count(QRegularExpression(u"[\\x00-\\x09\\x0B-\\x1F]"_s)), 0);
}

void TestFileSafety::utf16WithByteOrderMarkStaysUtf16_data()
{
    QTest::addColumn<int>("encoding");
    QTest::addRow("little-endian") << int(QStringConverter::Utf16LE);
}

void TestFileSafety::utf16WithByteOrderMarkStaysUtf16()
{
    QFETCH(int, encoding);
    auto encoded = [encoding](const QString& text) {
        return QByteArray(QStringEncoder(QStringConverter::Encoding(encoding), QStringEncoder::Flag::WriteBom)(text));
    };
    const QString text = u"; Grüße\r\n[Font]\r\nName=DejaVu Sans\r\nSize=30\r\n"_s;
    ProfileFile profile = ProfileFile::fromBytes(encoded(text));
    QCOMPARE(profile.value(u"Font"_s, u"Size"_s), u"30"_s);
    QCOMPARE(profile.toBytes(), encoded(text)); // saved as it was
    QVERIFY(profile.setValue(u"Font"_s, u"Size"_s, u"31"_s));
    QCOMPARE(profile.toBytes(), encoded(QString(text).replace(u"30"_s, u"31"_s)));
}

void TestFileSafety::savingALargeFileTakesOnePass()
{
    // A Windows-1252 file of 16 MB, all keys present, nothing changed.
    ProfileFile keys = ProfileFile::fromBytes("[Font]\r\nName=Caf\xE9\r\n");
    writeSettings(keys, readSettings(keys).settings);
    QByteArray bytes = keys.toBytes();
    for (const QByteArray filler = "; Gr\xFC\xDF"
                                   "e aus einer langen Datei\r\n";
         bytes.size() < (16 << 20);)
        bytes += filler;
    ProfileFile profile = ProfileFile::fromBytes(bytes);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(profile.toBytes().size(), bytes.size());
    const qint64 onePass = timer.restart();
    writeSettings(profile, readSettings(profile).settings);
    const qint64 saving = timer.elapsed();
    QCOMPARE(profile.toBytes(), bytes);
    QVERIFY2(saving <= 2 * onePass + 20, qPrintable(u"%1 ms to save, one pass %2 ms"_s.arg(saving).arg(onePass)));
}

QTEST_MAIN(TestFileSafety)

#include "tst_filesafety.moc"
