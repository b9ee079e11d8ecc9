#include "render/BmpWriter.h"
#include "export/FontExport.h"
#include "layout/CellPlacement.h"
#include "render/TextureRenderer.h"
#include "render/FontMeasure.h"
#include "layout/TextureLayout.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::entries;
using glyfrax::test::readBytes;
using glyfrax::test::writeBytes;

namespace {

Settings exportSettings(float size, bool bold, int xDist, int yDist)
{
    Settings settings;
    settings.font = test::dejaVu(size, bold);
    settings.options.charTxt = u"Char"_s;
    settings.options.xTxt = u"X"_s;
    settings.options.yTxt = u"Y"_s;
    settings.options.wTxt = u"W"_s;
    settings.options.hTxt = u"H"_s;
    settings.options.xDist = xDist;
    settings.options.yDist = yDist;
    return settings;
}

ExportOutcome exportTo(const QString& path, const Settings& settings)
{
    TextureLayout layout;
    return ExportFont(path, settings, QPalette(), layout);
}

// Compares with the golden file; on a mismatch leaves <name>.actual beside it.
bool matchesGolden(const QString& name, const QByteArray& actual)
{
    const QString golden = QStringLiteral(GLYFRAX_TEST_DATA "/") + name;
    if (readBytes(golden) == actual)
        return true;
    writeBytes(golden + u".actual"_s, actual);
    return false;
}

} // namespace

class TestFontExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void metricsMatchGoldenFiles_data();
    void metricsMatchGoldenFiles();
    void textureHoldsEachCharacterInItsCell();
    void cellsPastTheEdgeAreClipped();
    void exportsAreByteIdenticalAndReadBack();
    void laterExportReplacesTheMetricsFileWhole();
    void failuresLeaveEarlierFilesAndNoTemporaryFile_data();
    void failuresLeaveEarlierFilesAndNoTemporaryFile();

private:
    QTemporaryDir m_dir;
};

void TestFontExport::initTestCase()
{
    QVERIFY(!test::loadDejaVuSans().isEmpty());
    QVERIFY(m_dir.isValid());
}

void TestFontExport::metricsMatchGoldenFiles_data()
{
    QTest::addColumn<float>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("xDist");
    QTest::addColumn<int>("yDist");
    QTest::addColumn<QString>("name");
    QTest::addRow("14 pt, gaps 1 and 2") << 14.0F << false << 1 << 2 << "dejavu14";
    QTest::addRow("48 pt bold, gaps 3 and 1") << 48.0F << true << 3 << 1 << "dejavu48b";
}

void TestFontExport::metricsMatchGoldenFiles()
{
    QFETCH(float, size);
    QFETCH(bool, bold);
    QFETCH(int, xDist);
    QFETCH(int, yDist);
    QFETCH(QString, name);
    Settings settings = exportSettings(size, bold, xDist, yDist);
    const QString bitmap = m_dir.filePath(name + u".bmp"_s);
    const struct
    {
        bool binary;
        bool wide;
        const char* suffix;
    } forms[] = {{false, false, "-text.fnt"}, {true, false, "-16.fnt"}, {true, true, "-32.fnt"}};
    for (const auto& form : forms) {
        settings.options.writeBinary = form.binary;
        settings.options.takeLong = form.wide;
        const ExportOutcome outcome = exportTo(bitmap, settings);
        QVERIFY2(outcome.ok(), qPrintable(outcome.error));
        QVERIFY2(matchesGolden(name + QString::fromLatin1(form.suffix), readBytes(outcome.metricsPath)),
                 qPrintable(name + QString::fromLatin1(form.suffix)));
    }
}

void TestFontExport::textureHoldsEachCharacterInItsCell()
{
    const FontMeasure measure(test::dejaVu(14.0F));
    TextureLayout layout;
    QVERIFY(LayoutTexture(measure, 2, 2, layout).ok);
    const GlyphTable table = measureGlyphs(measure, layout, 2, 2).table;
    const QColor background(0x10, 0x20, 0x40);
    QImage texture = TextureRenderer(measure, table, layout.TextureSize, Qt::white, background).render();
    QCOMPARE(texture.size(), QSize(layout.TextureSize, layout.TextureSize));

    // Ink inside the cells of visible characters, none in the space's; with every cell painted
    // over, background alone is left.
    auto backgroundOnly = [&background](const QImage& image) {
        QImage plain(image.size(), image.format());
        plain.fill(background);
        return image == plain;
    };
    QPainter eraser(&texture);
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        const QRect cell(table[code].X, table[code].Y, table[code].W, table[code].H);
        if (code == 32 || code == 38 || code == 65 || code == 128 || code == 255)
            QCOMPARE(backgroundOnly(texture.copy(cell)), code == 32);
        eraser.fillRect(cell, background);
    }
    eraser.end();
    QVERIFY(backgroundOnly(texture));
}

void TestFontExport::cellsPastTheEdgeAreClipped()
{
    const FontMeasure measure(test::dejaVu(14.0F));
    GlyphTable table;
    for (int code = kFirstCode; code <= kLastCode; ++code)
        table[code] = {0, 0, -1, -1};
    table[77] = {120, 120, 18, 21}; // "M", reaching past the right and bottom edges
    const QImage texture = TextureRenderer(measure, table, 128, Qt::white, Qt::black).render();
    QCOMPARE(texture.size(), QSize(128, 128));
    bool ink = false;
    for (int y = 120; y < 128; ++y)
        for (int x = 120; x < 128; ++x)
            ink = ink || texture.pixelColor(x, y) != QColor(Qt::black);
    QVERIFY(ink);
    QCOMPARE(texture.pixelColor(119, 119), QColor(Qt::black));
}

void TestFontExport::exportsAreByteIdenticalAndReadBack()
{
    Settings settings = exportSettings(14.0F, false, 1, 1);
    settings.font.textColor = 0x0080FF; // orange: red 255, green 128, blue 0
    settings.font.backColor = 0x203040;
    const QString first = m_dir.filePath(u"first.bmp"_s);
    const QString second = m_dir.filePath(u"second.bmp"_s);
    QVERIFY(exportTo(first, settings).ok());
    QVERIFY(exportTo(second, settings).ok());
    const QByteArray bytes = readBytes(first);
    QCOMPARE(bytes, readBytes(second));
    QCOMPARE(readBytes(metricsPathFor(first)), readBytes(metricsPathFor(second)));

    // 24 bits, no compression, the size the layout chose.
    const FontMeasure measure(settings.font);
    TextureLayout layout;
    QVERIFY(LayoutTexture(measure, 1, 1, layout).ok);
    const int side = layout.TextureSize;
    QCOMPARE(bytes.size(), 54 + side * side * 3);
    QCOMPARE(bytes.mid(28, 2), QByteArray("\x18\x00", 2));
    QCOMPARE(bytes.mid(30, 4), QByteArray(4, '\0'));

    const QImage read(first);
    const GlyphTable table = measureGlyphs(measure, layout, 1, 1).table;
    const QImage rendered =
        TextureRenderer(measure, table, side, QColor(255, 128, 0), QColor(0x40, 0x30, 0x20)).render();
    QCOMPARE(read.convertToFormat(QImage::Format_RGB32), rendered);
    QCOMPARE(read.pixelColor(side - 1, side - 1), QColor(0x40, 0x30, 0x20));
}

void TestFontExport::laterExportReplacesTheMetricsFileWhole()
{
    Settings settings = exportSettings(14.0F, false, 0, 0);
    const QString bitmap = m_dir.filePath(u"twice.bmp"_s);
    settings.options.writeBinary = true;
    settings.options.takeLong = true;
    QVERIFY(exportTo(bitmap, settings).ok());
    QCOMPARE(readBytes(metricsPathFor(bitmap)).size(), 3584);
    settings.options.takeLong = false;
    QVERIFY(exportTo(bitmap, settings).ok());
    QCOMPARE(readBytes(metricsPathFor(bitmap)).size(), 1792);
}

void TestFontExport::failuresLeaveEarlierFilesAndNoTemporaryFile_data()
{
    QTest::addColumn<QString>("bitmapName"); // in a fresh folder that holds earlier files
    QTest::addColumn<int>("xDist");
    QTest::addColumn<bool>("shortFields");
    QTest::addColumn<bool>("readOnlyBitmap");
    QTest::addColumn<QString>("messagePart");
    QTest::addRow("name ending in .fnt") << "font.fnt" << 0 << false << false << "denselben Namen";
    QTest::addRow("missing folder") << "missing/font.bmp" << 0 << false << false << "existiert nicht";
    QTest::addRow("read-only bitmap") << "font.bmp" << 0 << false << true << "schreibgeschützt";
    QTest::addRow("name of a folder") << "folder" << 0 << false << false << "Ordner";
    QTest::addRow("X too large for 16 bits") << "font.bmp" << 32767 << true << false << "16-Bit";
    QTest::addRow("texture too large for a bitmap") << "font.bmp" << 32767 << false << false << "zu groß";
}

void TestFontExport::failuresLeaveEarlierFilesAndNoTemporaryFile()
{
    QFETCH(QString, bitmapName);
    QFETCH(int, xDist);
    QFETCH(bool, shortFields);
    QFETCH(bool, readOnlyBitmap);
    QFETCH(QString, messagePart);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    QVERIFY(writeBytes(dir.filePath(u"font.bmp"_s), "earlier bitmap"));
    QVERIFY(writeBytes(dir.filePath(u"font.fnt"_s), "earlier metrics"));
    if (readOnlyBitmap)
        QFile::setPermissions(dir.filePath(u"font.bmp"_s), QFileDevice::ReadOwner);
    const QStringList before = entries(dir.path());

    Settings settings = exportSettings(14.0F, false, xDist, 0);
    settings.options.writeBinary = true;
    settings.options.takeLong = !shortFields;
    const ExportOutcome outcome = exportTo(dir.filePath(bitmapName), settings);
    QVERIFY(!outcome.ok());
    QVERIFY2(outcome.error.contains(messagePart), qPrintable(outcome.error));
    QCOMPARE(readBytes(dir.filePath(u"font.bmp"_s)), QByteArray("earlier bitmap"));
    QCOMPARE(readBytes(dir.filePath(u"font.fnt"_s)), QByteArray("earlier metrics"));
    QCOMPARE(entries(dir.path()), before);
}

QTEST_MAIN(TestFontExport)
#include "tst_fontexport.moc"
