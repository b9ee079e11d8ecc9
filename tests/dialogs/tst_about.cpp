#include "Version.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/SystemInfo.h"
#include "support/FakeDialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <map>

using namespace glyfrax;

namespace {

struct Value
{
    std::uint32_t type;
    QByteArray data;
};

// A registry of a few values, recording what was asked of it.
class FakeSystem final : public SystemAccess
{
public:
    std::map<QString, Value> values; // "key\\value name"
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
        m_keys.push_back(keyName);
        key = m_keys.size();
        ++openKeys;
        return true;
    }
    bool queryValue(KeyHandle key, const QString& valueName, std::uint32_t bufferSize, std::uint32_t& type,
                    QByteArray& data) override
    {
        const QString name = m_keys.at(key - 1) + u'\\' + valueName;
        lookups << name;
        const auto found = values.find(name);
        if (found == values.end() || bufferSize != 1024)
            return false;
        type = found->second.type;
        data = found->second.data;
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

const QString kPathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\\PATH");
const QString kLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location\\MSINFO");

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void pathValueStartsTheToolWithoutFurtherLookups();
    void locationNeedsTheProgramFile();
    void missingValuesMeanUnavailable();
    void valuesAreCutAndFormatted_data();
    void valuesAreCutAndFormatted();
    void dialogShowsTitleVersionAndLink();
    void sysInfoButtonSaysWhenThereIsNone();
};

void TestAbout::pathValueStartsTheToolWithoutFurtherLookups()
{
    FakeSystem system;
    system.values[kPathKey] = {kRegSz, QByteArray("C:\\Tools\\msinfo32.exe\0", 22)};
    QCOMPARE(StartSysInfo(system), SysInfoResult::Started);
    QCOMPARE(system.started, QStringList{QStringLiteral("C:\\Tools\\msinfo32.exe")});
    QCOMPARE(system.lookups, QStringList{kPathKey});
    QVERIFY(system.fileTests.isEmpty());
    QCOMPARE(system.openKeys, 0);
}

void TestAbout::locationNeedsTheProgramFile()
{
    FakeSystem system;
    system.values[kLocationKey] = {kRegSz, QByteArray("C:\\Shared\0", 10)};
    QCOMPARE(StartSysInfo(system), SysInfoResult::Unavailable);
    QCOMPARE(system.fileTests, QStringList{QStringLiteral("C:\\Shared\\MSINFO32.EXE")});
    QVERIFY(system.started.isEmpty());

    system.existingFiles << QStringLiteral("C:\\Shared\\MSINFO32.EXE");
    QCOMPARE(StartSysInfo(system), SysInfoResult::Started);
    QCOMPARE(system.started, QStringList{QStringLiteral("C:\\Shared\\MSINFO32.EXE")});
    QCOMPARE(system.openKeys, 0);
}

void TestAbout::missingValuesMeanUnavailable()
{
    FakeSystem system;
    QCOMPARE(StartSysInfo(system), SysInfoResult::Unavailable);
    QCOMPARE(system.lookups, (QStringList{kPathKey, kLocationKey}));
    system.values[kPathKey] = {kRegSz, "C:\\gone.exe"};
    system.startSucceeds = false;
    QCOMPARE(StartSysInfo(system), SysInfoResult::Unavailable);
    QVERIFY(StartSysInfo(*makeSystemAccess()) == SysInfoResult::Unavailable);
}

void TestAbout::valuesAreCutAndFormatted_data()
{
    QTest::addColumn<std::uint32_t>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");
    QTest::addRow("text with its zero") << kRegSz << QByteArray("abc\0", 4) << "abc";
    QTest::addRow("text without a zero") << kRegSz << QByteArray("abc") << "abc";
    QTest::addRow("text ending in two zeros loses one")
        << kRegSz << QByteArray("ab\0\0", 4) << QString::fromUtf8("ab\0", 3);
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
    system.values[QStringLiteral("K\\V")] = {type, data};
    QString value = QStringLiteral("unchanged");
    QVERIFY(GetKeyValue(system, kHKeyLocalMachine, QStringLiteral("K"), QStringLiteral("V"), value));
    QCOMPARE(value, expected);
    QVERIFY(!GetKeyValue(system, kHKeyLocalMachine, QStringLiteral("K"), QStringLiteral("missing"), value));
    QCOMPARE(value, QString());
    QCOMPARE(system.openKeys, 0);
}

void TestAbout::dialogShowsTitleVersionAndLink()
{
    test::FakeDialogs dialogs;
    AboutDialog about(dialogs);
    QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(about.windowTitle(), QStringLiteral("Info zu Glyfrax"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Glyfrax"));
    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
             QStringLiteral("Version ") + QString::fromLatin1(kVersionText));
    QCOMPARE(AboutDialog::versionLine(2, 0, 12), QStringLiteral("Version 2.0.12"));
    auto* link = about.findChild<QLabel*>(QStringLiteral("Hyperlink"));
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(dialogs.opened.value(0).host(), QStringLiteral("glyfrax.example.org"));
    QVERIFY(about.findChild<QPushButton*>(QStringLiteral("cmdOK"))->isDefault());
}

void TestAbout::sysInfoButtonSaysWhenThereIsNone()
{
    test::FakeDialogs dialogs;
    AboutDialog about(dialogs, std::make_unique<FakeSystem>());
    about.findChild<QPushButton*>(QStringLiteral("cmdSysInfo"))->click();
    QCOMPARE(dialogs.messages, QStringList{QStringLiteral("Systeminformationen sind momentan nicht verfügbar")});
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
