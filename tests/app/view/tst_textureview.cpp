#include "app/view/PageCanvas.h"
#include "app/view/ShownPage.h"
#include "app/view/TextureView.h"
#include "app/view/ZoomSteps.h"
#include "export/bmfont/BmFontExport.h"
#include "export/bmfont/SampleText.h"
#include "export/classic/ClassicExport.h"
#include "support/TestFont.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtWidgets>

#include <bit>

using namespace glyfrax;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TextureProfile)
Q_DECLARE_METATYPE(PageField)

namespace {

// Pixels alike whatever format holds them: a BMP file reads back as RGB32, a page may be ARGB32.
QImage comparable(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Pages small enough that a set of DejaVu Sans at 14 points fills every channel of its first image.
BmFontOptions packed()
{
    BmFontOptions options;
    options.packChannels = true;
    options.maxTexture = 64;
    return options;
}

} // namespace

class TestTextureView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }

    // Every page the view shows is the page the export writes, pixel for pixel.
    void pagesAreTheExportedFiles_data()
    {
        QTest::addColumn<TextureProfile>("profile");
        QTest::addColumn<QString>("image");
        QTest::addColumn<BmFontOptions>("options");
        QTest::addColumn<int>("pages");
        BmFontOptions opaque;
        opaque.opaque = true;
        BmFontOptions smallPages;
        smallPages.maxTexture = 128;
        smallPages.image = PageImage::Bmp;
        QTest::addRow("classic pair, BMP") << TextureProfile::Classic << u"c.bmp"_s << BmFontOptions() << 1;
        QTest::addRow("BMFont, PNG with coverage in alpha")
            << TextureProfile::BmFont << u"m.png"_s << BmFontOptions() << 1;
        QTest::addRow("BMFont, opaque PNG in the font's colours")
            << TextureProfile::BmFont << u"m.png"_s << opaque << 1;
        QTest::addRow("BMFont, BMP pages of 128 pixels") << TextureProfile::BmFont << u"m.bmp"_s << smallPages << 4;
        BmFontOptions msdf;
        msdf.field = PageField::Msdf;
        QTest::addRow("BMFont, msdf") << TextureProfile::BmFont << u"m.png"_s << msdf << 1;
        QTest::addRow("BMFont, packed channels") << TextureProfile::BmFont << u"m.png"_s << packed() << 4;
    }
    void pagesAreTheExportedFiles()
    {
        QFETCH(TextureProfile, profile);
        QFETCH(QString, image);
        QFETCH(BmFontOptions, options);
        QFETCH(int, pages);
        const Settings settings{test::dejaVu(14), {}, options};
        QTemporaryDir dir;
        const QString path = dir.filePath(image);
        QStringList files{path};
        if (profile == TextureProfile::Classic) {
            QVERIFY(exportClassic(path, settings, QApplication::palette()));
        } else {
            const Result<BmFontExported> written = exportBmFont(path, settings, {}, QApplication::palette());
            QVERIFY(written);
            files = written->pagePaths;
        }
        QCOMPARE(files.size(), pages);

        TextureView view({});
        QSignalSpy shown(&view, &TextureView::pictureShown);
        QVERIFY(shown.wait(30000)); // the empty settings' picture first
        view.setProfile(profile);
        view.setSettings(settings);
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                view.setPage(page);
            QVERIFY(shown.wait(30000));
            QVERIFY(!view.isDrawing());
            QCOMPARE(view.picture()->pageCount, pages);
            QCOMPARE(view.picture()->page, page);
            QVERIFY(comparable(view.picture()->shown.page()) == comparable(QImage(files[page])));
        }
        // The sample line holds the cells it sets, and nothing outside them.
        const ViewPicture& picture = *view.picture();
        QRegion cells;
        for (const SampleGlyph& glyph : picture.sampleLine.glyphs) {
            const BmFontChar& c = picture.descriptor->chars[glyph.index];
            cells += QRect(glyph.corner + picture.sampleOrigin, QSize(c.width, c.height));
        }
        const QImage sample = picture.sample.page();
        QVERIFY(!cells.isEmpty());
        for (int y = 0; y < sample.height(); ++y) {
            for (int x = 0; x < sample.width(); ++x)
                QVERIFY(cells.contains(QPoint(x, y)) || qAlpha(sample.pixel(x, y)) == 0);
        }
    }

    // A packed page shows the channel chosen, and an 8-bit page its grey, as white coverage; the
    // cells the keys step through and the sample line's glyphs are read from their own channels.
    void channelShownIsTheChosen_data()
    {
        QTest::addColumn<BmFontOptions>("options");
        QTest::addColumn<QString>("choice"); // empty: the set is not packed, there is none
        QTest::addColumn<int>("channel");
        for (const ChannelName& name : kPageChannelNames)
            QTest::addRow("packed, %s", qPrintable(QString::fromUtf16(name.name)))
                << packed() << QString::fromUtf16(name.name) << name.channel;
        BmFontOptions grey;
        grey.channels = PageChannels::Gray;
        QTest::addRow("grey 8 bit") << grey << QString() << 4;
    }
    void channelShownIsTheChosen()
    {
        QFETCH(BmFontOptions, options);
        QFETCH(QString, choice);
        QFETCH(int, channel);
        const Settings settings{test::dejaVu(14), {}, options};
        QTemporaryDir dir;
        const Result<BmFontExported> written = exportBmFont(dir.filePath(u"m.png"_s), settings, {}, {});
        QVERIFY(written);
        const QImage file = comparable(QImage(written->pagePaths[0]));
        const int shift = 8 * std::countr_zero(unsigned(channel));
        auto inFile = [&](int x, int y) { return int(file.pixel(x, y) >> shift & 0xFF); };

        TextureView view(settings, TextureProfile::BmFont);
        auto* choices = view.findChild<QComboBox*>(u"channelChoice"_s);
        QVERIFY(choices);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isDrawing() && view.picture(), 30000);
        QCOMPARE(choices->isVisibleTo(&view), !choice.isEmpty());
        if (!choice.isEmpty() && choices->currentText() != choice) {
            choices->setCurrentText(choice);
            QTRY_VERIFY_WITH_TIMEOUT(!view.isDrawing(), 30000);
        }
        const ViewPicture& picture = *view.picture();
        QImage screen(picture.shown.size(), QImage::Format_ARGB32);
        screen.fill(Qt::transparent);
        QPainter painter(&screen);
        picture.shown.paint(painter, screen.rect(), 1.0);
        painter.end();
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x)
                QCOMPARE(qAlpha(screen.pixel(x, y)), inFile(x, y));
        }
        auto* canvas = view.findChild<PageCanvas*>(u"PageCanvas"_s);
        QTest::keyClick(canvas, Qt::Key_End);
        QVERIFY(canvas->accessibleDescription().endsWith(choice.isEmpty() ? QString() : u"Kanal "_s + choice));
        for (const SampleGlyph& glyph : picture.sampleLine.glyphs) {
            const BmFontChar& c = picture.descriptor->chars[glyph.index];
            if (c.page != 0)
                continue;
            const int own = 8 * std::countr_zero(unsigned(c.channels == kAllChannels ? channel : c.channels));
            const QPoint at = glyph.corner + picture.sampleOrigin;
            for (int y = 0; y < c.height; ++y) {
                for (int x = 0; x < c.width; ++x) // glyphs laid over one another cover at least as much
                    QVERIFY(qAlpha(picture.sample.page().pixel(at.x() + x, at.y() + y)) + 1 >=
                            int(file.pixel(c.x + x, c.y + y) >> own & 0xFF));
            }
        }
    }

    // A character of the sample the set lacks is framed in red where it would stand, drawn with the
    // set's glyph for it when there is one, and the canvas says which it is.
    void sampleMarksLackingCharacters_data()
    {
        QTest::addColumn<bool>("stand");
        QTest::addColumn<PageField>("field");
        QTest::addRow("no glyph for them") << false << PageField::None;
        QTest::addRow("the set's glyph for them") << true << PageField::None;
        QTest::addRow("no glyph for them, msdf") << false << PageField::Msdf;
    }
    void sampleMarksLackingCharacters()
    {
        QFETCH(bool, stand);
        QFETCH(PageField, field);
        Settings settings{test::dejaVu(20), {}, {}};
        settings.bmfont.chars = u"32,65-90"_s;
        settings.bmfont.field = field;
        settings.bmfont.missingGlyph.character = stand ? U'?' : 0;
        TextureView view(settings, TextureProfile::BmFont);
        view.findChild<QLineEdit*>(u"SampleText"_s)->setText(u"AäB"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!view.isDrawing() && view.picture(), 30000);
        const SampleLine& line = view.picture()->sampleLine;
        QCOMPARE(line.glyphs.size(), std::size_t(stand ? 3 : 2));
        QCOMPARE(line.gaps.size(), std::size_t(1));
        auto* canvas = view.findChild<PageCanvas*>(u"SampleCanvas"_s);
        QCOMPARE(canvas->accessibleDescription(),
                 u"Fehlt: „ä“ U+00E4 LATIN SMALL LETTER A WITH DIAERESIS (Lateinisch-1, Ergänzung)"_s);
        const QRect gap = line.gaps[0].box.translated(view.picture()->sampleOrigin);
        const QImage seen = canvas->grab().toImage();
        QCOMPARE(seen.pixelColor(gap.center().x(), gap.top()), QColor(0xE0, 0x20, 0x20));
        QVERIFY(line.glyphs[1].corner.x() >= line.gaps[0].box.left()); // B after the gap, not over it
    }

    // A distance-field page shows its glyphs as an engine draws them, at 100 % and magnified: in the
    // text colour, their edges where the outlines lie, not as the grey of the distances.
    void fieldPageShowsTheGlyphs_data()
    {
        QTest::addColumn<PageField>("field");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<double>("allowed"); // pixels on the wrong side of the edge, per inked pixel
        QTest::addRow("msdf, 50 %%") << PageField::Msdf << 0.5 << 0.06;
        QTest::addRow("sdf, 100 %%") << PageField::Sdf << 1.0 << 0.03;
        QTest::addRow("sdf, 400 %%") << PageField::Sdf << 4.0 << 0.02;
        QTest::addRow("mtsdf, 600 %%") << PageField::Mtsdf << 6.0 << 0.006;
    }
    void fieldPageShowsTheGlyphs()
    {
        QFETCH(PageField, field);
        QFETCH(double, zoom);
        QFETCH(double, allowed);
        Settings settings{test::dejaVu(24), {}, {}};
        settings.bmfont.chars = u"65-90,97-122"_s;
        settings.bmfont.field = field;
        const Result<BmFontPlan> plan = planBmFont(settings, {}, PageImage::Png, {});
        QVERIFY(plan);
        const ShownPage shown(drawBmFontPage(*plan, 0), {field, 4, QColor(255, 128, 0)});
        QImage screen(shown.size() * zoom, QImage::Format_ARGB32);
        QImage truth(screen.size(), QImage::Format_Grayscale8);
        screen.fill(Qt::transparent);
        truth.fill(0);
        QPainter onScreen(&screen);
        shown.paint(onScreen, screen.rect(), zoom);
        onScreen.end();
        QPainter filled(&truth);
        filled.setRenderHint(QPainter::Antialiasing);
        filled.scale(zoom, zoom);
        for (const PlacedGlyph& glyph : plan->pages[0])
            filled.fillPath(plan->outlines[glyph.ink].translated(glyph.pen), Qt::white);
        filled.end();
        int inked = 0;
        int wrong = 0;
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x) {
                const QRgb pixel = screen.pixel(x, y);
                const bool inside = qGray(truth.pixel(x, y)) >= 128;
                inked += inside;
                wrong += (qAlpha(pixel) >= 128) != inside;
                QVERIFY(qAlpha(pixel) < 128 || (qRed(pixel) > 250 && std::abs(qGreen(pixel) - 128) < 3));
            }
        }
        QVERIFY2(wrong <= inked * allowed, qPrintable(u"%1 of %2"_s.arg(wrong).arg(inked)));
    }

    void zoomSteps_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<double>("in");
        QTest::addColumn<double>("out");
        QTest::addRow("smallest") << 0.25 << 0.5 << 0.25;
        QTest::addRow("1:1") << 1.0 << 2.0 << 0.5;
        QTest::addRow("whole steps above 1:1") << 4.0 << 6.0 << 3.0;
        QTest::addRow("between steps, fitted") << 0.37 << 0.5 << 0.25;
        QTest::addRow("a hair off a step counts as the step") << 2.0 + 1e-12 << 3.0 << 1.0;
        QTest::addRow("largest") << 16.0 << 16.0 << 12.0;
    }
    void zoomSteps()
    {
        QFETCH(double, zoom);
        QFETCH(double, in);
        QFETCH(double, out);
        QCOMPARE(zoomedIn(zoom), in);
        QCOMPARE(zoomedOut(zoom), out);
    }

    void fitting_data()
    {
        QTest::addColumn<QSize>("page");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<double>("zoom");
        QTest::addRow("fits 1:1 exactly") << QSize(512, 512) << QSize(512, 700) << 1.0;
        QTest::addRow("whole factor above 1:1") << QSize(128, 128) << QSize(900, 700) << 5.0;
        QTest::addRow("narrow side decides") << QSize(1024, 256) << QSize(512, 512) << 0.5;
        QTest::addRow("not below the smallest") << QSize(4096, 4096) << QSize(600, 400) << 0.25;
        QTest::addRow("not above the largest") << QSize(16, 16) << QSize(2000, 2000) << 16.0;
        QTest::addRow("nothing to fit") << QSize() << QSize(500, 500) << 1.0;
    }
    void fitting()
    {
        QFETCH(QSize, page);
        QFETCH(QSize, area);
        QFETCH(double, zoom);
        QCOMPARE(fittingZoom(page, area), zoom);
    }

    // An engine's pen: kerning before a character, the cell at pen plus offsets, then the advance.
    void samplePenPositions()
    {
        BmFont font;
        font.chars = {{U' ', 0, 0, 0, 0, 0, 0, 4, 0},
                      {U'A', 1, 1, 9, 10, 0, 3, 9, 0},
                      {U'V', 11, 1, 10, 10, -1, 3, 8, 0},
                      {U'o', 22, 1, 7, 7, 1, 6, 7, 1}};
        font.kernings = {{U'A', U'V', -2}, {U'V', U'A', -1}, {U'V', U'o', -1}};
        font.lineHeight = 14;
        // ö is not in the font: a gap of a space's advance, and no kerning reaches across it.
        const SampleLine line = setSampleText(font, u"AVAöA Vo"_s);
        QStringList placed;
        for (const SampleGlyph& glyph : line.glyphs)
            placed << u"%1 %2,%3"_s.arg(QChar(font.chars[glyph.index].id)).arg(glyph.corner.x()).arg(glyph.corner.y());
        QCOMPARE(placed.join(u" | "_s), u"A 0,3 | V 6,3 | A 14,3 | A 27,3 |   36,0 | V 39,3 | o 48,6"_s);
        QCOMPARE(line.penEnd, 54);
        QCOMPARE(line.cells, QRect(0, 3, 55, 10));
        QCOMPARE(line.gaps.size(), std::size_t(1));
        QCOMPARE(line.gaps[0].character, U'ö');
        QCOMPARE(line.gaps[0].box, QRect(23, 0, 4, 14));
        // With the set's glyph for missing characters (-1, listed first), ö is drawn with it.
        font.chars.insert(font.chars.begin(), {kMissingGlyphId, 30, 1, 5, 8, 0, 2, 6, 0});
        const SampleLine filled = setSampleText(font, u"AöV"_s);
        QCOMPARE(filled.glyphs.size(), std::size_t(3));
        QCOMPARE(filled.glyphs[1].index, std::size_t(0));
        QCOMPARE(filled.glyphs[1].corner, QPoint(9, 2));
        QCOMPARE(filled.glyphs[2].corner, QPoint(14, 3));
        QCOMPARE(filled.gaps[0].box, QRect(9, 0, 6, 14));
    }
};

QTEST_MAIN(TestTextureView)
#include "tst_textureview.moc"
