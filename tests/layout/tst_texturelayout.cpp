#include "render/FontMeasure.h"
#include "render/GlyphPainter.h"
#include "layout/TextureLayout.h"
#include "support/FixedMeasure.h"
#include "support/TestFont.h"

#include <QTest>

#include <vector>

using namespace glyfrax;
using namespace Qt::StringLiterals;
using glyfrax::test::FixedMeasure;

namespace {

std::vector<int> lineEnds(const TextureLayout& layout)
{
    return {layout.LineEnds.begin(), layout.LineEnds.begin() + layout.LineEndCount};
}

TextureLayout laidOut(const TextMeasure& measure, int xDist = 0, int yDist = 0)
{
    TextureLayout layout;
    const LayoutOutcome outcome = LayoutTexture(measure, xDist, yDist, layout);
    if (!outcome.ok)
        qWarning("%s", qPrintable(outcome.error));
    return layout;
}

} // namespace

class TestTextureLayout : public QObject
{
    Q_OBJECT

private slots:
    void eachCharacterReservesItsGapAndEarlierLinesCount();
    void fitTestComparesWithTheWidestLine_data();
    void fitTestComparesWithTheWidestLine();
    void characterWiderThanTheSideFailsTheSide();
    void characterThatFitsOnlyWithoutItsGapFailsTheSide();
    void allCharactersOnOneLineWriteNoEntry();
    void entriesAboveTheCountAreKept();
    void overflowIsReportedAndKeepsTheLayout();
    void realFontLayoutsKeepTheirInvariants_data();
    void realFontLayoutsKeepTheirInvariants();
    void previewEndsWithCode255();
};

void TestTextureLayout::eachCharacterReservesItsGapAndEarlierLinesCount()
{
    // Three characters of 42 pixels would end exactly at 128 with two gaps, but each
    // character reserves its own: 3 x 42 + 3 > 128, so line 1 holds two. Later lines are
    // tested against the 84 pixels of line 1 plus their own gaps: 84 + 44 = 128 still fits.
    FixedMeasure measure(0, 1);
    measure.setWidth(32, 42);
    measure.setWidth(33, 42);
    measure.setWidth(34, 42);
    const TextureLayout layout = laidOut(measure, 1, 0);
    QCOMPARE(layout.TextureSize, 128);
    QCOMPARE(lineEnds(layout), (std::vector<int>{33, 77, 121, 165, 209, 253}));
    QCOMPARE(previewLines(layout).size(), 7);
    QCOMPARE(previewLines(layout).last(), u"þÿ"_s);
}

void TestTextureLayout::fitTestComparesWithTheWidestLine_data()
{
    QTest::addColumn<int>("lineHeight");
    QTest::addColumn<int>("yDist");
    QTest::addColumn<int>("side");
    // Width 5: 25 characters (125 pixels) a line on 128, 9 lines.
    QTest::addRow("9 x 13 + 8 = 125 equals the widest line") << 13 << 1 << 128;
    QTest::addRow("9 x 14 = 126 fits the square, not the widest line") << 14 << 0 << 256;
}

void TestTextureLayout::fitTestComparesWithTheWidestLine()
{
    QFETCH(int, lineHeight);
    QFETCH(int, yDist);
    QFETCH(int, side);
    const TextureLayout layout = laidOut(FixedMeasure(5, lineHeight), 0, yDist);
    QCOMPARE(layout.TextureSize, side);
}

void TestTextureLayout::characterWiderThanTheSideFailsTheSide()
{
    FixedMeasure measure(1, 1);
    measure.setWidth(100, 200);
    const TextureLayout layout = laidOut(measure);
    QCOMPARE(layout.TextureSize, 256);
    QCOMPARE(layout.LineEnds[0], 99);
}

void TestTextureLayout::characterThatFitsOnlyWithoutItsGapFailsTheSide()
{
    FixedMeasure measure(1, 1);
    measure.setWidth(32, 128);
    const TextureLayout layout = laidOut(measure, 1, 0);
    QCOMPARE(layout.TextureSize, 256);
    for (int line = 0; line < layout.lineCount(); ++line)
        QVERIFY(layout.firstCodeOfLine(line) <= layout.lastCodeOfLine(line));
}

void TestTextureLayout::allCharactersOnOneLineWriteNoEntry()
{
    FixedMeasure measure(0, 10);
    measure.setWidth(32, 10);
    TextureLayout layout;
    layout.LineEnds.fill(777);
    QVERIFY(LayoutTexture(measure, 0, 0, layout).ok);
    QCOMPARE(layout.TextureSize, 128);
    QCOMPARE(layout.LineEndCount, 0);
    QCOMPARE(layout.LineEnds[0], 777);
    QCOMPARE(textureSizeCaption(layout.TextureSize), u"Textur: 128x128"_s);
}

void TestTextureLayout::entriesAboveTheCountAreKept()
{
    TextureLayout layout;
    QVERIFY(LayoutTexture(FixedMeasure(5, 13), 0, 1, layout).ok);
    QCOMPARE(layout.LineEndCount, 8);
    const int ninthLineEnd = layout.LineEnds[7];
    QVERIFY(LayoutTexture(FixedMeasure(1, 1), 0, 0, layout).ok);
    QCOMPARE(layout.LineEndCount, 1);
    QCOMPARE(layout.LineEnds[7], ninthLineEnd);
}

void TestTextureLayout::overflowIsReportedAndKeepsTheLayout()
{
    TextureLayout layout;
    QVERIFY(LayoutTexture(FixedMeasure(5, 13), 0, 1, layout).ok);
    const TextureLayout before = layout;
    // 15 twips x 200,000,000 leaves the 32-bit range.
    const LayoutOutcome outcome = LayoutTexture(FixedMeasure(5, 13), 200000000, 0, layout);
    QVERIFY(!outcome.ok);
    QVERIFY(outcome.error.contains(u"Überlauf"_s));
    QCOMPARE(layout.TextureSize, before.TextureSize);
    QCOMPARE(layout.LineEnds, before.LineEnds);
    // Characters of no width can never pass the fit test; the sides run into the 32-bit limit.
    QVERIFY(!LayoutTexture(FixedMeasure(0, 1), 0, 0, layout).ok);
}

void TestTextureLayout::realFontLayoutsKeepTheirInvariants_data()
{
    QTest::addColumn<float>("size");
    QTest::addColumn<int>("xDist");
    QTest::addColumn<int>("yDist");
    QTest::addColumn<int>("side");
    QTest::addRow("5 pt") << 5.0F << 0 << 0 << 128;
    QTest::addRow("8 pt") << 8.0F << 0 << 0 << 256;
    QTest::addRow("14 pt, gaps 2 and 3") << 14.0F << 2 << 3 << 512;
    QTest::addRow("48 pt bold, gaps 1") << 48.0F << 1 << 1 << 1024;
}

void TestTextureLayout::realFontLayoutsKeepTheirInvariants()
{
    QFETCH(float, size);
    QFETCH(int, xDist);
    QFETCH(int, yDist);
    QFETCH(int, side);
    QVERIFY(!test::loadDejaVuSans().isEmpty());
    const FontMeasure measure(test::dejaVu(size, size > 40));
    const TextureLayout layout = laidOut(measure, xDist, yDist);
    QCOMPARE(layout.TextureSize, side);

    int widest = 0;
    for (int line = 0; line < layout.lineCount(); ++line) {
        const int first = layout.firstCodeOfLine(line);
        const int last = layout.lastCodeOfLine(line);
        QVERIFY2(first <= last, "empty line");
        int width = 0;
        for (int code = first; code <= last; ++code)
            width += measure.charWidth(code);
        QVERIFY(width + (last - first + 1) * xDist <= layout.TextureSize);
        widest = std::max(widest, width);
    }
    QVERIFY(layout.lineCount() * measure.lineHeight() + layout.LineEndCount * yDist <= widest);
}

void TestTextureLayout::previewEndsWithCode255()
{
    QVERIFY(!test::loadDejaVuSans().isEmpty());
    const FontMeasure measure(test::dejaVu(14.0F));
    const TextureLayout layout = laidOut(measure);
    const QStringList lines = previewLines(layout);
    QCOMPARE(lines.join(QString()).size(), 224);
    QVERIFY(lines.last().endsWith(QChar(0xFF)));
    QVERIFY(lines.join(QString()).contains(u"%&'"_s));

    const QImage preview = renderPreview(measure, layout, Qt::white, Qt::black, {2000, 2000});
    QCOMPARE(preview.height(), layout.lineCount() * measure.lineHeight());
    QVERIFY(preview.width() <= layout.TextureSize);
}

QTEST_MAIN(TestTextureLayout)
#include "tst_texturelayout.moc"
