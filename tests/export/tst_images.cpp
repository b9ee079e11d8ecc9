#include "cli/CommandLine.h"
#include "export/bmfont/BmFontExport.h"
#include "export/bmfont/BmFontPlan.h"
#include "render/FontSource.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

// The options of a command line as the export takes them, or its usage error.
Result<Settings> settingsOf(const QString& options)
{
    const auto line = parseCommandLine(
        (u"glyfrax-export --format bmfont --pixels 32 "_s + options).split(u' ', Qt::SkipEmptyParts) << u"a.png"_s);
    if (!line)
        return failure(line.error());
    Settings settings;
    settings.font = test::dejaVu(24);
    line->overrides.applyTo(settings);
    return settings;
}

const BmFontChar* charOf(const BmFont& font, char32_t id)
{
    for (const BmFontChar& c : font.chars) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

// An icon of its own size and colours: a frame in one colour around a half-transparent inside.
QImage icon(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
            image.setPixel(x, y, edge ? colour : qRgba(qRed(colour) / 2, 200, qBlue(colour), 128));
        }
    }
    return image;
}

// Not drawn in the text colour: white with coverage is all a glyph without colours gives.
bool isColoured(QRgb pixel)
{
    return qAlpha(pixel) > 128 && (pixel & 0xFFFFFFU) != 0xFFFFFFU;
}

} // namespace

class TestImages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!test::loadDejaVuSans().isEmpty()); }

    // Ten icons of a folder and one listed beside Latin-1: each in a cell of its own size, on the
    // bottom of the line or where it is placed, with its advance, and on the page as it is (in its
    // colours, or its alpha as white's coverage).
    void imagesAreCharacters_data()
    {
        QTest::addColumn<bool>("colours");
        QTest::addRow("in colour") << true;
        QTest::addRow("as coverage") << false;
    }
    void imagesAreCharacters()
    {
        QFETCH(bool, colours);
        QTemporaryDir dir;
        const QString icons = dir.filePath(u"icons"_s);
        QVERIFY(QDir().mkpath(icons));
        std::map<char32_t, QImage> drawn;
        for (int i = 0; i < 10; ++i) {
            const char32_t c = 0xE000 + char32_t(i);
            drawn[c] = icon(8 + 2 * i, 30 - 2 * i, qRgba(40 * i, 255 - 20 * i, 90, 255));
            QVERIFY(drawn[c].save(icons +
                                  (i % 2 ? u"/U+%1.png"_s : u"/%1.png"_s).arg(QString::number(uint(c), 16).toUpper())));
        }
        QVERIFY(test::writeBytes(icons + u"/LIESMICH.txt"_s, "kein Bild"));
        QVERIFY(test::writeBytes(icons + u"/CAFE.txt"_s, "named as a character, but no image"));
        QVERIFY(test::writeBytes(icons + u"/E00A.svg"_s,
                                 R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 20"><rect width="10" )"
                                 R"(height="20" fill="#0000ff"/></svg>)"));
        const QString options = u"--chars 32-126,160-255 --images %1 --image U+E010=%1/E000.png@2,3,30 %2"_s.arg(
            icons, colours ? u"--color-glyphs"_s : QString());
        const Result<Settings> settings = settingsOf(options);
        QVERIFY2(settings, qPrintable(settings ? QString() : settings.error()));
        const Result<BmFontPlan> plan = planBmFont(*settings, {}, PageImage::Png, {});
        QVERIFY2(plan, qPrintable(plan ? QString() : plan.error()));
        const BmFont& font = plan->descriptor;
        QCOMPARE(font.chars.size(), std::size_t(191 + 12));
        const QImage page = drawBmFontPage(*plan, 0).convertToFormat(QImage::Format_ARGB32);
        drawn[0xE010] = drawn[0xE000];
        for (const auto& [id, image] : drawn) {
            const BmFontChar* c = charOf(font, id);
            QVERIFY(c);
            QCOMPARE(c->width, image.width() + 2);
            QCOMPARE(c->height, image.height() + 2);
            const bool placed = id == 0xE010;
            QCOMPARE(c->xoffset, placed ? 1 : -1);
            QCOMPARE(c->yoffset, placed ? 2 : font.lineHeight - image.height() - 1);
            QCOMPARE(c->xadvance, placed ? 30 : image.width());
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb want = colours ? image.pixel(x, y) : qRgba(255, 255, 255, qAlpha(image.pixel(x, y)));
                    QCOMPARE(page.pixel(c->x + 1 + x, c->y + 1 + y), want);
                }
            }
        }
        const BmFontChar* svg = charOf(font, 0xE00A);
        QVERIFY(svg);
        QCOMPARE(svg->height - 2, 32); // an em high, its width by its own proportions
        QCOMPARE(svg->width - 2, 16);
        for (const BmFontKerning& pair : font.kernings)
            QVERIFY(pair.first < 0xE000 && pair.second < 0xE000);
        QCOMPARE(font.color, colours ? ChannelContent::Glyph : ChannelContent::One);
    }

    // Colour glyphs of a font's own: layered ones in their palette's colours (a layer in the text
    // colour white), bitmap ones (Noto Color Emoji as a fallback) in theirs; without the option,
    // coverage alone.
    void colourGlyphs()
    {
        const Result<RegisteredFont> layered =
            registerFontFile(QStringLiteral(GLYFRAX_TEST_DATA) + u"/glyfrax-colr-test.ttf"_s);
        QVERIFY(layered);
        for (const bool colours : {true, false}) {
            Settings settings =
                *settingsOf(u"--chars 65,0xE100,0xE101"_s + (colours ? u" --color-glyphs"_s : QString()));
            settings.font.face = layered->family;
            const Result<BmFontPlan> plan = planBmFont(settings, {}, PageImage::Png, {});
            QVERIFY2(plan, qPrintable(plan ? QString() : plan.error()));
            const QImage page = drawBmFontPage(*plan, 0).convertToFormat(QImage::Format_ARGB32);
            const auto at = [&](char32_t id, double across, double down) {
                const BmFontChar* c = charOf(plan->descriptor, id);
                return page.pixel(c->x + int(across * c->width), c->y + int(down * c->height));
            };
            QCOMPARE(at(0xE100, 0.5, 0.25), colours ? qRgba(255, 0, 0, 255) : qRgba(255, 255, 255, 255));
            QCOMPARE(at(0xE100, 0.5, 0.9), colours ? qRgba(0, 0, 255, 255) : qRgba(255, 255, 255, 255));
            QCOMPARE(at(0xE101, 0.2, 0.5), colours ? qRgba(0, 128, 0, 255) : qRgba(255, 255, 255, 255));
            QCOMPARE(at(0xE101, 0.5, 0.5), qRgba(255, 255, 255, 255));
            QCOMPARE(at(0x41, 0.5, 0.5), qRgba(255, 255, 255, 255));
        }

        if (!QFontDatabase::families().contains(u"Noto Color Emoji"_s))
            QSKIP("Noto Color Emoji is not installed (fonts-noto-color-emoji)");
        QRawFont sans = QRawFont::fromFont(QFont(u"DejaVu Sans"_s, 24));
        QStringList emoji;
        for (char32_t c = 0x1F300; c < 0x1FA00 && emoji.size() < 50; ++c) {
            if (!sans.supportsCharacter(c) && QRawFont::fromFont(QFont(u"Noto Color Emoji"_s)).supportsCharacter(c))
                emoji.append(QString::number(c));
        }
        QCOMPARE(emoji.size(), 50);
        const Result<Settings> settings = settingsOf(u"--chars 32-126,%1 --color-glyphs"_s.arg(emoji.join(u',')));
        QVERIFY(settings);
        Settings withFallback = *settings;
        withFallback.bmfont.fallbacks = {u"Noto Color Emoji"_s};
        const Result<BmFontPlan> plan = planBmFont(withFallback, {}, PageImage::Png, {});
        QVERIFY2(plan, qPrintable(plan ? QString() : plan.error()));
        const QImage page = drawBmFontPage(*plan, 0).convertToFormat(QImage::Format_ARGB32);
        int coloured = 0;
        for (const QString& code : emoji) {
            const BmFontChar* c = charOf(plan->descriptor, code.toUInt());
            QVERIFY2(c && c->height > 20 && c->xadvance > 20, qPrintable(code));
            int pixels = 0;
            for (int y = 0; y < c->height; ++y) {
                for (int x = 0; x < c->width; ++x)
                    pixels += isColoured(page.pixel(c->x + x, c->y + y));
            }
            coloured += pixels > c->width * c->height / 10;
        }
        QCOMPARE(coloured, 50);
        QVERIFY(!isColoured(page.pixel(charOf(plan->descriptor, u'W')->x + 3, charOf(plan->descriptor, u'W')->y + 5)));
    }

    // Images that cannot be characters, and colours the pages cannot hold, fail before anything is
    // written, with a message naming what is wrong.
    void faultsWriteNothing_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("message");
        QTest::addRow("missing") << u"--image U+E000=fehlt.png"_s << u"fehlt.png"_s;
        QTest::addRow("no image") << u"--image U+E000=text.png"_s << u"ist kein Bild"_s;
        QTest::addRow("beyond a page") << u"--image U+E000=gross.png --max-texture 64"_s << u"größer als eine Seite"_s;
        QTest::addRow("FIFO") << u"--image U+E000=rohr.png"_s << u"rohr.png"_s;
        QTest::addRow("folder is a file") << u"--images text.png"_s << u"kein Ordner"_s;
        QTest::addRow("one character twice") << u"--images zwei"_s << u"zwei Bilder für U+E000"_s;
        QTest::addRow("broken SVG") << u"--image U+E000=kaputt.svg"_s << u"kein lesbares SVG"_s;
        QTest::addRow("colour in a field")
            << u"--image U+E000=klein.png --color-glyphs --field sdf"_s << u"Farbglyphen (--color-glyphs)"_s;
        QTest::addRow("colour in grey") << u"--color-glyphs --channels gray"_s << u"--channels"_s;
        QTest::addRow("fine outline") << u"--image U+E000=fein.png --outline 1"_s << u"zu fein gegliedert"_s;
        QTest::addRow("SVG naming a file") << u"--image U+E000=aussen.svg"_s << u"verweist auf andere Dateien"_s;
        QTest::addRow("SVG named as PNG") << u"--image U+E000=svg.png"_s << u"ist kein Bild"_s;
        QTest::addRow("too many pixels") << u"--images viele"_s << u"mehr als 32 Millionen Pixel"_s;
    }
    void faultsWriteNothing()
    {
        QFETCH(QString, options);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QVERIFY(test::writeBytes(u"text.png"_s, "kein Bild"));
        QVERIFY(test::writeBytes(u"kaputt.svg"_s, "<svg"));
        QVERIFY(icon(100, 10, qRgb(1, 2, 3)).save(u"gross.png"_s));
        QVERIFY(icon(4, 4, qRgb(1, 2, 3)).save(u"klein.png"_s));
        QImage fine(300, 300, QImage::Format_ARGB32);
        for (int y = 0; y < fine.height(); ++y) {
            for (int x = 0; x < fine.width(); ++x)
                fine.setPixel(x, y, (x + y) % 2 ? qRgba(0, 0, 0, 255) : 0);
        }
        QVERIFY(fine.save(u"fein.png"_s));
        QVERIFY(mkfifo("rohr.png", 0600) == 0);
        QVERIFY(QDir().mkdir(u"zwei"_s));
        QVERIFY(icon(4, 4, qRgb(1, 2, 3)).save(u"zwei/E000.png"_s));
        QVERIFY(icon(4, 4, qRgb(1, 2, 3)).save(u"zwei/u+e000.png"_s));
        QVERIFY(QDir().mkdir(u"aus"_s));
        QVERIFY(test::writeBytes(u"aussen.svg"_s, "<svg xmlns='http://www.w3.org/2000/svg' "
                                                  "xmlns:xlink='http://www.w3.org/1999/xlink' viewBox='0 0 4 4'>"
                                                  "<image xlink:href='/etc/hostname' width='4' height='4'/></svg>"));
        QVERIFY(test::writeBytes(u"svg.png"_s, "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 4 4'/>"));
        if (QByteArray(QTest::currentDataTag()) == "too many pixels") {
            QVERIFY(QDir().mkdir(u"viele"_s));
            QImage page(2048, 2048, QImage::Format_ARGB32);
            page.fill(Qt::red);
            for (int i = 0; i < 9; ++i)
                QVERIFY(page.save(u"viele/E00%1.png"_s.arg(i)));
        }
        const Result<Settings> settings = settingsOf(options);
        QVERIFY2(settings, qPrintable(settings ? QString() : settings.error()));
        BmFontRun run;
        const Result<BmFontExported> exported = exportBmFont(u"aus/satz.png"_s, *settings, run, {});
        QVERIFY(!exported);
        QVERIFY2(exported.error().contains(message), qPrintable(exported.error()));
        QVERIFY(test::entries(u"aus"_s).isEmpty());
    }

    // An image is an input: a set whose page would take its name is refused, the image kept.
    void imageIsNeverReplaced()
    {
        QTemporaryDir dir;
        const QString image = dir.filePath(u"satz.png"_s);
        QVERIFY(icon(6, 6, qRgb(1, 2, 3)).save(image));
        const QByteArray before = test::readBytes(image);
        const Result<BmFontExported> exported =
            exportBmFont(image, *settingsOf(u"--image U+E000="_s + image), BmFontRun(), {});
        QVERIFY(!exported);
        QCOMPARE(test::readBytes(image), before);
        QCOMPARE(test::entries(dir.path()), QStringList{u"satz.png"_s});
    }

    // Entries as the settings file and the command line write them: a path may hold "@" and "=",
    // and only a place at its very end counts.
    void imageEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written"); // empty: refused
        QTest::addRow("plain") << u"U+E000=icons/play.png"_s << u"U+E000=icons/play.png"_s;
        QTest::addRow("character itself") << u"€=euro.png@0,-2"_s << u"U+20AC=euro.png@0,-2"_s;
        QTest::addRow("@ in the name") << u"0xE001=a@2x.png"_s << u"U+E001=a@2x.png"_s;
        QTest::addRow("advance alone") << u"57346=x=y.svg@,,20"_s << u"U+E002=x=y.svg@,,20"_s;
        QTest::addRow("no file") << u"U+E000=@1,2"_s << QString();
        QTest::addRow("no character") << u"icons/play.png"_s << QString();
        QTest::addRow("a range") << u"65-70=a.png"_s << QString();
        QTest::addRow("place beyond") << u"U+E000=a.png@99999999,0"_s << QString();
    }
    void imageEntries()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        const Result<ImageGlyph> read = readImageGlyph(text);
        QCOMPARE(bool(read), !written.isEmpty());
        if (read) {
            QCOMPARE(imageGlyphText(*read), written);
            QCOMPARE(*readImageGlyph(written), *read);
        }
    }
};

QTEST_MAIN(TestImages)
#include "tst_images.moc"
