#include "layout/CellPlacement.h"
#include "layout/TextureLayout.h"
#include "render/BmpWriter.h"
#include "render/DistanceField.h"
#include "render/FontAxes.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/FontTables.h"
#include "render/GlyphEffects.h"
#include "render/GlyphPages.h"
#include "render/InkReader.h"
#include "render/PngWriter.h"
#include "render/TextureRenderer.h"
#include "render/VariedPositions.h"
#include "settings/BmFontOptions.h"
#include "support/Golden.h"
#include "support/TestFont.h"

#include <QBuffer>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

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

    // The test variable font (tests/data/make-variable-font.py) drawn where a variation puts it:
    // every coordinate of it is a + b t + d c, t the weight from 0 (wght 100) to 1 (900), c the
    // narrowing from 0 (wdth 100) to 1 (75). At 100 pixels per em a pixel is ten units.
    void variableFontAtCoordinates_data()
    {
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("axes");
        QTest::addColumn<double>("t");
        QTest::addColumn<double>("c");
        QTest::addRow("defaults") << QString() << QString() << 0.375 << 0.0;
        QTest::addRow("wght at its default") << QString() << u"wght=400"_s << 0.375 << 0.0;
        QTest::addRow("wght at its minimum") << QString() << u"wght=100"_s << 0.0 << 0.0;
        QTest::addRow("wght at its maximum") << QString() << u"wght=900"_s << 1.0 << 0.0;
        QTest::addRow("both axes") << QString() << u"wdth=75,wght=700"_s << 0.75 << 1.0;
        QTest::addRow("a named instance") << u"bold condensed"_s << QString() << 0.75 << 1.0;
        QTest::addRow("an axis over an instance") << u"Bold Condensed"_s << u"wght=900"_s << 1.0 << 1.0;
    }
    void variableFontAtCoordinates()
    {
        QFETCH(QString, instance);
        QFETCH(QString, axes);
        QFETCH(double, t);
        QFETCH(double, c);
        const QString path = test::dataPath(u"glyfrax-test-variable.ttf"_s);
        const Result<RegisteredFont> font = registerFontFile(path, {instance, *parseAxisValues(axes)});
        QVERIFY2(font, qPrintable(font ? QString() : font.error()));
        QCOMPARE(font->displayName, u"Glyfrax Test Variable"_s);
        // At the defaults the file is drawn as it is, not remade.
        QCOMPARE(font->family == registerFontFile(path)->family, t == 0.375 && c == 0.0);
        const FontMeasure measure({font->family, 75.0F}); // 100 pixels per em
        QCOMPARE(measure.charWidth(u'I'), qRound((120 + 160 * t) / 10));
        QCOMPARE(measure.charWidth(u'H'), qRound((520 + 320 * t - 80 * c) / 10));
        QCOMPARE(measure.charWidth(u' '), qRound((200 + 80 * t - 40 * c) / 10));
        // The stem of I as drawn: the columns with ink.
        const QImage stem = measure.rawFont().alphaMapForGlyph(measure.rawFont().glyphIndexesForString(u"I"_s).first(),
                                                               QRawFont::PixelAntialiasing);
        int inked = 0;
        for (int x = 0; x < stem.width(); ++x) {
            for (int y = 0; y < stem.height(); ++y) {
                if (qAlpha(stem.pixel(x, y)) > 0 || qGray(stem.pixel(x, y)) > 0) {
                    ++inked;
                    break;
                }
            }
        }
        QCOMPARE(inked, qRound((40 + 160 * t) / 10));
    }

    // A font whose fvar table lies about its size has no axes (and is drawn as it is), whichever
    // count or size lies; nothing is read beyond the table.
    void lyingAxisTable_data()
    {
        QTest::addColumn<int>("at"); // a 16-bit field of fvar; -1: the table's length in the directory
        QTest::addColumn<int>("value");
        QTest::addRow("axes beyond the table") << 8 << 0xFFFF;
        QTest::addRow("instances beyond the table") << 12 << 0x0100;
        QTest::addRow("axis records too short") << 10 << 4;
        QTest::addRow("instance records too short") << 14 << 8;
        QTest::addRow("axes start beyond the table") << 4 << 0xFFF0;
        QTest::addRow("a minimum above its default") << 20 << 0x7FFF;
        QTest::addRow("the table cut short") << -1 << 40;
    }
    void lyingAxisTable()
    {
        QFETCH(int, at);
        QFETCH(int, value);
        QByteArray font = test::readBytes(test::dataPath(u"glyfrax-test-variable.ttf"_s));
        QCOMPARE(readFontAxes(font).instances.size(), std::size_t(5));
        for (qsizetype entry = 12; entry + 16 <= font.size(); entry += 16) {
            if (font.mid(entry, 4) != "fvar")
                continue;
            const qsizetype offset = qFromBigEndian<quint32>(font.constData() + entry + 8);
            qToBigEndian<quint16>(quint16(value), font.data() + (at < 0 ? entry + 14 : offset + at));
            break;
        }
        const FontAxes axes = readFontAxes(font);
        QVERIFY(axes.axes.empty() && axes.instances.empty());
        QTemporaryDir folder;
        const QString path = folder.filePath(u"lying.ttf"_s);
        QVERIFY(test::writeBytes(path, font));
        const Result<RegisteredFont> drawn = registerFontFile(path, {{}, {{u"wght"_s, 700.0}}});
        QCOMPARE(drawn ? QString() : drawn.error(),
                 u"Schriftdatei „%1“: Die Schrift ist keine variable Schrift: Sie hat keine Achsen."_s.arg(path));
    }

    // Pair adjustments varied from damaged tables: each cut and each byte set to 0xFF gives a table
    // of the same size, without a read outside either table (the sanitizers watch that).
    void variedKerningOfDamagedTables()
    {
        const QByteArray font = test::readBytes(test::dataPath(u"glyfrax-test-variable.ttf"_s));
        const QByteArray gpos = fontTable(font, "GPOS");
        const QByteArray gdef = fontTable(font, "GDEF");
        QVERIFY(variedPairAdvances(gpos, gdef, {1.0, 0.0}) != gpos);
        for (const bool damagedGpos : {true, false}) {
            const QByteArray& damaged = damagedGpos ? gpos : gdef;
            for (qsizetype at = 0; at < damaged.size(); ++at) {
                QByteArray flipped = damaged;
                flipped[at] = char(0xFF);
                for (const QByteArray& bytes : {damaged.left(at), flipped}) {
                    const QByteArray varied =
                        variedPairAdvances(damagedGpos ? bytes : gpos, damagedGpos ? gdef : bytes, {1.0, -1.0});
                    QCOMPARE(varied.size(), damagedGpos ? bytes.size() : gpos.size());
                }
            }
        }
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
