#include "settings/ProfileFile.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void readsValues_data();
    void readsValues();
    void writeChangesOnlyThatKeysLine();
    void writeAddsKeysAndSectionsWhereMissing();
    void windows1252FilesReadAndStayWindows1252WhenTheyCan();
    void refusesWhatWouldBreakTheFile();
    void saveReplacesWholeOrNotAtAll();
};

void TestProfileFile::readsValues_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray file = "; comment\r\n[Font]\r\nName = Arial \r\nEmpty=\r\n\r\n[Export Option]\r\n"
                            "CharTxt=\tC\t\r\nWeird = a=b\r\n[font]\r\nName=Second\r\n";
    QTest::addRow("blanks trimmed, names in any case") << file << "FONT"
                                                       << "nAmE"
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
    QTest::addRow("LF-only lines") << QByteArray("[Font]\nName=X\n") << "Font"
                                   << "Name"
                                   << "X";
    QTest::addRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF[Font]\r\nName=X") << "Font"
                                           << "Name"
                                           << "X";
    QTest::addRow("Windows-1252 bytes") << QByteArray("[Font]\r\nName=\xE4 \x80") << "Font"
                                        << "Name"
                                        << "ä €";
    QTest::addRow("cut to 254 characters") << "[Font]\r\nName=" + QByteArray(300, 'a') << "Font"
                                           << "Name" << QString(254, u'a');
}

void TestProfileFile::readsValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(ProfileFile::fromBytes(file).value(section, key), expected);
}

void TestProfileFile::writeChangesOnlyThatKeysLine()
{
    ProfileFile profile =
        ProfileFile::fromBytes("; kept\r\n[Font]\r\nname=Old\r\nUnknown=1\n\r\n[Other]\r\nName=Else\r\n");
    QVERIFY(profile.setValue(u"Font"_s, u"Name"_s, u"New"_s));
    QCOMPARE(profile.toBytes(), QByteArray("; kept\r\n[Font]\r\nName=New\r\nUnknown=1\n\r\n[Other]\r\nName=Else\r\n"));
}

void TestProfileFile::writeAddsKeysAndSectionsWhereMissing()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nName=A\r\n\r\n[Other]\r\nX=1");
    profile.setValue(u"Font"_s, u"Size"_s, u"12"_s);
    profile.setValue(u"Other"_s, u"Y"_s, u"2"_s);
    profile.setValue(u"New"_s, u"Z"_s, u"3"_s);
    QCOMPARE(profile.toBytes(),
             QByteArray("[Font]\r\nName=A\r\nSize=12\r\n\r\n[Other]\r\nX=1\r\nY=2\r\n[New]\r\nZ=3\r\n"));

    ProfileFile fresh;
    fresh.setValue(u"Font"_s, u"Name"_s, u"Arial"_s);
    fresh.setValue(u"Export Option"_s, u"XDist"_s, u"1"_s);
    QCOMPARE(fresh.toBytes(), QByteArray("[Font]\r\nName=Arial\r\n[Export Option]\r\nXDist=1\r\n"));
}

void TestProfileFile::windows1252FilesReadAndStayWindows1252WhenTheyCan()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nName=Old\r\nOther=\xFC\r\n");
    QVERIFY(!profile.isUtf8());
    profile.setValue(u"Font"_s, u"Name"_s, u"Größe"_s);
    QCOMPARE(profile.toBytes(), QByteArray("[Font]\r\nName=Gr\xF6\xDF"
                                           "e\r\nOther=\xFC\r\n"));

    // A character Windows-1252 lacks turns the whole file into UTF-8, and so does a write that
    // would leave valid UTF-8 bytes behind, which would read differently next time.
    for (const auto& [before, value] : {std::pair<QByteArray, QString>{"[Font]\r\nOther=\xFC\r\n", u"Ω"_s},
                                        {"[Font]\r\nName=\xE4\r\nOther=\xC3\xA4\r\n", u"plain"_s}}) {
        ProfileFile converted = ProfileFile::fromBytes(before);
        const QString other = converted.value(u"Font"_s, u"Other"_s);
        converted.setValue(u"Font"_s, u"Name"_s, value);
        const ProfileFile reread = ProfileFile::fromBytes(converted.toBytes());
        QVERIFY(reread.isUtf8());
        QCOMPARE(reread.value(u"Font"_s, u"Name"_s), value);
        QCOMPARE(reread.value(u"Font"_s, u"Other"_s), other);
    }
}

void TestProfileFile::refusesWhatWouldBreakTheFile()
{
    ProfileFile profile = ProfileFile::fromBytes("[Font]\r\nName=A\r\n");
    const QByteArray before = profile.toBytes();
    QVERIFY(!profile.setValue(u"Fo]nt"_s, u"Name"_s, u"x"_s));
    QVERIFY(!profile.setValue(u"Font"_s, u"Na=me"_s, u"x"_s));
    QVERIFY(!profile.setValue(u"Font"_s, u"Na\nme"_s, u"x"_s));
    QVERIFY(!profile.setValue(u"Font"_s, QString(), u"x"_s));
    QCOMPARE(profile.toBytes(), before);

    // A line break in a value must not smuggle in lines of its own.
    profile.setValue(u"Font"_s, u"Name"_s, u"x\r\n[Evil]\r\nKey=1"_s);
    QCOMPARE(ProfileFile::fromBytes(profile.toBytes()).value(u"Evil"_s, u"Key"_s), u"0"_s);
    QCOMPARE(profile.toBytes().count('\n'), 2);
}

void TestProfileFile::saveReplacesWholeOrNotAtAll()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.ini"_s);
    ProfileFile profile;
    profile.setValue(u"Font"_s, u"Name"_s, u"A"_s);
    QVERIFY(profile.save(path));
    QCOMPARE(test::entries(dir.path()), QStringList{u"config.ini"_s}); // no temporary file left
    QCOMPARE(readBytes(path), QByteArray("[Font]\r\nName=A\r\n"));

    // Unchanged: nothing to write, even where nothing could be written.
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(ProfileFile::load(path).save(path));
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A read-only file stays as it is, silently.
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    profile = ProfileFile::load(path);
    profile.setValue(u"Font"_s, u"Name"_s, u"B"_s);
    QVERIFY(!profile.save(path));
    QCOMPARE(readBytes(path), QByteArray("[Font]\r\nName=A\r\n"));
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
