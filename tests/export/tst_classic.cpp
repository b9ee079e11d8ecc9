#include "base/AtomicFile.h"
#include "export/classic/ClassicExport.h"
#include "export/classic/MetricsWriter.h"
#include "layout/CellPlacement.h"
#include "render/FontMeasure.h"
#include "render/TextureRenderer.h"
#include "settings/Settings.h"
#include "support/Golden.h"
#include "support/TestFont.h"

#include <QBuffer>
#include <QImage>
#include <QTest>

#include <atomic>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

// Form "16", "32", "text" or "text32" (32 bits chosen, text written).
ClassicOptions options(const QString& form, const QStringList& labels = {u"Char"_s, u"X"_s, u"Y"_s, u"W"_s, u"H"_s})
{
    ClassicOptions options;
    options.writeBinary = !form.startsWith(u"text");
    options.takeLong = form.contains(u"32");
    QString* texts[] = {&options.charTxt, &options.xTxt, &options.yTxt, &options.wTxt, &options.hTxt};
    for (int i = 0; i < 5; ++i)
        *texts[i] = labels.value(i);
    return options;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }

    void metricsForms_data() { test::addTableRows(u"metrics-forms.txt"_s); }
    void metricsForms()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        GlyphTable table;
        table[32] = {1, -1, 0x1234, 0x7FFF};
        table[100] = {-32768, 65535, 0, -1};
        table[255] = {-2, 3, 4, 5};
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(writeMetrics(buffer, table, options(input.section(u' ', 0, 0), input.section(u' ', 1).split(u'|'))));
        GLYFRAX_COMPARE_GOLDEN(buffer.data(), expected);
    }

    void shortFields_data() { test::addTableRows(u"short-fields.txt"_s); }
    void shortFields()
    {
        test::compareRow([](const QString& input) {
            GlyphTable table;
            std::int32_t GlyphRect::*const fields[] = {&GlyphRect::X, &GlyphRect::Y, &GlyphRect::W, &GlyphRect::H};
            table[100].*fields[u"XYWH"_s.indexOf(input.at(0))] = input.mid(2).toInt();
            const Result<void> checked = checkShortFields(table);
            return checked ? QString() : checked.error();
        });
    }

    void metricsPath_data() { test::addTableRows(u"metrics-paths.txt"_s); }
    void metricsPath() { test::compareRow(metricsPathFor); }

    void filesEqualTheGoldenFiles_data() { test::addTableRows(u"golden-exports.txt"_s); }
    void filesEqualTheGoldenFiles()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QStringList in = input.split(u' ');
        Settings settings{test::dejaVu(in.at(0).toFloat(), in.at(1) == u"bold"), options(in.at(4)), {}};
        settings.options.xDist = in.at(2).toInt();
        settings.options.yDist = in.at(3).toInt();
        const QString bitmap = m_dir.filePath(expected + u".bmp"_s);
        ClassicRun run;
        run.threads = in.at(5).toInt();
        const Result<ExportedFiles> files = exportClassic(bitmap, settings, QPalette(), run);
        QCOMPARE(files ? files->metricsPath + u' ' + files->bitmapPath : files.error(),
                 metricsPathFor(bitmap) + u' ' + bitmap);
        GLYFRAX_COMPARE_GOLDEN(test::readBytes(files->metricsPath), u"%1-%2.fnt"_s.arg(expected, in.at(4)));
        const QByteArray texture = test::readBytes(bitmap);
        GLYFRAX_COMPARE_GOLDEN(texture, expected + u".bmp.sha256"_s);
        // The bitmap reads back as the texture.
        const FontMeasure measure(settings.font);
        const GlyphTable cells = *placeCells(measure, files->layout, settings.options.xDist, settings.options.yDist);
        const TextureRenderer renderer(measure, cells, files->layout.side, Qt::white, QColor(0x10, 0x20, 0x40), 1);
        QCOMPARE(QImage::fromData(texture, "BMP").convertToFormat(QImage::Format_RGB32), renderer.render());
    }

    // A failure keeps the earlier files and leaves nothing behind.
    void failuresLeaveEarlierFiles_data() { test::addTableRows(u"export-failures.txt"_s); }
    void failuresLeaveEarlierFiles()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
        QVERIFY(test::writeBytes(dir.filePath(u"font.bmp"_s), "earlier bitmap"));
        QVERIFY(test::writeBytes(dir.filePath(u"font.fnt"_s), "earlier metrics"));
        QFile::setPermissions(dir.filePath(u"font.bmp"_s), QFileDevice::ReadOwner);
        const QStringList before = test::entries(dir.path());
        const QStringList in = input.split(u' ');
        Settings settings{test::dejaVu(14.0F), options(in.at(1)), {}};
        settings.options.xDist = in.at(2).toInt();
        const Result<ExportedFiles> files = exportClassic(dir.filePath(in.at(0)), settings, QPalette());
        const QString message = QString(expected).replace(u"{dir}"_s, dir.path());
        QCOMPARE(files ? QString() : files.error().left(message.size()), message);
        QCOMPARE(test::readBytes(dir.filePath(u"font.bmp"_s)), "earlier bitmap"_ba);
        QCOMPARE(test::readBytes(dir.filePath(u"font.fnt"_s)), "earlier metrics"_ba);
        QCOMPARE(test::entries(dir.path()), before);
    }

    // Abbrechen before the texture is drawn, or once it is drawn and being written: the earlier pair stays.
    void cancelledExportLeavesTheEarlierPair_data()
    {
        QTest::addColumn<QString>("bitmap");
        QTest::addColumn<int>("wantedFor"); // how often stillWanted answers yes first
        for (const char* name : {"font.bmp", "font.png"}) {
            QTest::addRow("%s, before drawing", name) << QString::fromLatin1(name) << 0;
            QTest::addRow("%s, once drawn", name) << QString::fromLatin1(name) << 1;
        }
    }
    void cancelledExportLeavesTheEarlierPair()
    {
        QFETCH(QString, bitmap);
        QFETCH(int, wantedFor);
        QTemporaryDir dir;
        QVERIFY(test::writeBytes(dir.filePath(bitmap), "earlier bitmap"));
        QVERIFY(test::writeBytes(dir.filePath(u"font.fnt"_s), "earlier metrics"));
        const QStringList before = test::entries(dir.path());
        std::atomic<int> asked = 0;
        ClassicRun run;
        run.stillWanted = [&] { return ++asked <= wantedFor; };
        const Result<ExportedFiles> files =
            exportClassic(dir.filePath(bitmap), {test::dejaVu(14.0F), {}, {}}, QPalette(), run);
        QCOMPARE(files ? QString() : files.error(), cancelledExportMessage());
        QCOMPARE(test::readBytes(dir.filePath(bitmap)), "earlier bitmap"_ba);
        QCOMPARE(test::readBytes(dir.filePath(u"font.fnt"_s)), "earlier metrics"_ba);
        QCOMPARE(test::entries(dir.path()), before);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestExport)
#include "tst_classic.moc"
