#include "settings/ProfileFile.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace glyfrax;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void readsValues_data();
    void readsValues();
    void cutsLongValuesTo254Characters();
    void writeChangesOnlyThatKeysLine();
    void writeAddsKeyAndSectionWhereMissing();
    void newFileHasCrLfLinesInWriteOrder();
    void windows1252FileReadsAndStaysWindows1252();
    void windows1252FileTurnsUtf8ForCharactersItLacks();
    void refusesNamesThatWouldBreakTheFile();
    void lineBreaksInValuesStayOnOneLine();
    void saveLeavesReadOnlyFileUntouched();
    void saveOfUnchangedProfileWritesNothing();
    void saveLeavesNoTemporaryFile();
};

void TestProfileFile::readsValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray file = "; comment\r\n[Font]\r\nName = Arial \r\nEmpty=\r\n\r\n[Export Option]\r\n"
                            "CharTxt=\tC\t\r\nWeird = a=b\r\n[font]\r\nName=Second\r\n";
    QTest::addRow("plain value, blanks trimmed") << file << "Font"
                                                 << "Name"
                                                 << "Arial";
    QTest::addRow("names in any letter case") << file << "FONT"
                                              << "nAmE"
                                              << "Arial";
    QTest::addRow("first of two equal sections wins") << file << "font"
                                                      << "name"
                                                      << "Arial";
    QTest::addRow("empty value is empty") << file << "Font"
                                          << "Empty"
                                          << "";
    QTest::addRow("missing key reads 0") << file << "Font"
                                         << "Size"
                                         << "0";
    QTest::addRow("missing section reads 0") << file << "Nope"
                                             << "Name"
                                             << "0";
    QTest::addRow("key of another section is not found") << file << "Font"
                                                         << "CharTxt"
                                                         << "0";
    QTest::addRow("tabs trimmed like blanks") << file << "Export Option"
                                              << "CharTxt"
                                              << "C";
    QTest::addRow("value keeps later equals signs") << file << "Export Option"
                                                    << "Weird"
                                                    << "a=b";
    QTest::addRow("empty file reads 0") << QByteArray() << "Font"
                                        << "Name"
                                        << "0";
    QTest::addRow("LF-only lines") << QByteArray("[Font]\nName=X\n") << "Font"
                                   << "Name"
                                   << "X";
    QTest::addRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF[Font]\r\nName=X\r\n") << "Font"
                                           << "Name"
                                           << "X";
}

void TestProfileFile::readsValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(ProfileFile::fromBytes(file).value(section, key), expected);
}

void TestProfileFile::cutsLongValuesTo254Characters()
{
    const QString face(300, u'a');
    ProfileFile profile;
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), face);
    QCOMPARE(ProfileFile::fromBytes(profile.toBytes()).value(QStringLiteral("Font"), QStringLiteral("Name")),
             face.left(254));
}

void TestProfileFile::writeChangesOnlyThatKeysLine()
{
    const QByteArray before = "; kept\r\n[Font]\r\nname=Old\r\nUnknown=1\n\r\n[Other]\r\nName=Else\r\n";
    ProfileFile profile = ProfileFile::fromBytes(before);
    QVERIFY(profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("New")));
    QCOMPARE(profile.toBytes(), QByteArray("; kept\r\n[Font]\r\nName=New\r\nUnknown=1\n\r\n[Other]\r\nName=Else\r\n"));
}

void TestProfileFile::writeAddsKeyAndSectionWhereMissing()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nName=A\r\n\r\n[Other]\r\nX=1");
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Size"), QStringLiteral("12"));
    profile.setValue(QStringLiteral("Other"), QStringLiteral("Y"), QStringLiteral("2"));
    profile.setValue(QStringLiteral("New"), QStringLiteral("Z"), QStringLiteral("3"));
    QCOMPARE(profile.toBytes(),
             QByteArray("[Font]\r\nName=A\r\nSize=12\r\n\r\n[Other]\r\nX=1\r\nY=2\r\n[New]\r\nZ=3\r\n"));
}

void TestProfileFile::newFileHasCrLfLinesInWriteOrder()
{
    ProfileFile profile;
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("Arial"));
    profile.setValue(QStringLiteral("Export Option"), QStringLiteral("XDist"), QStringLiteral("1"));
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Size"), QStringLiteral("14"));
    QCOMPARE(profile.toBytes(), QByteArray("[Font]\r\nName=Arial\r\nSize=14\r\n[Export Option]\r\nXDist=1\r\n"));
}

void TestProfileFile::windows1252FileReadsAndStaysWindows1252()
{
    // "Schrift ä €" as a Windows editor saves it; not valid UTF-8.
    const QByteArray before = "[Font]\r\nName=Schrift \xE4 \x80\r\nOther=\xFC\r\n";
    ProfileFile profile = ProfileFile::fromBytes(before);
    QVERIFY(!profile.isUtf8());
    QCOMPARE(profile.value(QStringLiteral("Font"), QStringLiteral("Name")), QStringLiteral("Schrift ä €"));
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("Größe"));
    QCOMPARE(profile.toBytes(), QByteArray("[Font]\r\nName=Gr\xF6\xDF"
                                           "e\r\nOther=\xFC\r\n"));
}

void TestProfileFile::windows1252FileTurnsUtf8ForCharactersItLacks()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nOther=\xFC\r\n");
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("Ω"));
    const ProfileFile reread = ProfileFile::fromBytes(profile.toBytes());
    QVERIFY(reread.isUtf8());
    QCOMPARE(reread.value(QStringLiteral("Font"), QStringLiteral("Name")), QStringLiteral("Ω"));
    QCOMPARE(reread.value(QStringLiteral("Font"), QStringLiteral("Other")), QStringLiteral("ü"));
}

void TestProfileFile::refusesNamesThatWouldBreakTheFile()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nName=A\r\n");
    const QByteArray before = profile.toBytes();
    QVERIFY(!profile.setValue(QStringLiteral("Fo]nt"), QStringLiteral("Name"), QStringLiteral("x")));
    QVERIFY(!profile.setValue(QStringLiteral("Font"), QStringLiteral("Na=me"), QStringLiteral("x")));
    QVERIFY(!profile.setValue(QStringLiteral("Font"), QStringLiteral("Na\nme"), QStringLiteral("x")));
    QVERIFY(!profile.setValue(QStringLiteral("Font"), QStringLiteral(""), QStringLiteral("x")));
    QCOMPARE(profile.toBytes(), before);
}

void TestProfileFile::lineBreaksInValuesStayOnOneLine()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nName=A\r\n");
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("x\r\n[Evil]\r\nKey=1"));
    const ProfileFile reread = ProfileFile::fromBytes(profile.toBytes());
    QCOMPARE(reread.value(QStringLiteral("Evil"), QStringLiteral("Key")), QStringLiteral("0"));
    QCOMPARE(profile.toBytes().count('\n'), 2);
}

void TestProfileFile::saveLeavesReadOnlyFileUntouched()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    QVERIFY(writeBytes(path, "[Font]\r\nName=A\r\n"));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    ProfileFile profile = ProfileFile::load(path);
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("B"));
    QVERIFY(!profile.save(path));
    QCOMPARE(readBytes(path), QByteArray("[Font]\r\nName=A\r\n"));
}

void TestProfileFile::saveOfUnchangedProfileWritesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    QVERIFY(writeBytes(path, "[Font]\r\nName=A\r\n"));
    ProfileFile profile = ProfileFile::load(path);
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("A"));
    // The folder may not even be writable: an unchanged file needs no write.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(profile.save(path));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(readBytes(path), QByteArray("[Font]\r\nName=A\r\n"));
}

void TestProfileFile::saveLeavesNoTemporaryFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config.ini"));
    ProfileFile profile;
    profile.setValue(QStringLiteral("Font"), QStringLiteral("Name"), QStringLiteral("A"));
    QVERIFY(profile.save(path));
    QCOMPARE(test::entries(dir.path()), QStringList{QStringLiteral("config.ini")});
    QCOMPARE(readBytes(path), QByteArray("[Font]\r\nName=A\r\n"));
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
