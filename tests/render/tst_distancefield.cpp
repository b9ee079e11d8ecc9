#include "base/Parallel.h"
#include "render/DistanceField.h"
#include "render/FieldOutline.h"
#include "support/EdgeError.h"

#include <QFile>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

using namespace glyfrax;
using namespace glyfrax::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(glyfrax::PageField)
Q_DECLARE_METATYPE(QImage::Format)

namespace {

constexpr double kRange = 4;
const QString kSans = u"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"_s;
const QString kSerifItalic = u"/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf"_s;
const QString kCjk = u"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"_s;
// Letters and figures, with accents whose contours overlap the letter's (cedilla, ogonek, horn).
const QString kLatinText = u"AaBbCcDeEfGgHhJjKkMmNnOoPQRrSsTtVvWwXxYyZz0123456789&@%?§ß€ÇĄęƠờ"_s;
const QString kCjkText = u"永東國酬愛鬱靈鷹袋龍體驗書寫漢字中文日本語のはにをカタ한국어말씀"_s;

std::vector<QPainterPath> outlines(const QString& file, const QString& text)
{
    std::vector<QPainterPath> paths;
    const QRawFont font(file, 32);
    for (quint32 glyph : font.glyphIndexesForString(text)) {
        if (glyph != 0 && !font.pathForGlyph(glyph).isEmpty())
            paths.push_back(font.pathForGlyph(glyph));
    }
    return paths;
}

QPainterPath polygon(std::initializer_list<QPointF> points, QPainterPath path = {})
{
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

QPainterPath reversed(std::initializer_list<QPointF> points, QPainterPath path = {})
{
    QPolygonF polygon(points);
    std::reverse(polygon.begin(), polygon.end());
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

// The field of one outline in an image of its own, a pixel of padding around it.
QImage drawAlone(const QPainterPath& outline, PageField type, QPoint& pen)
{
    const QRect box = fieldBox(outline, kRange);
    QImage image(box.width() + 2, box.height() + 2, QImage::Format_ARGB32);
    image.fill(0);
    pen = QPoint(1, 1) - box.topLeft();
    drawDistanceField(image, image.rect(), outline, pen, type, kRange);
    return image;
}

// The error of outline's field drawn alone.
void addAlone(EdgeError& error, const QPainterPath& outline, PageField type)
{
    QPoint pen;
    const QImage field = drawAlone(outline, type, pen);
    error.add(field, outline, pen);
}

} // namespace

class TestDistanceField : public QObject
{
    Q_OBJECT

private slots:
    // Engines rely on the layout of the values: 0.5 + d / range in 0..255, 128 on the outline,
    // sampled at the centres of the pixels of the cell, the rest of the page untouched.
    void valuesAcrossASquare_data()
    {
        QTest::addColumn<PageField>("type");
        QTest::addColumn<QImage::Format>("format");
        QTest::addRow("sdf, ARGB32") << PageField::Sdf << QImage::Format_ARGB32;
        QTest::addRow("msdf, ARGB32") << PageField::Msdf << QImage::Format_ARGB32;
        QTest::addRow("mtsdf, RGBA8888") << PageField::Mtsdf << QImage::Format_RGBA8888;
    }
    void valuesAcrossASquare()
    {
        QFETCH(PageField, type);
        QFETCH(QImage::Format, format);
        // Edges at x = 0.5 and 10.5: the centres of pixels 0 and 10 lie on them.
        const QPainterPath square = polygon({{0.5, -3.5}, {10.5, -3.5}, {10.5, 6.5}, {0.5, 6.5}});
        const QRect box = fieldBox(square, kRange);
        QCOMPARE(box, QRect(-2, -6, 15, 15));
        QImage page(20, 20, format);
        page.fill(qRgba(1, 2, 3, 4));
        const QImage before = page;
        const QRect cell = box.translated(4, 3 - box.top());
        drawDistanceField(page, cell, square, cell.topLeft() - box.topLeft(), type, kRange);
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                if (!cell.contains(x, y))
                    QCOMPARE(page.pixel(x, y), before.pixel(x, y));
            }
        }
        const std::array<int, 15> expected{0, 64, 128, 191, 255, 255, 255, 255, 255, 255, 255, 191, 128, 64, 0};
        for (int i = 0; i < 15; ++i) {
            const QRgb rgb = page.pixel(cell.left() + i, cell.center().y());
            const int median =
                std::max(std::min(qRed(rgb), qGreen(rgb)), std::min(std::max(qRed(rgb), qGreen(rgb)), qBlue(rgb)));
            QCOMPARE(median, expected[std::size_t(i)]);
            QCOMPARE(qAlpha(rgb), type == PageField::Msdf ? 255 : expected[std::size_t(i)]);
            if (type == PageField::Sdf)
                QVERIFY(qRed(rgb) == qGreen(rgb) && qGreen(rgb) == qBlue(rgb));
        }
    }

    void reconstruction_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<PageField>("type");
        QTest::addColumn<double>("meanBound");
        QTest::addColumn<double>("largestBound");
        QTest::addRow("DejaVu Sans sdf") << kSans << kLatinText << PageField::Sdf << 0.026 << 0.5;
        QTest::addRow("DejaVu Sans msdf") << kSans << kLatinText << PageField::Msdf << 0.009 << 0.35;
        QTest::addRow("DejaVu Serif Italic sdf") << kSerifItalic << kLatinText << PageField::Sdf << 0.03 << 0.5;
        QTest::addRow("DejaVu Serif Italic msdf") << kSerifItalic << kLatinText << PageField::Msdf << 0.012 << 0.65;
        QTest::addRow("WenQuanYi Micro Hei sdf") << kCjk << kCjkText << PageField::Sdf << 0.055 << 0.55;
        QTest::addRow("WenQuanYi Micro Hei msdf") << kCjk << kCjkText << PageField::Msdf << 0.024 << 0.75;
    }
    // A shader magnifying the field shows each glyph's outline close to where it is, msdf closer.
    void reconstruction()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(PageField, type);
        QFETCH(double, meanBound);
        QFETCH(double, largestBound);
        if (!QFile::exists(file))
            QSKIP(qPrintable(u"%1 fehlt (tools/install-deps installiert es)"_s.arg(file)));
        EdgeError error;
        for (const QPainterPath& outline : outlines(file, text))
            addAlone(error, outline, type);
        qInfo("%s at 32 px, range 4: mean edge error %.4f px, largest %.3f px", QTest::currentDataTag(), error.mean(),
              error.largest);
        QVERIFY(error.mean() < meanBound);
        QVERIFY(error.largest < largestBound);
    }

    void cornersStaySharp_data()
    {
        QTest::addColumn<QString>("letter");
        for (const char* letter : {"A", "V", "W", "M", "k"})
            QTest::addRow("%s", letter) << QString::fromLatin1(letter);
    }
    // Where a plain distance field rounds the tips of a letter off, the multi-channel one keeps them.
    void cornersStaySharp()
    {
        QFETCH(QString, letter);
        const QPainterPath outline = outlines(kSans, letter).at(0);
        EdgeError sdf;
        addAlone(sdf, outline, PageField::Sdf);
        EdgeError msdf;
        addAlone(msdf, outline, PageField::Msdf);
        QVERIFY2(sdf.largest > 0.25, qPrintable(QString::number(sdf.largest)));
        QVERIFY2(msdf.largest <= 0.25, qPrintable(QString::number(msdf.largest)));
    }

    // Where two contours lie less than a pixel apart, as strokes of CJK glyphs do at text sizes, the
    // multi-channel field keeps the gap between them open (but for its ends): here a bar whose lower
    // edge lies on the centres of a row of pixels and a stroke 7/8 of a pixel below it, whose facing
    // edges are the first of their contours, which a plain cycle of colours gives the same channels.
    void narrowGapsStayOpen()
    {
        const QPainterPath bar = polygon({{20, 3.5}, {0, 3.5}, {0, 0}, {20, 0}});
        EdgeError error;
        addAlone(error, polygon({{2, 4.375}, {18, 4.375}, {18, 6.5}, {2, 6.5}}, bar), PageField::Msdf);
        QVERIFY2(error.mean() < 0.05, qPrintable(QString::number(error.mean())));
    }

    void overlapsGiveTheirUnion_data()
    {
        QTest::addColumn<QPainterPath>("overlapping");
        QTest::addColumn<QPainterPath>("merged");
        const auto wide = {QPointF(0, 0), QPointF(12, 0), QPointF(12, 8), QPointF(0, 8)};
        const auto tall = {QPointF(6, 4), QPointF(16, 4), QPointF(16, 14), QPointF(6, 14)};
        const QPainterPath corner = polygon({{0, 0}, {12, 0}, {12, 4}, {16, 4}, {16, 14}, {6, 14}, {6, 8}, {0, 8}});
        QTest::addRow("rectangles, both clockwise") << polygon(tall, polygon(wide)) << corner;
        // Contours running opposite ways cancel out where they overlap: a hole by the nonzero rule.
        QTest::addRow("rectangles, one counter-clockwise")
            << reversed(tall, polygon(wide))
            << polygon({{12, 4}, {16, 4}, {16, 14}, {6, 14}, {6, 8}, {12, 8}},
                       polygon({{0, 0}, {12, 0}, {12, 4}, {6, 4}, {6, 8}, {0, 8}}));
        QTest::addRow("rectangles, both counter-clockwise") << reversed(tall, reversed(wide)) << corner;
        QTest::addRow("rectangle buried in a larger one")
            << polygon({{4, 3}, {9, 3}, {9, 6}, {4, 6}}, polygon({{0, 0}, {16, 0}, {16, 12}, {0, 12}}))
            << polygon({{0, 0}, {16, 0}, {16, 12}, {0, 12}});
        QTest::addRow("rectangles sharing an edge")
            << polygon({{8, 0}, {16, 0}, {16, 10}, {8, 10}}, polygon({{0, 0}, {8, 0}, {8, 10}, {0, 10}}))
            << polygon({{0, 0}, {16, 0}, {16, 10}, {0, 10}});
        const QPainterPath square = polygon({{0, 0}, {20, 0}, {20, 20}, {0, 20}});
        QTest::addRow("diamond with its corners on a square's edge")
            << polygon({{20, 2}, {28, 10}, {20, 18}, {12, 10}}, square)
            << polygon({{0, 0}, {20, 0}, {20, 2}, {28, 10}, {20, 18}, {20, 20}, {0, 20}});
        QTest::addRow("diamond crossing a square's edge")
            << polygon({{22, 2}, {30, 10}, {22, 18}, {14, 10}}, square)
            << polygon({{0, 0}, {20, 0}, {20, 4}, {22, 2}, {30, 10}, {22, 18}, {20, 16}, {20, 20}, {0, 20}});
    }
    // Overlapping contours, whichever way each runs, give the field of the area they cover
    // together: no edge inside the overlap shows, neither in the distances nor the channels.
    void overlapsGiveTheirUnion()
    {
        QFETCH(QPainterPath, overlapping);
        QFETCH(QPainterPath, merged);
        QPoint pen;
        QPoint mergedPen;
        const QImage field = drawAlone(overlapping, PageField::Mtsdf, pen);
        const QImage expected = drawAlone(merged, PageField::Mtsdf, mergedPen);
        QCOMPARE(pen, mergedPen);
        QCOMPARE(field.size(), expected.size());
        for (int y = 0; y < field.height(); ++y) {
            for (int x = 0; x < field.width(); ++x)
                QVERIFY2(std::abs(qAlpha(field.pixel(x, y)) - qAlpha(expected.pixel(x, y))) <= 1,
                         qPrintable(u"%1,%2"_s.arg(x).arg(y)));
        }
        EdgeError error;
        addAlone(error, overlapping, PageField::Msdf);
        QVERIFY2(error.largest < 0.1, qPrintable(QString::number(error.largest)));
    }

    void tangledContoursAreTakenAsTheyRun_data()
    {
        QTest::addColumn<bool>("clockwise");
        QTest::addRow("ring clockwise") << true;
        QTest::addRow("ring counter-clockwise") << false;
    }
    // A font can claim two contours that cross each other a quarter of a million times: merging
    // them would take minutes and gigabytes. Such contours are taken as they run, the filled side
    // that of the largest contour, so a ring beside them keeps its inside and its hole.
    void tangledContoursAreTakenAsTheyRun()
    {
        QFETCH(bool, clockwise);
        const auto outer = {QPointF(0, 0), QPointF(60, 0), QPointF(60, 60), QPointF(0, 60)};
        const auto hole = {QPointF(20, 20), QPointF(40, 20), QPointF(40, 40), QPointF(20, 40)};
        const QPainterPath ring = clockwise ? reversed(hole, polygon(outer)) : polygon(hole, reversed(outer));
        QPainterPath path = ring;
        constexpr int kZigs = 500;
        QPolygonF across{QPointF(70, 0)};
        QPolygonF down{QPointF(70, 0)};
        for (int i = 1; i < kZigs; ++i) {
            across << QPointF(i % 2 ? 90 : 70, 60.0 * i / kZigs);
            down << QPointF(70 + 20.0 * i / kZigs, i % 2 ? 60 : 0);
        }
        path.addPolygon(across);
        path.closeSubpath();
        path.addPolygon(down);
        path.closeSubpath();
        const FieldOutline outline = makeFieldOutline(path, {0, 0}, false);
        QCOMPARE(outline.edges.size(), outline.lines.size());
        // The ring's field, channels and corners, is what it is without the tangle beside it.
        QPoint pen;
        QPoint ringPen;
        const QImage field = drawAlone(path, PageField::Mtsdf, pen);
        const QImage alone = drawAlone(ring, PageField::Mtsdf, ringPen);
        QCOMPARE(pen, ringPen);
        for (int y = 0; y < alone.height(); ++y) {
            for (int x = 0; x < alone.width(); ++x)
                QVERIFY2(field.pixel(x, y) == alone.pixel(x, y), qPrintable(u"%1,%2"_s.arg(x).arg(y)));
        }
    }

    void sameBytesOnAnyThreads_data()
    {
        QTest::addColumn<PageField>("type");
        QTest::addRow("sdf") << PageField::Sdf;
        QTest::addRow("mtsdf") << PageField::Mtsdf;
    }
    // Glyphs drawn on one page by several threads at once give the bytes one thread gives.
    void sameBytesOnAnyThreads()
    {
        QFETCH(PageField, type);
        const std::vector<QPainterPath> glyphs = outlines(kSans, kLatinText);
        std::vector<QRect> cells;
        QPoint at(0, 0);
        for (const QPainterPath& glyph : glyphs) {
            const QRect box = fieldBox(glyph, kRange);
            if (at.x() + box.width() > 400)
                at = QPoint(0, at.y() + 40);
            cells.push_back(QRect(at, box.size()));
            at.rx() += box.width();
        }
        auto drawPage = [&](int threads) {
            QImage page(400, at.y() + 40, QImage::Format_ARGB32);
            page.fill(0);
            runOnThreads(threads, [&](int worker) {
                for (std::size_t i = std::size_t(worker); i < glyphs.size(); i += std::size_t(threads)) {
                    drawDistanceField(page, cells[i], glyphs[i],
                                      cells[i].topLeft() - fieldBox(glyphs[i], kRange).topLeft(), type, kRange);
                }
            });
            return page;
        };
        const QImage alone = drawPage(1);
        QCOMPARE(drawPage(3), alone);
        QCOMPARE(drawPage(1), alone);
    }
};

QTEST_MAIN(TestDistanceField)
#include "tst_distancefield.moc"
