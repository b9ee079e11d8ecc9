#include "layout/CellPacking.h"

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
};

QTEST_APPLESS_MAIN(TestPacking)
#include "tst_packing.moc"
