#include "layout/CellPlacement.h"
#include "layout/TextureLayout.h"
#include "render/BmpWriter.h"
#include "render/DistanceField.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphEffects.h"
#include "render/GlyphPages.h"
#include "render/InkReader.h"
#include "render/PngWriter.h"
#include "render/TextureRenderer.h"
#include "settings/BmFontOptions.h"
#include "support/Golden.h"
#include "support/TestFont.h"

#include <QBuffer>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QRawFont>
#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(glyfrax::PageField)

class TestRender : public QObject
{
    Q_OBJECT

private slots:
    void fieldPageInBands_data()
    {
        QTest::addColumn<PageField>("field");
        QTest::addColumn<int>("threads");
        QTest::addRow("msdf, one thread") << PageField::Msdf << 1;
        QTest::addRow("sdf, three threads") << PageField::Sdf << 3;
    }
    // A field page written as it is drawn, band by band, is the file of the page drawn whole, also
    // where cells reach across the bands (a wide page has bands of a few rows) or lie at its edges.
    void fieldPageInBands()
    {
        QFETCH(PageField, field);
        QFETCH(int, threads);
        const QRawFont font(test::dejaVuSansPath(), 32);
        std::vector<QPainterPath> outlines;
        for (quint32 glyph : font.glyphIndexesForString(u"@gjÅ"_s))
            outlines.push_back(font.pathForGlyph(glyph));
        const QSize size(8192, 300);
        std::vector<PlacedGlyph> glyphs;
        for (int y : {0, 40, 100, 110, 118, 124, 170, 230, 250, 262}) {
            const std::size_t ink = glyphs.size() % outlines.size();
            const QRect box = fieldBox(outlines[ink], 4);
            const QRect cell(QPoint(int(glyphs.size()) * 300, std::min(y, size.height() - box.height())), box.size());
            glyphs.push_back({0, cell.topLeft() - box.topLeft(), cell, 0, ink});
        }
        const std::vector<FontMeasure> fonts;
        const std::vector<GlyphInk> inks;
        const PageSource source{&fonts, &inks, {}, false, threads, false, &outlines, field, 4};
        QBuffer whole;
        QBuffer bands;
        QVERIFY(whole.open(QIODevice::WriteOnly) && bands.open(QIODevice::WriteOnly));
        QVERIFY(writePng(whole, renderPageForFile(source, size, glyphs), threads));
        QVERIFY(writePageFile(bands, source, size, glyphs, PageImage::Png));
        QVERIFY(bands.data() == whole.data());
    }

    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }

    void measure_data() { test::addTableRows(u"font-measures.txt"_s); }
    void measure()
    {
        test::compareRow([](const QString& input) {
            const FontMeasure m(test::dejaVu(input.section(u' ', 0, 0).toFloat(), input.endsWith(u"bold")));
            QString told;
            for (int value :
                 {m.lineHeight(), m.ascent(), m.charWidth(32), m.charWidth(77), m.charWidth(128), m.charWidth(255)})
                told += QString::number(value) + u' ';
            return told.trimmed();
        });
    }

    void faceChecks_data() { test::addTableRows(u"face-checks.txt"_s); }
    void faceChecks()
    {
        test::compareRow([](const QString& input) {
            const Result<void> checked = checkFace(
                input.section(u' ', 1), input.startsWith(u"window") ? OptionWords::Window : OptionWords::CommandLine);
            return checked ? QString() : checked.error();
        });
    }

    // Glyphs drawn 2 or 4 times larger and reduced come nearer to a 16-fold drawing, the closest to
    // the outline's true coverage, than glyphs drawn at their size; so do outlines around them. The
    // ink stays where the glyph's own is, give or take the pixel a fringe can add.
    void supersamplingNearsTheOutline_data()
    {
        QTest::addColumn<int>("outline");
        QTest::addRow("glyphs") << 0;
        QTest::addRow("outlines") << 1;
    }
    void supersamplingNearsTheOutline()
    {
        QFETCH(int, outline);
        const FontMeasure measure(test::dejaVu(9)); // 12 px
        const QList<quint32> glyphs = measure.rawFont().glyphIndexesForString(u"Hamburgefonstiv@&%ßAVWxyz"_s);
        const auto inkOf = [&](quint32 glyph, int factor) {
            const GlyphInk ink = InkReader(measure.rawFont(), false, factor).read(glyph, {512, 512});
            return withEffects(ink, measure.rawFont().pathForGlyph(glyph), {outline, {}, false, factor});
        };
        std::map<int, double> differences; // by factor: the mean absolute difference to 16-fold
        for (const quint32 glyph : glyphs) {
            const GlyphInk exact = inkOf(glyph, 16);
            for (const int factor : {1, 2, 4}) {
                const GlyphInk ink = inkOf(glyph, factor);
                QVERIFY(exact.box.adjusted(-1, -1, 1, 1).contains(ink.box));
                const auto at = [](const GlyphInk& i, QPoint p) {
                    const std::vector<std::uint8_t>& plane = i.outline.empty() ? i.coverage : i.outline;
                    return i.box.contains(p)
                               ? int(plane[std::size_t((p.y() - i.box.top()) * i.box.width() + p.x() - i.box.left())])
                               : 0;
                };
                const QRect both = exact.box | ink.box;
                for (int y = both.top(); y <= both.bottom(); ++y) {
                    for (int x = both.left(); x <= both.right(); ++x)
                        differences[factor] += std::abs(at(ink, {x, y}) - at(exact, {x, y})) / double(glyphs.size());
                }
            }
        }
        qInfo("mean absolute difference per glyph to 16-fold: 1: %.1f, 2: %.1f, 4: %.1f", differences[1],
              differences[2], differences[4]);
        QVERIFY(differences[2] < differences[1]);
        QVERIFY(differences[4] < differences[2]);
    }

    // A texture smaller than the layout cuts the cells at its edge and leaves the rest as it was.
    void textureCutsCellsAtItsEdge()
    {
        const FontMeasure measure(test::dejaVu(14.0F));
        const GlyphTable table = *placeCells(measure, *layoutTexture(measure, 2, 2), 2, 2);
        const QImage texture = TextureRenderer(measure, table, 512, Qt::white, Qt::black, 1).render();
        QCOMPARE(TextureRenderer(measure, table, 100, Qt::white, Qt::black, 1).render(), texture.copy(0, 0, 100, 100));
    }

    // The bitmap holds every pixel as Qt's own reader sees it, at widths around the sixteen pixels
    // converted at a time, and across the writer's chunks, where rows like the one below are copied.
    void bitmapHoldsThePixels_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        for (const auto& [width, height] : {std::pair{1, 2}, {15, 3}, {16, 3}, {17, 3}, {37, 5000}, {1024, 300}})
            QTest::addRow("%dx%d", width, height) << width << height;
    }
    void bitmapHoldsThePixels()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QImage image(width, height, QImage::Format_RGB32);
        QRandomGenerator random(uint(width * 7919 + height));
        for (int y = 0; y < height; ++y) {
            // Runs of equal rows, as a texture's background has them.
            if (y > 0 && random.bounded(4) != 0) {
                std::memcpy(image.scanLine(y), image.constScanLine(y - 1), std::size_t(width) * 4);
                continue;
            }
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb(random.bounded(256), random.bounded(256), random.bounded(256)));
        }
        QBuffer file;
        file.open(QIODevice::WriteOnly);
        QVERIFY(writeBmp24(file, image));
        QCOMPARE(file.size(), kBmpHeaderSize + bmpRowBytes(width) * height);
        QCOMPARE(QImage::fromData(file.data(), "BMP").convertToFormat(QImage::Format_RGB32), image);
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"
