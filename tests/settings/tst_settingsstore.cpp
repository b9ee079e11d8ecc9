#include "settings/ColorValue.h"
#include "settings/Conversions.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsStore.h"
#include "support/TempFolder.h"

#include <QTest>

using namespace glyfrax;

namespace {

QByteArray fileWith(const QByteArray& fontLines, const QByteArray& exportLines = {})
{
    return "[Font]\r\n" + fontLines + "[Export Option]\r\n" + exportLines;
}

Settings read(const QByteArray& bytes)
{
    return readSettings(ProfileFile::fromBytes(bytes)).settings;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void flags_data();
    void flags();
    void missingFileGivesZeroValuesAndCloseWritesThemAll();
    void labelsLoseBlanksOnly();
    void sizeIsWrittenRoundedHalfToEven_data();
    void sizeIsWrittenRoundedHalfToEven();
    void longFaceIsCut();
    void badValuesAreReportedAndTheRestStillReads();
    void reportNamesSectionKeyAndValue();
    void writtenFileReadsBackAndRewritesIdentically();
    void systemColoursStayNegative();
};

void TestSettingsStore::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("error");
    QTest::addRow("plain") << "42" << 42 << int(ConversionError::None);
    QTest::addRow("negative") << "-7" << -7 << int(ConversionError::None);
    QTest::addRow("2.5 to even 2") << "2.5" << 2 << int(ConversionError::None);
    QTest::addRow("3.5 to even 4") << "3.5" << 4 << int(ConversionError::None);
    QTest::addRow("-2.5 to even -2") << "-2.5" << -2 << int(ConversionError::None);
    QTest::addRow("blanks around") << " 12 " << 12 << int(ConversionError::None);
    QTest::addRow("largest") << "2147483647" << 2147483647 << int(ConversionError::None);
    QTest::addRow("one past largest") << "2147483648" << 0 << int(ConversionError::Overflow);
    QTest::addRow("smallest") << "-2147483648" << int(-2147483648LL) << int(ConversionError::None);
    QTest::addRow("huge exponent") << "1e300" << 0 << int(ConversionError::Overflow);
    QTest::addRow("letters") << "abc" << 0 << int(ConversionError::TypeMismatch);
    QTest::addRow("empty") << "" << 0 << int(ConversionError::TypeMismatch);
    QTest::addRow("inf is no number") << "inf" << 0 << int(ConversionError::TypeMismatch);
    QTest::addRow("trailing junk") << "12px" << 0 << int(ConversionError::TypeMismatch);
    QTest::addRow("decimal comma") << "2,5" << 0 << int(ConversionError::TypeMismatch);
}

void TestSettingsStore::integers()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(int, error);
    const Converted<std::int32_t> converted = toInt32(text);
    QCOMPARE(int(converted.error), error);
    if (converted.ok())
        QCOMPARE(converted.value, value);
}

void TestSettingsStore::flags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("set");
    QTest::addColumn<bool>("ok");
    QTest::addRow("255") << "255" << true << true;
    QTest::addRow("1") << "1" << true << true;
    QTest::addRow("-1") << "-1" << true << true;
    QTest::addRow("0") << "0" << false << true;
    QTest::addRow("true") << "true" << true << true;
    QTest::addRow("TRUE") << "TRUE" << true << true;
    QTest::addRow("False") << "False" << false << true;
    QTest::addRow("yes is no flag") << "yes" << false << false;
    QTest::addRow("empty is no flag") << "" << false << false;
}

void TestSettingsStore::flags()
{
    QFETCH(QString, text);
    QFETCH(bool, set);
    QFETCH(bool, ok);
    const Converted<bool> converted = toFlag(text);
    QCOMPARE(converted.ok(), ok);
    if (ok)
        QCOMPARE(converted.value, set);
}

void TestSettingsStore::missingFileGivesZeroValuesAndCloseWritesThemAll()
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir.path());
    const LoadedSettings loaded = readSettingsFile(path);
    QVERIFY(loaded.problems.isEmpty());
    Settings expected;
    expected.font.face = QStringLiteral("0");
    expected.options.CharTxt = expected.options.XTxt = expected.options.YTxt = expected.options.WTxt =
        expected.options.HTxt = QStringLiteral("0");
    QCOMPARE(loaded.settings, expected);

    QVERIFY(writeSettingsFile(path, loaded.settings));
    QCOMPARE(test::readBytes(path), QByteArray("[Font]\r\nName=0\r\nSize=0\r\nBold=0\r\nItalic=0\r\nColor=0\r\n"
                                               "BackColor=0\r\n[Export Option]\r\nWriteBinary=0\r\nTakeLong=0\r\n"
                                               "CharTxt=0\r\nXTxt=0\r\nYTxt=0\r\nWTxt=0\r\nHTxt=0\r\nXDist=0\r\n"
                                               "YDist=0\r\n"));
}

void TestSettingsStore::labelsLoseBlanksOnly()
{
    Settings settings;
    settings.options.CharTxt = QStringLiteral(" Y ");
    settings.options.XTxt = QStringLiteral("X");
    settings.options.YTxt = QString();
    settings.options.WTxt = QStringLiteral("\tW\t");
    ProfileFile profile;
    writeSettings(profile, settings);
    QVERIFY(profile.toBytes().contains("CharTxt= Y \r\n"));
    const Settings reread = read(profile.toBytes());
    QCOMPARE(reread.options.CharTxt, QStringLiteral("Y"));
    QCOMPARE(reread.options.XTxt, QStringLiteral("X"));
    QCOMPARE(reread.options.YTxt, QString());
    // The profile layer trims the tabs of a value's ends, like the platform's did.
    QCOMPARE(reread.options.WTxt, QStringLiteral("W"));
}

void TestSettingsStore::sizeIsWrittenRoundedHalfToEven_data()
{
    QTest::addColumn<float>("size");
    QTest::addColumn<QString>("written");
    QTest::addRow("14.25") << 14.25F << "14";
    QTest::addRow("9.75") << 9.75F << "10";
    QTest::addRow("10.5") << 10.5F << "10";
    QTest::addRow("11.5") << 11.5F << "12";
}

void TestSettingsStore::sizeIsWrittenRoundedHalfToEven()
{
    QFETCH(float, size);
    QFETCH(QString, written);
    Settings settings;
    settings.font.size = size;
    ProfileFile profile;
    writeSettings(profile, settings);
    QCOMPARE(profile.value(QStringLiteral("Font"), QStringLiteral("Size")), written);
}

void TestSettingsStore::longFaceIsCut()
{
    const QString face(300, u'F');
    QCOMPARE(read(fileWith("Name=" + face.toLatin1() + "\r\n")).font.face, face.left(254));
}

void TestSettingsStore::badValuesAreReportedAndTheRestStillReads()
{
    const LoadedSettings loaded =
        readSettings(ProfileFile::fromBytes(fileWith("Name=Arial\r\nSize=big\r\nBold=maybe\r\nColor=99999999999\r\n",
                                                     "XDist=-3\r\nYDist=40000\r\nCharTxt=C\r\nTakeLong=1\r\n")));
    QStringList keys;
    for (const SettingProblem& problem : loaded.problems)
        keys << problem.key;
    QCOMPARE(keys, (QStringList{QStringLiteral("Size"), QStringLiteral("Bold"), QStringLiteral("Color"),
                                QStringLiteral("XDist"), QStringLiteral("YDist")}));
    const Settings& s = loaded.settings;
    QCOMPARE(s.font.face, QStringLiteral("Arial"));
    QCOMPARE(s.font.size, 0.0F);
    QCOMPARE(s.font.bold, false);
    QCOMPARE(s.font.textColor, 0);
    QCOMPARE(s.options.XDist, 0);
    QCOMPARE(s.options.YDist, 0);
    QCOMPARE(s.options.CharTxt, QStringLiteral("C"));
    QCOMPARE(s.options.TakeLong, true);
}

void TestSettingsStore::reportNamesSectionKeyAndValue()
{
    const QString message = describeSettingProblems(
        QStringLiteral("/opt/glyfrax/config.ini"),
        {{QStringLiteral("Font"), QStringLiteral("Size"), QStringLiteral("big"), QStringLiteral("keine Zahl")}});
    QVERIFY(message.contains(QStringLiteral("/opt/glyfrax/config.ini")));
    QVERIFY(message.contains(QStringLiteral("[Font] Size = „big“: keine Zahl")));
}

void TestSettingsStore::writtenFileReadsBackAndRewritesIdentically()
{
    Settings settings;
    settings.font = {QStringLiteral("DejaVu Sans Mono"), 12.0F, true, false, 16777215, 255};
    settings.options = {
        true, true, QStringLiteral("Zeichen"), QStringLiteral("€"), QStringLiteral("y"), QString(), QStringLiteral("h"),
        3,    7};
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
    const Settings s = read(fileWith("BackColor=-2147483643\r\n"));
    QCOMPARE(s.font.backColor, -2147483643);
    ProfileFile profile;
    writeSettings(profile, s);
    QCOMPARE(profile.value(QStringLiteral("Font"), QStringLiteral("BackColor")), QStringLiteral("-2147483643"));
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    QCOMPARE(colorFromValue(s.font.backColor, palette), QColor(1, 2, 3));
    QCOMPARE(colorFromValue(0x0000FF, palette), QColor(255, 0, 0));
    QCOMPARE(valueFromColor(QColor(255, 255, 255)), 16777215);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
