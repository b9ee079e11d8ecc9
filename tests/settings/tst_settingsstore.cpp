#include "settings/ColorValue.h"
#include "settings/Conversions.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

Settings read(const QByteArray& bytes)
{
    return readSettings(ProfileFile::fromBytes(bytes)).settings;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void conversions();
    void missingFileGivesZeroValuesAndCloseWritesThemAll();
    void labelsAndSizesAreWrittenAndReadBack();
    void badValuesAreReportedAndTheRestStillReads();
    void writtenFileReadsBackAndRewritesIdentically();
    void systemColoursStayNegative();
};

void TestSettingsStore::conversions()
{
    const auto none = ConversionError::None;
    const struct
    {
        const char16_t* text;
        int value;
        ConversionError error;
    } integers[] = {{u"-7", -7, none},
                    {u"2.5", 2, none},
                    {u"3.5", 4, none},
                    {u"-2.5", -2, none},
                    {u" 12 ", 12, none},
                    {u"2147483647", 2147483647, none},
                    {u"2147483648", 0, ConversionError::Overflow},
                    {u"1e300", 0, ConversionError::Overflow},
                    {u"abc", 0, ConversionError::TypeMismatch},
                    {u"", 0, ConversionError::TypeMismatch},
                    {u"inf", 0, ConversionError::TypeMismatch},
                    {u"2,5", 0, ConversionError::TypeMismatch}};
    for (const auto& row : integers) {
        const Converted<std::int32_t> converted = toInt32(QString::fromUtf16(row.text));
        QVERIFY2(converted.error == row.error && converted.value == row.value,
                 qPrintable(QString::fromUtf16(row.text)));
    }
    for (const char16_t* set : {u"255", u"1", u"-1", u"true", u"TRUE"})
        QVERIFY(toFlag(QString::fromUtf16(set)).value);
    QVERIFY(toFlag(u"0"_s).ok() && !toFlag(u"0"_s).value);
    QVERIFY(toFlag(u"False"_s).ok() && !toFlag(u"False"_s).value);
    QVERIFY(!toFlag(u"yes"_s).ok());
    QCOMPARE(toSingle(u"14.25"_s).value, 14.25F);
}

void TestSettingsStore::missingFileGivesZeroValuesAndCloseWritesThemAll()
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir.path());
    const LoadedSettings loaded = readSettingsFile(path);
    QVERIFY(loaded.problems.isEmpty());
    Settings expected;
    ExportOptions& o = expected.options;
    expected.font.face = o.charTxt = o.xTxt = o.yTxt = o.wTxt = o.hTxt = u"0"_s;
    QCOMPARE(loaded.settings, expected);

    QVERIFY(writeSettingsFile(path, loaded.settings));
    QCOMPARE(test::readBytes(path), QByteArray("[Font]\r\nName=0\r\nSize=0\r\nBold=0\r\nItalic=0\r\nColor=0\r\n"
                                               "BackColor=0\r\n[Export Option]\r\nWriteBinary=0\r\nTakeLong=0\r\n"
                                               "CharTxt=0\r\nXTxt=0\r\nYTxt=0\r\nWTxt=0\r\nHTxt=0\r\nXDist=0\r\n"
                                               "YDist=0\r\n"));
}

void TestSettingsStore::labelsAndSizesAreWrittenAndReadBack()
{
    Settings settings;
    settings.options.charTxt = u" Y "_s;
    settings.options.xTxt = u"X"_s;
    settings.options.wTxt = u"\tW\t"_s;
    for (const auto& [size, written] : {std::pair{14.25F, "14"}, {9.75F, "10"}, {10.5F, "10"}, {11.5F, "12"}}) {
        settings.font.size = size;
        ProfileFile profile;
        writeSettings(profile, settings);
        QCOMPARE(profile.value(u"Font"_s, u"Size"_s), QString::fromLatin1(written));
        QVERIFY(profile.toBytes().contains("CharTxt= Y \r\n"));
        const Settings reread = read(profile.toBytes());
        QCOMPARE(reread.options.charTxt, u"Y"_s);
        QCOMPARE(reread.options.xTxt, u"X"_s);
        QCOMPARE(reread.options.yTxt, QString());
        QCOMPARE(reread.options.wTxt, u"W"_s); // the profile trims a value's tabs, as the platform did
    }
    const QString face(300, u'F');
    QCOMPARE(read("[Font]\r\nName=" + face.toLatin1() + "\r\n").font.face, face.left(254));
}

void TestSettingsStore::badValuesAreReportedAndTheRestStillReads()
{
    const LoadedSettings loaded = readSettings(ProfileFile::fromBytes(
        "[Font]\r\nName=Arial\r\nSize=big\r\nBold=maybe\r\nColor=99999999999\r\n[Export Option]\r\n"
        "XDist=-3\r\nYDist=40000\r\nCharTxt=C\r\nTakeLong=1\r\n"));
    QStringList keys;
    for (const SettingProblem& problem : loaded.problems)
        keys << problem.key;
    QCOMPARE(keys, (QStringList{u"Size"_s, u"Bold"_s, u"Color"_s, u"XDist"_s, u"YDist"_s}));
    const Settings& s = loaded.settings;
    QVERIFY(s.font.face == u"Arial"_s && s.font.size == 0.0F && !s.font.bold && s.font.textColor == 0);
    QVERIFY(s.options.xDist == 0 && s.options.yDist == 0 && s.options.charTxt == u"C"_s && s.options.takeLong);

    const QString message = describeSettingProblems(u"/opt/glyfrax/config.ini"_s, loaded.problems);
    QVERIFY(message.contains(u"/opt/glyfrax/config.ini"_s));
    QVERIFY(message.contains(u"[Font] Size = „big“: keine Zahl"_s));
    QVERIFY(message.contains(u"[Export Option] YDist = „40000“"_s));
}

void TestSettingsStore::writtenFileReadsBackAndRewritesIdentically()
{
    Settings settings;
    settings.font = {u"DejaVu Sans Mono"_s, 12.0F, true, false, 16777215, 255};
    settings.options = {true, true, u"Zeichen"_s, u"€"_s, u"y"_s, QString(), u"h"_s, 3, 7};
    QTemporaryDir dir;
    const QString path = settingsPath(dir.path());
    QVERIFY(test::writeBytes(path, "; my notes\r\n[Font]\r\nName=Old\r\n"));
    QVERIFY(writeSettingsFile(path, settings));
    const QByteArray first = test::readBytes(path);
    QVERIFY(first.startsWith("; my notes\r\n[Font]\r\nName=DejaVu Sans Mono\r\nSize=12\r\nBold=255\r\n"));
    QVERIFY(first.contains("Color=16777215\r\n"));

    const LoadedSettings reread = readSettingsFile(path);
    QVERIFY(reread.problems.isEmpty());
    QCOMPARE(reread.settings, settings);
    QVERIFY(writeSettingsFile(path, reread.settings));
    QCOMPARE(test::readBytes(path), first);
}

void TestSettingsStore::systemColoursStayNegative()
{
    // 0x80000005: the window background colour.
    const Settings s = read("[Font]\r\nBackColor=-2147483643\r\n");
    QCOMPARE(s.font.backColor, -2147483643);
    ProfileFile profile;
    writeSettings(profile, s);
    QCOMPARE(profile.value(u"Font"_s, u"BackColor"_s), u"-2147483643"_s);
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    QCOMPARE(colorFromValue(s.font.backColor, palette), QColor(1, 2, 3));
    QCOMPARE(colorFromValue(0x0000FF, palette), QColor(255, 0, 0));
    QCOMPARE(valueFromColor(QColor(255, 255, 255)), 16777215);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
