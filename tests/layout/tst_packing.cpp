#include "layout/CellPacking.h"
#include "layout/CellShapes.h"

#include <QRect>
#include <QTest>

using namespace glyfrax;

class TestPacking : public QObject
{
    Q_OBJECT

private slots:
    void packs_data()
    {
        QTest::addColumn<QList<QSize>>("cells");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<bool>("square");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<int>("pages"); // 0: refused
        const QList<QSize> four(4, QSize(16, 16));
        QTest::addRow("four touching cells") << four << 0 << true << QSize(32, 32) << 1;
        QTest::addRow("spacing needs the next side") << four << 1 << true << QSize(64, 64) << 1;
        QTest::addRow("wide rectangle") << QList<QSize>{{100, 20}, {20, 20}} << 2 << false << QSize(128, 32) << 1;
        QTest::addRow("more pages at the largest side")
            << QList<QSize>(9, QSize(60, 60)) << 4 << true << QSize(128, 128) << 3;
        const QList<QSize> mixed{{5, 30}, {40, 3}, {17, 17}, {30, 5}, {9, 12}, {60, 8}, {3, 3}};
        QTest::addRow("mixed heights, tallest first") << mixed << 1 << true << QSize(64, 64) << 1;
        QTest::addRow("a cell larger than a page") << QList<QSize>{{8, 8}, {129, 4}} << 0 << true << QSize() << 0;
    }

    void packs()
    {
        QFETCH(QList<QSize>, cells);
        QFETCH(int, spacing);
        QFETCH(bool, square);
        std::vector<CellSize> sizes;
        for (const QSize& cell : cells)
            sizes.push_back({cell.width(), cell.height()});
        const Result<Packing> packing = packCells(sizes, {spacing, spacing, 128, square});
        QTEST(packing ? packing->pageCount : 0, "pages");
        if (!packing)
            return;
        QTEST(QSize(packing->width, packing->height), "page");
        // Each cell on its page, and no two cells nearer than the spacing.
        const auto cellAt = [&](std::size_t i) {
            return QRect(packing->cells[i].x, packing->cells[i].y, sizes[i].width, sizes[i].height);
        };
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            QVERIFY(QRect(0, 0, packing->width, packing->height).contains(cellAt(i)));
            for (std::size_t j = 0; j < i; ++j) {
                if (packing->cells[i].page == packing->cells[j].page)
                    QVERIFY(!cellAt(i).adjusted(-spacing, -spacing, spacing, spacing).intersects(cellAt(j)));
            }
        }
    }

    // A grid takes the smallest page that holds every cell, or as many of the largest as needed;
    // each cell's place follows from its number.
    void grids_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<bool>("square");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("pages"); // 0: refused
        QTest::addRow("sixteen touching cells") << 16 << QSize(8, 8) << 0 << true << QSize(32, 32) << 4 << 1;
        QTest::addRow("spacing takes a column") << 16 << QSize(8, 8) << 1 << true << QSize(64, 64) << 7 << 1;
        QTest::addRow("wide page, rows of 9") << 10 << QSize(7, 30) << 0 << false << QSize(64, 64) << 9 << 1;
        QTest::addRow("eleven pages of three by two") << 65 << QSize(40, 50) << 3 << true << QSize(128, 128) << 3 << 11;
        QTest::addRow("a cell larger than a page") << 1 << QSize(129, 4) << 0 << true << QSize() << 0 << 0;
    }

    void grids()
    {
        QFETCH(int, count);
        QFETCH(QSize, cell);
        QFETCH(int, spacing);
        QFETCH(int, columns);
        QFETCH(bool, square);
        const Result<Packing> packing =
            gridCells(std::size_t(count), {cell.width(), cell.height()}, {spacing, spacing, 128, square});
        QTEST(packing ? packing->pageCount : 0, "pages");
        if (!packing)
            return;
        QTEST(QSize(packing->width, packing->height), "page");
        const int perPage = columns * ((packing->height + spacing) / (cell.height() + spacing));
        for (int n = 0; n < count; ++n) {
            const int k = n % perPage;
            QCOMPARE(packing->cells[std::size_t(n)], (PackedCell{n / perPage, k % columns * (cell.width() + spacing),
                                                                 k / columns * (cell.height() + spacing)}));
            QVERIFY(
                QRect(0, 0, packing->width, packing->height)
                    .contains(QRect(QPoint(packing->cells[std::size_t(n)].x, packing->cells[std::size_t(n)].y), cell)));
        }
    }

    // Cells around a glyph at the pen (its ink from 1 to 6 across, 10 pixels above the baseline)
    // and one reaching left of the pen and above it, one that draws nothing; padding 1, the
    // baseline 12 below the top of a line of 16.
    // Kept cells stay where they were; new ones take freed room first, then room below, then a
    // new page; claims of an earlier file that lie off the page or on another cell are not kept.
    void packsAroundKeptCells()
    {
        const PackingRules rules{1, 1, 64, true};
        const std::vector<CellSize> sizes{{30, 30}, {30, 30}, {20, 20}, {5, 5}, {60, 60}, {30, 30}};
        KeptPlaces kept;
        kept.width = 64;
        kept.height = 64;
        kept.places = {PackedCell{0, 0, 0}, PackedCell{0, 31, 0}, std::nullopt, std::nullopt,
                       std::nullopt,        PackedCell{0, 40, 40}}; // the last claims room off the page
        kept.freed = {{PackedCell{0, 0, 31}, CellSize{25, 25}}};
        const Result<Packing> packed = packAround(sizes, rules, kept);
        QVERIFY(packed);
        QCOMPARE((std::tuple{packed->width, packed->height}), (std::tuple{64, 64}));
        QCOMPARE(packed->cells[0], (PackedCell{0, 0, 0}));
        QCOMPARE(packed->cells[1], (PackedCell{0, 31, 0}));
        QCOMPARE(packed->cells[2], (PackedCell{0, 0, 31}));  // the freed cell's room
        QCOMPARE(packed->cells[5], (PackedCell{0, 26, 31})); // anew, below the kept ones, not off the page
        QCOMPARE(packed->cells[3], (PackedCell{0, 57, 31}));
        QCOMPARE(packed->cells[4].page, 1); // only a new page holds it
        QCOMPARE(packed->pageCount, 2);

        // Two claims of one place: the first stays, the second is placed anew.
        kept.places = {PackedCell{0, 0, 0}, PackedCell{0, 10, 10}};
        kept.freed.clear();
        const Result<Packing> twice = packAround({{30, 30}, {30, 30}}, rules, kept);
        QVERIFY(twice);
        QCOMPARE(twice->cells[0], (PackedCell{0, 0, 0}));
        QVERIFY(twice->cells[1] != (PackedCell{0, 10, 10}));
        QVERIFY(twice->cells[1].x >= 31 || twice->cells[1].y >= 31 || twice->cells[1].page == 1);

        // A page far beyond any set's is no place either; a cell larger than the kept pages fails.
        kept.places = {PackedCell{1 << 30, 0, 0}};
        const Result<Packing> far = packAround({{30, 30}}, rules, kept);
        QVERIFY(far && far->pageCount == 1 && far->cells[0].page == 0);
        QVERIFY(!packAround({{65, 10}}, rules, kept));
    }

    void shapes_data()
    {
        QTest::addColumn<CellShapeRules>("rules");
        QTest::addColumn<QList<QRect>>("cells");
        using R = CellShapeRules;
        QTest::addRow("ink and padding") << R{} << QList<QRect>{{0, -11, 7, 12}, {-3, -13, 8, 16}, {}};
        QTest::addRow("equal heights") << R{false, true, false} << QList<QRect>{{0, -13, 7, 17}, {-3, -13, 8, 17}, {}};
        QTest::addRow("zero offsets, ink cut")
            << R{false, false, true} << QList<QRect>{{0, -12, 7, 13}, {0, -12, 5, 15}, {}};
        QTest::addRow("grid") << R{true, false, false} << QList<QRect>(3, {-3, -13, 10, 16});
        QTest::addRow("all three") << R{true, true, true} << QList<QRect>(3, {0, -12, 7, 16});
    }

    void shapes()
    {
        QFETCH(CellShapeRules, rules);
        const std::vector<QRect> cells = shapeCells({{1, -10, 5, 10}, {-2, -12, 6, 14}, {}}, {}, rules, {12, 16});
        QTEST(QList<QRect>(cells.begin(), cells.end()), "cells");
    }
};

QTEST_APPLESS_MAIN(TestPacking)
#include "tst_packing.moc"
