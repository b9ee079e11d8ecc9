#include "Version.h"
#include "app/AboutDialog.h"
#include "app/SystemInfo.h"
#include "support/FakeDialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <map>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

// A registry of a few values ("key\value name"), recording what was asked of it.
class FakeSystem final : public SystemAccess
{
public:
    std::map<QString, std::pair<std::uint32_t, QByteArray>> values;
    QStringList existingFiles;
    bool startSucceeds = true;
    QStringList lookups;
    QStringList fileTests;
    QStringList started;
    int openKeys = 0;

    bool openKey(std::uint32_t root, const QString& keyName, std::uint32_t access, KeyHandle& key) override
    {
        if (root != kHKeyLocalMachine || access != kKeyAccessMask)
            return false;
        m_keys << keyName;
        key = KeyHandle(m_keys.size());
        ++openKeys;
        return true;
    }
    bool queryValue(KeyHandle key, const QString& valueName, std::uint32_t bufferSize, std::uint32_t& type,
                    QByteArray& data) override
    {
        lookups << m_keys.at(qsizetype(key) - 1) + u'\\' + valueName;
        const auto found = values.find(lookups.last());
        if (found == values.end() || bufferSize != 1024)
            return false;
        std::tie(type, data) = found->second;
        return true;
    }
    void closeKey(KeyHandle) override { --openKeys; }
    bool isOrdinaryFile(const QString& path) override
    {
        fileTests << path;
        return existingFiles.contains(path);
    }
    bool startProgram(const QString& path) override
    {
        started << path;
        return startSucceeds;
    }

private:
    QStringList m_keys;
};

const QString kPathKey = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\\PATH"_s;
const QString kLocationKey = u"SOFTWARE\\Microsoft\\Shared Tools Location\\MSINFO"_s;

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void startSysInfoLooksUpTheToolInOrder();
    void valuesAreCutAndFormatted_data();
    void valuesAreCutAndFormatted();
    void dialogShowsTitleVersionAndLink();
};

void TestAbout::startSysInfoLooksUpTheToolInOrder()
{
    FakeSystem direct; // "PATH" names the program itself: no file test, no second lookup
    direct.values[kPathKey] = {kRegSz, QByteArray("C:\\Tools\\msinfo32.exe\0", 22)};
    QCOMPARE(StartSysInfo(direct), SysInfoResult::Started);
    QCOMPARE(direct.started, QStringList{u"C:\\Tools\\msinfo32.exe"_s});
    QCOMPARE(direct.lookups, QStringList{kPathKey});
    QVERIFY(direct.fileTests.isEmpty());

    FakeSystem located; // "MSINFO" names a folder that must hold the program
    located.values[kLocationKey] = {kRegSz, QByteArray("C:\\Shared\0", 10)};
    QCOMPARE(StartSysInfo(located), SysInfoResult::Unavailable);
    QCOMPARE(located.fileTests, QStringList{u"C:\\Shared\\MSINFO32.EXE"_s});
    QVERIFY(located.started.isEmpty());
    located.existingFiles << u"C:\\Shared\\MSINFO32.EXE"_s;
    QCOMPARE(StartSysInfo(located), SysInfoResult::Started);
    QCOMPARE(located.started, QStringList{u"C:\\Shared\\MSINFO32.EXE"_s});

    FakeSystem none;
    QCOMPARE(StartSysInfo(none), SysInfoResult::Unavailable);
    QCOMPARE(none.lookups, (QStringList{kPathKey, kLocationKey}));
    none.values[kPathKey] = {kRegSz, "C:\\gone.exe"};
    none.startSucceeds = false;
    QCOMPARE(StartSysInfo(none), SysInfoResult::Unavailable);
    QVERIFY(direct.openKeys == 0 && located.openKeys == 0 && none.openKeys == 0);
    QCOMPARE(StartSysInfo(*makeSystemAccess()), SysInfoResult::Unavailable); // no registry here
}

void TestAbout::valuesAreCutAndFormatted_data()
{
    QTest::addColumn<std::uint32_t>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::addRow("text with its zero") << kRegSz << QByteArray("abc\0", 4) << "abc";
    QTest::addRow("text without a zero") << kRegSz << QByteArray("abc") << "abc";
    QTest::addRow("two zeros lose one") << kRegSz << QByteArray("ab\0\0", 4) << QString::fromUtf8("ab\0", 3);
    QTest::addRow("size 0 is empty") << kRegSz << QByteArray() << "";
    QTest::addRow("number") << kRegDword << QByteArray("\xEF\xBE\xAD\x0B", 4) << "&hBADBEEF";
    QTest::addRow("other type leaves the text") << std::uint32_t(3) << QByteArray("xyz") << "unchanged";
}

void TestAbout::valuesAreCutAndFormatted()
{
    QFETCH(std::uint32_t, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    FakeSystem system;
    system.values[u"K\\V"_s] = {type, data};
    QString value = u"unchanged"_s;
    QVERIFY(GetKeyValue(system, kHKeyLocalMachine, u"K"_s, u"V"_s, value));
    QCOMPARE(value, expected);
    QVERIFY(!GetKeyValue(system, kHKeyLocalMachine, u"K"_s, u"missing"_s, value));
    QCOMPARE(value, QString());
    QCOMPARE(system.openKeys, 0);
}

void TestAbout::dialogShowsTitleVersionAndLink()
{
    test::FakeDialogs dialogs;
    AboutDialog about(dialogs, std::make_unique<FakeSystem>());
    QCOMPARE(about.objectName(), u"frmAbout"_s);
    QCOMPARE(about.windowTitle(), u"Info zu Glyfrax"_s);
    QCOMPARE(about.findChild<QLabel*>(u"lblTitle"_s)->text(), u"Glyfrax"_s);
    QCOMPARE(about.findChild<QLabel*>(u"lblVersion"_s)->text(), u"Version "_s + QString::fromLatin1(kVersionText));
    QCOMPARE(AboutDialog::versionLine(2, 0, 12), u"Version 2.0.12"_s);
    QVERIFY(about.findChild<QPushButton*>(u"cmdOK"_s)->isDefault());

    QTest::mouseClick(about.findChild<QLabel*>(u"Hyperlink"_s), Qt::LeftButton);
    QCOMPARE(dialogs.opened.value(0).host(), u"glyfrax.example.org"_s);
    about.findChild<QPushButton*>(u"cmdSysInfo"_s)->click();
    QCOMPARE(dialogs.messages, QStringList{u"Systeminformationen sind momentan nicht verfügbar"_s});
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
