#include "export/FontExport.h"
#include "layout/CellPlacement.h"
#include "export/MetricsWriter.h"
#include "layout/TextureLayout.h"
#include "settings/ExportOptions.h"
#include "support/FixedMeasure.h"

#include <QBuffer>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::FixedMeasure;

namespace {

template <typename Writer> QByteArray written(Writer write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    write(buffer);
    return buffer.data();
}

ExportOptions labels(const char16_t* c, const char16_t* x, const char16_t* y, const char16_t* w, const char16_t* h)
{
    ExportOptions options;
    options.charTxt = QString::fromUtf16(c);
    options.xTxt = QString::fromUtf16(x);
    options.yTxt = QString::fromUtf16(y);
    options.wTxt = QString::fromUtf16(w);
    options.hTxt = QString::fromUtf16(h);
    return options;
}

} // namespace

class TestMetrics : public QObject
{
    Q_OBJECT

private slots:
    void cellsFollowTheLayoutsLines();
    void binaryFormsAreLittleEndianRecords();
    void textFormHasTenItemsAndCrLf();
    void textLabelsAreWindows1252AndOneLineEach();
    void shortFieldOverflowNamesCodeAndField();
    void metricsNameReplacesTheExtension_data();
    void metricsNameReplacesTheExtension();
};

void TestMetrics::cellsFollowTheLayoutsLines()
{
    FixedMeasure measure(10, 20);
    measure.setWidth(32, 0); // W = -1
    measure.setWidth(40, 4);
    TextureLayout layout;
    layout.LineEndCount = 2;
    layout.LineEnds = {40, 50, 60}; // the 60 is left from an earlier layout and means nothing
    const MeasuredGlyphs glyphs = measureGlyphs(measure, layout, 3, 5);
    QVERIFY(glyphs.error.isEmpty());
    const GlyphTable& t = glyphs.table;
    QCOMPARE(t[32], (GlyphRect{0, 0, -1, 19}));
    QCOMPARE(t[33], (GlyphRect{2, 0, 9, 19})); // -1 + 3 after the space
    QCOMPARE(t[40], (GlyphRect{2 + 7 * 12, 0, 3, 19}));
    QCOMPARE(t[41], (GlyphRect{0, 24, 9, 19})); // 19 + 5 below
    QCOMPARE(t[51], (GlyphRect{0, 48, 9, 19}));
    QCOMPARE(t[61], (GlyphRect{10 * 12, 48, 9, 19}));
    QCOMPARE(t[255].Y, 48);
}

void TestMetrics::binaryFormsAreLittleEndianRecords()
{
    GlyphTable table;
    table[32] = {1, -1, 0x1234, 0x7FFF};
    table[255] = {-2, 3, 4, 5};
    const QByteArray shortForm = written([&](QIODevice& d) { writeBinaryMetrics(d, table, FieldWidth::Short16); });
    const QByteArray longForm = written([&](QIODevice& d) { writeBinaryMetrics(d, table, FieldWidth::Long32); });
    QCOMPARE(shortForm.size(), 1792);
    QCOMPARE(longForm.size(), 3584);
    QCOMPARE(shortForm.left(8), QByteArray("\x01\x00\xFF\xFF\x34\x12\xFF\x7F", 8));
    QCOMPARE(longForm.left(16), QByteArray("\x01\x00\x00\x00\xFF\xFF\xFF\xFF\x34\x12\x00\x00\xFF\x7F\x00\x00", 16));
    QCOMPARE(shortForm.right(8), QByteArray("\xFE\xFF\x03\x00\x04\x00\x05\x00", 8));
}

void TestMetrics::textFormHasTenItemsAndCrLf()
{
    GlyphTable table;
    table[32] = {0, 0, -1, 21};
    table[65] = {120, 44, 11, 21};
    const QByteArray text =
        written([&](QIODevice& d) { writeTextMetrics(d, table, labels(u"Char", u"X", u"Y", u"W", u"H")); });
    const QList<QByteArray> lines = text.split('\n');
    QCOMPARE(lines.size(), 225); // 224 lines and the empty rest after the last line end
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(lines.at(0), QByteArray("Char 32 X 0 Y 0 W -1 H 21\r"));
    QCOMPARE(lines.at(33), QByteArray("Char 65 X 120 Y 44 W 11 H 21\r"));

    const QByteArray empty =
        written([&](QIODevice& d) { writeTextMetrics(d, table, labels(u"", u"", u"", u"", u"")); });
    QVERIFY(empty.startsWith(" 32  0  0  -1  21\r\n"));
}

void TestMetrics::textLabelsAreWindows1252AndOneLineEach()
{
    const QByteArray text =
        written([&](QIODevice& d) { writeTextMetrics(d, GlyphTable(), labels(u"€", u"Ω", u"a\r\nb", u" W ", u"ä")); });
    QCOMPARE(text.count('\n'), 224);
    QVERIFY(text.startsWith("\x80 32 ? 0 a??b 0  W  0 \xE4 0\r\n"));
}

void TestMetrics::shortFieldOverflowNamesCodeAndField()
{
    GlyphTable table;
    QVERIFY(findShortFieldOverflow(table).isEmpty());
    table[100].Y = 32767;
    table[100].W = -32768;
    QVERIFY(findShortFieldOverflow(table).isEmpty());
    table[100].X = 40000;
    const QString message = findShortFieldOverflow(table);
    QVERIFY(message.contains(u"X = 40000"_s));
    QVERIFY(message.contains(u"Zeichens 100"_s));
}

void TestMetrics::metricsNameReplacesTheExtension_data()
{
    QTest::addColumn<QString>("bitmap");
    QTest::addColumn<QString>("metrics");
    QTest::addRow(".bmp") << "/tmp/schrift.bmp"
                          << "/tmp/schrift.fnt";
    QTest::addRow("no extension") << "/tmp/texture"
                                  << "/tmp/texture.fnt";
    QTest::addRow("dot in the folder only") << "/tmp/a.b/texture"
                                            << "/tmp/a.b/texture.fnt";
    QTest::addRow("longer extension") << "/tmp/t.bitmap"
                                      << "/tmp/t.fnt";
    QTest::addRow("two dots") << "/tmp/t.v2.bmp"
                              << "/tmp/t.v2.fnt";
    QTest::addRow(".fnt stays the same") << "/tmp/t.fnt"
                                         << "/tmp/t.fnt";
}

void TestMetrics::metricsNameReplacesTheExtension()
{
    QFETCH(QString, bitmap);
    QFETCH(QString, metrics);
    QCOMPARE(metricsPathFor(bitmap), metrics);
}

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
