#include "app/window/SystemInfo.h"

#include <QTest>

#include <map>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

// A registry of a few values ("key\value name"), telling what was asked of it.
struct FakeSystem final : SystemAccess
{
    std::map<QString, Value> values;
    QStringList files;
    bool starts = true;
    QStringList told;
    QStringList keys;
    int openKeys = 0;

    std::optional<KeyHandle> openKey(std::uint32_t root, const QString& name, std::uint32_t access) override
    {
        if (root != kHKeyLocalMachine || access != kKeyAccessMask)
            return std::nullopt;
        keys << name;
        ++openKeys;
        return KeyHandle(keys.size());
    }
    std::optional<Value> queryValue(KeyHandle key, const QString& name, std::uint32_t bufferSize) override
    {
        told << u"read "_s + keys.at(qsizetype(key) - 1) + u'\\' + name;
        const auto found = values.find(keys.at(qsizetype(key) - 1) + u'\\' + name);
        return found == values.end() || bufferSize != kValueBufferSize ? std::nullopt : std::optional(found->second);
    }
    void closeKey(KeyHandle) override { --openKeys; }
    bool isOrdinaryFile(const QString& path) override { return told << u"test "_s + path, files.contains(path); }
    bool startProgram(const QString& path) override { return told << u"start "_s + path, starts; }
};

const QString kPath = u"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO\\PATH"_s;
const QString kLocation = u"SOFTWARE\\Microsoft\\Shared Tools Location\\MSINFO"_s;

} // namespace

class TestSystemInfo : public QObject
{
    Q_OBJECT

private slots:
    // PATH names the program; else MSINFO names a folder that must hold MSINFO32.EXE.
    void toolIsLookedUpInOrder()
    {
        FakeSystem direct, located, none;
        direct.values[kPath] = {kRegSz, QByteArray("C:\\T\\m.exe\0", 11)};
        located.values[kLocation] = {kRegSz, "C:\\S"};
        located.files << u"C:\\S\\MSINFO32.EXE"_s;
        none.starts = false;
        QCOMPARE(startSystemInformation(direct), SysInfoResult::Started);
        QCOMPARE(startSystemInformation(located), SysInfoResult::Started);
        QCOMPARE(startSystemInformation(none), SysInfoResult::Unavailable);
        QCOMPARE(direct.told, (QStringList{u"read "_s + kPath, u"start C:\\T\\m.exe"_s}));
        QCOMPARE(located.told, (QStringList{u"read "_s + kPath, u"read "_s + kLocation, u"test C:\\S\\MSINFO32.EXE"_s,
                                            u"start C:\\S\\MSINFO32.EXE"_s}));
        QCOMPARE(none.told, (QStringList{u"read "_s + kPath, u"read "_s + kLocation}));
        located.files.clear();
        QCOMPARE(startSystemInformation(located), SysInfoResult::Unavailable);
        QCOMPARE(direct.openKeys + located.openKeys + none.openKeys, 0);
        QCOMPARE(startSystemInformation(*makeSystemAccess()), SysInfoResult::Unavailable); // no registry here
    }

    void valuesAsText_data()
    {
        QTest::addColumn<std::uint32_t>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::addRow("text with its zero") << kRegSz << QByteArray("abc\0", 4) << u"abc"_s;
        QTest::addRow("two zeros lose one") << kRegSz << QByteArray("ab\0\0", 4) << QString::fromUtf8("ab\0", 3);
        QTest::addRow("size 0 is empty") << kRegSz << QByteArray() << QString();
        QTest::addRow("number") << kRegDword << QByteArray("\xEF\xBE\xAD\x0B", 4) << u"&hBADBEEF"_s;
        QTest::addRow("other type") << std::uint32_t(3) << QByteArray("xyz") << QString();
    }
    void valuesAsText()
    {
        QFETCH(std::uint32_t, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        FakeSystem system;
        system.values[u"K\\V"_s] = {type, data};
        QCOMPARE(readKeyValue(system, kHKeyLocalMachine, u"K"_s, u"V"_s), std::optional(expected));
        QCOMPARE(readKeyValue(system, kHKeyLocalMachine, u"K"_s, u"missing"_s), std::optional<QString>());
        QCOMPARE(system.openKeys, 0);
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
