#include "layout/CellPlacement.h"
#include "layout/TextMeasure.h"
#include "layout/TextureLayout.h"
#include "support/Golden.h"

#include <QTest>

using namespace glyfrax;
using namespace Qt::StringLiterals;
namespace {

// Characters of one width and height, some of them set apart with widths of their own.
struct FixedMeasure final : TextMeasure
{
    FixedMeasure(int width, int height, QMap<int, int> apart = {}) : width(width), height(height), apart(apart) {}
    int charWidth(int code) const override { return apart.value(code, width); }
    int lineHeight() const override { return height; }
    int width, height;
    QMap<int, int> apart;
};

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void lines_data() { test::addTableRows(u"layouts.txt"_s); }
    void lines()
    {
        test::compareRow([](const QString& input) {
            const QStringList words = input.split(u' ');
            FixedMeasure measure(words.first().section(u'x', 0, 0).toInt(), words.first().section(u'x', 1).toInt());
            for (const QString& apart : words.mid(1, words.size() - 4))
                measure.apart[apart.section(u':', 0, 0).toInt()] = apart.section(u':', 1).toInt();
            const Result<TextureLayout> layout =
                layoutTexture(measure, words.at(words.size() - 2).toInt(), words.last().toInt());
            QString told = layout ? QString::number(layout->side) + u':' : layout.error();
            for (int end : layout ? layout->lineEnds : QList<int>())
                told += u' ' + QString::number(end);
            return told;
        });
    }

    void cells_data() { test::addTableRows(u"cells.txt"_s); }
    void cells()
    {
        test::compareRow([](const QString& input) {
            const FixedMeasure measure(10, 20, {{32, 0}, {40, 4}});
            const GlyphRect cell = (*placeCells(measure, TextureLayout{0, {40, 50}}, 3, 5))[input.toInt()];
            return u"%1 %2 %3 %4"_s.arg(cell.X).arg(cell.Y).arg(cell.W).arg(cell.H);
        });
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
