#include "layout/CellPlacement.h"
#include "layout/TextureLayout.h"
#include "render/FontMeasure.h"
#include "render/TextureRenderer.h"
#include "support/Golden.h"
#include "support/TestFont.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;

class TestRender : public QObject
{
    Q_OBJECT

private slots:
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

    // A texture smaller than the layout cuts the cells at its edge and leaves the rest as it was.
    void textureCutsCellsAtItsEdge()
    {
        const FontMeasure measure(test::dejaVu(14.0F));
        const GlyphTable table = *placeCells(measure, *layoutTexture(measure, 2, 2), 2, 2);
        const QImage texture = TextureRenderer(measure, table, 512, Qt::white, Qt::black, 1).render();
        QCOMPARE(TextureRenderer(measure, table, 100, Qt::white, Qt::black, 1).render(), texture.copy(0, 0, 100, 100));
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"
