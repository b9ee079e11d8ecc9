#include "cli/CommandLine.h"
#include "export/bmfont/BmFontExport.h"
#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/Kerning.h"
#include "export/classic/ClassicExport.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphPainter.h"
#include "render/ImageFile.h"
#include "settings/ProfileFile.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "support/EdgeError.h"
#include "support/Golden.h"
#include "support/TempFolder.h"
#include "support/TestFont.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFontDatabase>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <bit>
#include <map>
#include <sys/resource.h>

using namespace glyfrax;
using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Result<BmFontExported> exportTo(const QString& image, const FontSettings& font, const BmFontOptions& options = {},
                                int threads = defaultThreadCount())
{
    BmFontRun run;
    run.threads = threads;
    return exportBmFont(image, {font, {}, options}, run, {});
}

// The options of a command line ("--padding 2 --crop") as the export takes them.
BmFontOptions optionsOf(const QString& options)
{
    Settings settings;
    parseCommandLine(u"glyfrax-export --format bmfont "_s.append(options).split(u' ', Qt::SkipEmptyParts) << u"a.png"_s)
        .value()
        .overrides.applyTo(settings);
    return settings.bmfont;
}

const FontSettings kSans14{u"DejaVu Sans"_s, 14, false, false, 0, 0};
const FontSettings kSans9{u"DejaVu Sans"_s, 9, false, false, 0, 0}; // 12 px

// A line of a text descriptor: its tag, and its numbers by name and in order.
struct Line
{
    QString tag;
    QHash<QString, int> field;
    QList<int> numbers;
};

QList<Line> readText(const QByteArray& text)
{
    static const QRegularExpression pair(uR"((\w+)=(-?[\d,]+))"_s);
    QList<Line> lines;
    for (const QByteArray& row : text.split('\n')) {
        lines.append({QString::fromUtf8(row.left(row.indexOf(' '))), {}, {}});
        for (const QRegularExpressionMatch& m : pair.globalMatch(QString::fromUtf8(row))) {
            lines.last().field[m.captured(1)] = m.captured(2).section(u',', 0, 0).toInt();
            for (const QString& number : m.captured(2).split(u','))
                lines.last().numbers.append(number.toInt());
        }
    }
    return lines;
}

// An exported font as an engine reads it.
struct Font
{
    QHash<uint, QHash<QString, int>> chars;
    QHash<QPair<uint, uint>, int> kerning;
    QImage page;
    int base = 0;
};

Font readFont(const Result<BmFontExported>& files)
{
    Font font{{}, {}, QImage(files ? files->pagePaths[0] : QString()), 0};
    for (const Line& line : readText(files ? readAll(files->descriptorPath) : QByteArray())) {
        const auto& f = line.field;
        if (line.tag == u"common")
            font.base = f[u"base"_s];
        if (line.tag == u"char")
            font.chars[uint(f[u"id"_s])] = f;
        if (line.tag == u"kerning")
            font.kerning[{uint(f[u"first"_s]), uint(f[u"second"_s])}] = f[u"amount"_s];
    }
    return font;
}

// The text drawn from the texture: cells at pen plus offsets, the pen moved by advance and kerning.
QImage fromTexture(const Font& font, const QList<uint>& text, QImage canvas, QPoint pen)
{
    QPainter painter(&canvas);
    for (qsizetype i = 0; i < text.size(); ++i) {
        QHash<QString, int> c = font.chars.value(text[i]);
        const QRect cell(c[u"x"_s], c[u"y"_s], c[u"width"_s], c[u"height"_s]);
        if (!cell.isEmpty()) // an empty source rectangle would draw the whole page
            painter.drawImage(pen + QPoint(c[u"xoffset"_s], c[u"yoffset"_s]), font.page, cell);
        pen.rx() += c[u"xadvance"_s] + font.kerning.value({text[i], text.value(i + 1)});
    }
    return canvas;
}

// The text drawn by the font, moved by the classic measure's widths and the kerning Qt reads.
QImage direct(const FontMeasure& measure, const QList<uint>& text, QImage canvas, QPoint pen)
{
    const QRawFont& font = measure.rawFont();
    const QList<quint32> glyphs =
        font.glyphIndexesForString(QString::fromUcs4(reinterpret_cast<const char32_t*>(text.data()), text.size()));
    const QList<QPointF> plain = font.advancesForGlyphIndexes(glyphs);
    const QList<QPointF> kerned = font.advancesForGlyphIndexes(glyphs, QRawFont::KernedAdvances);
    QPainter painter(&canvas);
    painter.setPen(Qt::white);
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        drawGlyph(painter, font, glyphs[i], pen + QPoint(0, measure.ascent()));
        pen.rx() += measure.advanceOf(glyphs[i]) + qRound(kerned[i].x() - plain[i].x());
    }
    return canvas;
}

int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int i = 0, w = a.width(); i < w * a.height(); ++i)
        largest = std::max(largest, std::abs(qRed(a.pixel(i % w, i / w)) - qRed(b.pixel(i % w, i / w))));
    return largest;
}

// Numbers as little-endian fields of the given widths in bytes, two's complement when negative.
QByteArray littleEndian(const QList<int>& numbers, const QList<int>& widths)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const qint32 number = qToLittleEndian<qint32>(numbers[i]);
        bytes.append(reinterpret_cast<const char*>(&number), widths.value(i));
    }
    return bytes;
}

// Big-endian 16-bit words.
QByteArray words(const std::vector<int>& values)
{
    QByteArray bytes;
    for (const int value : values)
        bytes += char(quint16(value) >> 8) + QByteArray(1, char(value & 0xFF));
    return bytes;
}

// GPOS whose 'kern' feature lists a number of lookups, all the same pair lookup of one format-2
// subtable with a number of second-glyph classes: glyph 4 before 5, the last class, moves one
// unit closer in each.
QByteArray sharedClassLookups(int lookups, int classes)
{
    const int coverage = 16 + 2 * classes;
    QByteArray gpos = words({1, 0, 0, 10, 22 + 2 * lookups, 1, 0x6b65, 0x726e, 8, 0, lookups});
    for (int i = 0; i < lookups; ++i)
        gpos += words({i});
    return gpos + words({lookups}) + words({2 + 2 * lookups}).repeated(lookups) +
           words({2, 0, 1, 8, 2, coverage, 4, 0, coverage + 6, coverage + 14, 1, classes}) +
           QByteArray(2 * classes - 2, 0) + words({-1, 1, 1, 4, 1, 4, 1, 0, 1, 5, 1, classes - 1});
}

// The golden file's extension of a form: a form without golden files does not compile (-Wswitch).
const char* extension(DescriptorForm form)
{
    switch (form) {
    case DescriptorForm::Text:
        return "fnt";
    case DescriptorForm::Xml:
        return "xml";
    case DescriptorForm::Binary:
        return "bin";
    case DescriptorForm::Json:
        return "json";
    }
    return "";
}

} // namespace

class TestBmFont : public QObject
{
    Q_OBJECT

    QHash<QString, QString> m_pages; // by set: the hashes of its pages

private slots:
    // Every form of a few sets as golden files: bold and italic, opaque pages, pages numbered in
    // two digits, a face name each form must quote. The settings come as [BMFont] lines.
    void goldenDescriptors_data()
    {
        QTest::addColumn<QString>("set"); // the golden files' name
        QTest::addColumn<DescriptorForm>("form");
        QTest::addColumn<FontSettings>("font");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("face"); // empty: the font's own
        const FontSettings bold{u"DejaVu Sans"_s, 14, true, false, 0xFF, 0x402010};
        const FontSettings italic{u"DejaVu Sans"_s, 14, false, true, 0, 0};
        const QString pages = u"Chars=32-126\nMaxTexture=32\nNonSquare=255\nPadding=0"_s;
        const QString quoted = u"Ab\"c<d>&e\\"_s;
        using F = DescriptorForm;
        const std::tuple<const char*, F, FontSettings, QString, QString> rows[] = {
            {"dejavu14", F::Text, kSans14, {}, {}},
            {"dejavu14", F::Xml, kSans14, {}, {}},
            {"dejavu14", F::Json, kSans14, {}, {}},
            {"dejavu14", F::Binary, kSans14, {}, {}},
            {"bold-opaque", F::Text, bold, u"Chars=65-67\nOpaque=255\nNonSquare=255"_s, {}},
            {"bold-opaque", F::Binary, bold, u"Chars=65-67\nOpaque=255\nNonSquare=255"_s, {}},
            {"italic-pages", F::Text, italic, pages, {}},
            {"italic-pages", F::Xml, italic, pages, {}},
            {"italic-pages", F::Json, italic, pages, {}},
            {"italic-pages", F::Binary, italic, pages, {}},
            {"quoted-face", F::Text, kSans14, u"Chars=65"_s, quoted},
            {"quoted-face", F::Xml, kSans14, u"Chars=65"_s, quoted},
            {"quoted-face", F::Json, kSans14, u"Chars=65"_s, quoted},
            // A distance field of each kind, its cells grown by half the range; an outline and a shadow.
            {"sdf", F::Text, kSans14, u"Chars=65-70\nField=sdf"_s, {}},
            {"msdf", F::Xml, kSans14, u"Chars=65-70\nField=msdf\nDistanceRange=6"_s, {}},
            {"mtsdf", F::Json, kSans14, u"Chars=65-70\nField=mtsdf"_s, {}},
            {"outline-shadow", F::Text, kSans14, u"Chars=65-70\nOutline=2\nShadow=3,-2,2"_s, {}},
            // Cells shaped for simple renderers: a space, capitals, an accent above them, descenders
            // and a j that reaches left of its pen.
            {"grid", F::Text, kSans14, u"Chars=32,65-70,103,106,0xC5\nGrid=255"_s, {}},
            {"grid", F::Binary, kSans14, u"Chars=32,65-70,103,106,0xC5\nGrid=255"_s, {}},
            {"equal-height", F::Xml, kSans14, u"Chars=32,65-70,103,106,0xC5\nEqualHeight=255"_s, {}},
            {"zero-offsets", F::Json, kSans14, u"Chars=32,65-70,103,106,0xC5\nZeroOffsets=255"_s, {}},
            {"grid-msdf", F::Text, kSans14, u"Chars=32,65-70,103\nGrid=255\nEqualHeight=255\nField=msdf"_s, {}},
            {"zero-offsets-outline", F::Text, kSans14, u"Chars=65-70,103,106\nZeroOffsets=255\nOutline=2"_s, {}},
            // The glyph for characters no font has, as character -1: the font's own, or a character's in a grid.
            {"missing-glyph", F::Text, kSans14, u"Chars=65-67,0x10FFFD\nMissingGlyph=notdef"_s, {}},
            {"missing-glyph", F::Xml, kSans14, u"Chars=65-67,0x10FFFD\nMissingGlyph=notdef"_s, {}},
            {"missing-glyph", F::Json, kSans14, u"Chars=65-67,0x10FFFD\nMissingGlyph=notdef"_s, {}},
            {"missing-glyph", F::Binary, kSans14, u"Chars=65-67,0x10FFFD\nMissingGlyph=notdef"_s, {}},
            {"grid-missing-char", F::Text, kSans14, u"Chars=63-66\nMissingGlyph=?\nGrid=255"_s, {}},
            // Advances and kerning with fractions, the cells whole.
            {"fractional", F::Json, kSans14, u"Chars=32,65-70,84,86,97,101,111\nFractional=255"_s, {}},
            // Sans Mono lacks U+01C4 to U+01C6 and U+02D4, Serif the last: two fallbacks give them.
            {"mono14-fallbacks",
             F::Text,
             FontSettings{u"DejaVu Sans Mono"_s, 14, false, false, 0, 0},
             u"Chars=65-70,0x1C4-0x1C6,0x2D4\nFallback=%1|%2"_s.arg(
                 QString(test::dejaVuSansPath()).replace(u"Sans"_s, u"Serif"_s), test::dejaVuSansPath()),
             {}}};
        for (const auto& [set, form, font, options, face] : rows)
            QTest::addRow("%s.%s", set, extension(form)) << QString::fromLatin1(set) << form << font << options << face;
    }

    void goldenDescriptors()
    {
        QFETCH(QString, set);
        QFETCH(DescriptorForm, form);
        QFETCH(FontSettings, font);
        QFETCH(QString, options);
        QFETCH(QString, face);
        QTemporaryDir folder;
        Settings settings{
            font, {}, readSettings(ProfileFile::fromBytes("[BMFont]\n" + options.toUtf8())).settings.bmfont};
        settings.bmfont.descriptor = form;
        BmFontRun run;
        run.faceName = face;
        const Result<BmFontExported> files = exportBmFont(folder.filePath(set + u".png"_s), settings, run, {});
        QVERIFY2(files, qPrintable(files ? QString() : files.error()));
        // Engines look for the XML and binary forms under .fnt as well; only JSON has a name of its own.
        QCOMPARE(QFileInfo(files->descriptorPath).fileName(),
                 set + (form == DescriptorForm::Json ? u".json"_s : u".fnt"_s));
        QString pages;
        for (const QString& page : files->pagePaths)
            pages += QString::fromLatin1(QCryptographicHash::hash(readAll(page), QCryptographicHash::Sha1).toHex());
        if (m_pages.contains(set)) // every form of a set comes with the same pages
            QCOMPARE(pages, m_pages[set]);
        m_pages[set] = pages;
        GLYFRAX_COMPARE_GOLDEN(readAll(files->descriptorPath),
                               u"bmfont/%1.%2"_s.arg(set, QString::fromLatin1(extension(form))));
        // A later export reads the page names back from a head that ends among the characters.
        const QByteArray descriptor = readAll(files->descriptorPath);
        QStringList names;
        for (const QString& page : files->pagePaths)
            names.append(QFileInfo(page).fileName());
        QCOMPARE(pageFilesNamedBy(descriptor.left(descriptor.size() - 40)), names);
    }

    // Each form's reader finds the pages its own writer named, so that an export in any form
    // replaces the earlier set whole; several pages, names with spaces and quotes a form escapes.
    void formsReadTheirPages_data()
    {
        QTest::addColumn<DescriptorForm>("form");
        for (const DescriptorFormFacts& facts : kDescriptorForms)
            QTest::addRow("%s", qPrintable(QString::fromUtf16(facts.name))) << facts.value;
    }

    void formsReadTheirPages()
    {
        QFETCH(DescriptorForm, form);
        BmFont font;
        font.face = u"Sans \"Mono\" <&>"_s;
        font.pages = {u"my font_0.png"_s, u"my font_1.png"_s, u"my font_2.png"_s, u"pages & <more>'s.png"_s};
        font.chars = {{U'A', 0, 0, 8, 9, 0, 1, 9, 0, 0, kAllChannels}, {U'B', 0, 0, 8, 9, 0, 1, 9, 3, 0, kAllChannels}};
        for (const QString& page : font.pages)
            QCOMPARE(pageNameProblem(page, form), QString());
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        QVERIFY(writeDescriptor(written, font, form));
        QCOMPARE(pageFilesNamedBy(written.data()), font.pages);
        // What keeping the layout reads back: each cell's place, size and page.
        font.size = 21;
        font.scaleW = 512;
        font.scaleH = 256;
        font.chars[1].x = 300;
        font.chars[1].y = 17;
        QBuffer again;
        again.open(QIODevice::WriteOnly);
        QVERIFY(writeDescriptor(again, font, form));
        const std::optional<DescriptorCells> cells = readDescriptorCells(again.data());
        QVERIFY(cells);
        QCOMPARE((std::tuple{cells->size, cells->scaleW, cells->scaleH, cells->chars.size()}),
                 (std::tuple{21, 512, 256, std::size_t(2)}));
        const BmFontChar& b = cells->chars[1];
        QCOMPARE((std::tuple{b.id, b.x, b.y, b.width, b.height, b.page}),
                 (std::tuple{char32_t(U'B'), 300, 17, 8, 9, 3}));
    }

    // With the layout kept, every character of the earlier set stays in its cell when characters
    // are added, in every form; a set of another size is packed anew and says so.
    void keptLayout_data() { formsReadTheirPages_data(); }
    void keptLayout()
    {
        QFETCH(DescriptorForm, form);
        QTemporaryDir dir;
        const QString image = dir.filePath(u"kept.png"_s);
        const QString form_ = u" --descriptor "_s + QString::fromUtf16(descriptorFormFacts(form).name);
        QVERIFY(exportTo(image, kSans14, optionsOf(u"--keep-layout --max-texture 128 --chars 65-90"_s + form_)));
        const QByteArray first = readAll(descriptorPathFor(image, form));
        QVERIFY(exportTo(image, kSans14, optionsOf(u"--keep-layout --max-texture 128 --chars 48-90,97-122"_s + form_)));
        const std::optional<DescriptorCells> before = readDescriptorCells(first);
        const std::optional<DescriptorCells> after = readDescriptorCells(readAll(descriptorPathFor(image, form)));
        QVERIFY(before && after && after->chars.size() > before->chars.size());
        for (const BmFontChar& c : before->chars) {
            const auto now = std::find_if(after->chars.begin(), after->chars.end(),
                                          [&c](const BmFontChar& a) { return a.id == c.id; });
            QVERIFY(now != after->chars.end());
            QCOMPARE((std::tuple{now->x, now->y, now->page}), (std::tuple{c.x, c.y, c.page}));
        }
        const Result<BmFontExported> larger =
            exportTo(image, kSans9, optionsOf(u"--keep-layout --max-texture 128 --chars 48-90"_s + form_));
        QVERIFY(larger && larger->notes.join(u' ').contains(u"neu gepackt"_s));
    }

    // The binary golden files against the text ones, as the format lays out its blocks: a type, a
    // 32-bit length, then the fields of the text form in their order and widths.
    void binaryBlocks_data()
    {
        QTest::addColumn<QString>("set");
        QTest::addRow("dejavu14") << u"dejavu14"_s;
        QTest::addRow("bold-opaque") << u"bold-opaque"_s;
        QTest::addRow("italic-pages") << u"italic-pages"_s;
    }

    void binaryBlocks()
    {
        QFETCH(QString, set);
        const QByteArray textForm = readAll(test::dataPath(u"bmfont/%1.fnt"_s.arg(set)));
        const QList<Line> text = readText(textForm);
        // size, bold, italic, unicode, stretchH, smooth, aa, padding x 4, spacing x 2, outline
        const QList<int> info = text[0].numbers;
        QVERIFY(info.size() == 14);
        // The bits from the top: smooth, unicode, italic, bold.
        const int bits = info[5] << 7 | info[3] << 6 | info[2] << 5 | info[1] << 4;
        const QByteArray face = textForm.mid(textForm.indexOf("face=\"") + 6).split('"').first();
        QList<QByteArray> blocks{littleEndian({info[0], bits, 0, info[4], info[6], info[7], info[8], info[9], info[10],
                                               info[11], info[12], info[13]},
                                              {2, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1}) +
                                     face + '\0',
                                 littleEndian(text[1].numbers, {2, 2, 2, 2, 2, 1, 1, 1, 1, 1}),
                                 {},
                                 {},
                                 {}};
        for (const QByteArray& row : textForm.split('\n')) {
            if (row.startsWith("page "))
                blocks[2] += row.mid(row.indexOf("file=\"") + 6).split('"').first() + '\0';
        }
        for (const Line& line : text) {
            if (line.tag == u"char")
                blocks[3] += littleEndian(line.numbers, {4, 2, 2, 2, 2, 2, 2, 2, 1, 1});
            if (line.tag == u"kerning")
                blocks[4] += littleEndian(line.numbers, {4, 4, 2});
        }
        QByteArray expected("BMF\x03");
        for (qsizetype type = 1; type <= blocks.size(); ++type) {
            if (type < 5 || !blocks[4].isEmpty()) // no kerning block without pairs
                expected += char(type) + littleEndian({int(blocks[type - 1].size())}, {4}) + blocks[type - 1];
        }
        QCOMPARE(readAll(test::dataPath(u"bmfont/%1.bin"_s.arg(set))), expected);
    }

    // Drawn from the texture as the descriptor says, text looks as the font draws it: each glyph
    // alone, so that ink outside its cell would be missing, and the sample line with kerning.
    void drawsAsTheFont_data()
    {
        QTest::addColumn<FontSettings>("font");
        QTest::addColumn<int>("padding");
        QTest::addColumn<QString>("line"); // empty: every glyph on its own
        QTest::addColumn<Hinting>("hinting");
        const FontSettings mono14{u"DejaVu Sans Mono"_s, 14, false, false, 0, 0};
        const FontSettings serifItalic36{u"DejaVu Serif"_s, 36, false, true, 0, 0};
        const QString sample = u"Hamburgefonstiv _gjpqy ÄÖÜ AV To"_s;
        QString pairs; // every pair of printable ASCII characters side by side
        for (char16_t first = 33; first < 127; ++first) {
            for (char16_t second = 33; second < 127; ++second)
                pairs.append(QChar(first)).append(QChar(second));
        }
        QTest::addRow("Sans Mono 14, underscore") << mono14 << 1 << QString() << Hinting::None;
        QTest::addRow("Sans 14, no padding") << kSans14 << 0 << QString() << Hinting::None;
        QTest::addRow("Serif Italic 36, overhangs") << serifItalic36 << 2 << QString() << Hinting::None;
        QTest::addRow("Sans 14, sample line") << kSans14 << 1 << sample << Hinting::None;
        QTest::addRow("Serif Italic 36, sample line") << serifItalic36 << 0 << sample << Hinting::None;
        QTest::addRow("Sans 14, ASCII pairs") << kSans14 << 1 << pairs << Hinting::None;
        QTest::addRow("Sans 9, full hinting") << kSans9 << 1 << QString() << Hinting::Full;
        QTest::addRow("Sans 9, light hinting, sample line") << kSans9 << 1 << sample << Hinting::Light;
    }

    void drawsAsTheFont()
    {
        QFETCH(FontSettings, font);
        QFETCH(int, padding);
        QFETCH(QString, line);
        QFETCH(Hinting, hinting);
        QTemporaryDir folder;
        BmFontOptions options;
        options.padding = {padding, padding, padding, padding};
        options.hinting = hinting;
        const Font texture = readFont(exportTo(folder.filePath(u"f.png"_s), font, options));
        QList<QList<uint>> texts;
        for (qsizetype i = 0; i < line.size(); i += 99) // pieces of 100 that overlap: every pair is in one
            texts.append(line.mid(i, 100).toUcs4());
        for (const uint id : line.isEmpty() ? texture.chars.keys() : QList<uint>{})
            texts.append(QList<uint>{id});
        QVERIFY(texture.chars.size() > 90);
        const FontMeasure measure(font, CodePage::windows1252(), {false, hinting});
        const FontMeasure designed(font);
        const int h = measure.lineHeight();
        int unlikeTheDesign = 0; // the largest difference to the glyphs without hints
        for (const QList<uint>& text : texts) {
            QImage canvas = makeCanvas(int(text.size() + 4) * h, 3 * h, QImage::Format_RGB32);
            canvas.fill(Qt::black);
            const QImage drawn = fromTexture(texture, text, canvas, {2 * h, h});
            const int difference = largestDifference(drawn, direct(measure, text, canvas, {2 * h, h}));
            QVERIFY2(difference <= 1, qPrintable(u"U+%1: %2"_s.arg(text.value(0), 4, 16, QChar(u'0')).arg(difference)));
            unlikeTheDesign =
                std::max(unlikeTheDesign, largestDifference(drawn, direct(designed, text, canvas, {2 * h, h})));
        }
        QCOMPARE(unlikeTheDesign > 64, hinting != Hinting::None);
    }

    // Shaped cells: in a grid every cell alike and where its number puts it (the characters in the
    // order of their codes), with equal heights every inked cell the line's height; either way the
    // page's ink lies inside the cells and the glyphs drawn from the texture look as the font draws
    // them. With zero offsets every offset is 0 and ink beyond the pen or the line is cut and said.
    void shapedCells_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("lossless");
        QTest::addRow("grid") << u"--grid --spacing 2,3"_s << true;
        QTest::addRow("grid, equal heights, 3 pages") << u"--grid --equal-height --max-texture 128"_s << true;
        QTest::addRow("equal heights") << u"--equal-height --padding 0"_s << true;
        QTest::addRow("grid with outline and shadow") << u"--grid --outline 1 --shadow 2,2"_s << true;
        QTest::addRow("zero offsets") << u"--zero-offsets"_s << false;
        QTest::addRow("grid, zero offsets") << u"--grid --zero-offsets"_s << false;
    }

    void shapedCells()
    {
        QFETCH(QString, options);
        QFETCH(bool, lossless);
        QTemporaryDir folder;
        const BmFontOptions chosen = optionsOf(u"--chars 32-126,0xC0-0xC5 "_s + options);
        const Result<BmFontExported> files = exportTo(folder.filePath(u"f.png"_s), kSans14, chosen);
        QVERIFY(files);
        const Font texture = readFont(files);
        const FontMeasure measure(kSans14);
        QList<uint> ids = texture.chars.keys();
        std::sort(ids.begin(), ids.end());
        const QHash<QString, int> first = texture.chars[ids[1]]; // the first inked one
        const int columns =
            (files->width + chosen.spacing.horizontal) / (first[u"width"_s] + chosen.spacing.horizontal);
        const int rows = (files->height + chosen.spacing.vertical) / (first[u"height"_s] + chosen.spacing.vertical);
        QList<QImage> pages;
        for (const QString& path : files->pagePaths)
            pages.append(QImage(path).convertToFormat(QImage::Format_ARGB32));
        QList<QImage> covered = pages; // each page's pixels outside every cell
        for (qsizetype n = 0; n < ids.size(); ++n) {
            QHash<QString, int> c = texture.chars[ids[n]];
            const QRect cell(c[u"x"_s], c[u"y"_s], c[u"width"_s], c[u"height"_s]);
            if (chosen.grid) {
                const int k = int(n) % (columns * rows);
                QCOMPARE(c[u"page"_s], int(n) / (columns * rows));
                QCOMPARE(cell, QRect((k % columns) * (cell.width() + chosen.spacing.horizontal),
                                     (k / columns) * (cell.height() + chosen.spacing.vertical), first[u"width"_s],
                                     first[u"height"_s]));
                QCOMPARE(QPoint(c[u"xoffset"_s], c[u"yoffset"_s]), QPoint(first[u"xoffset"_s], first[u"yoffset"_s]));
            }
            if (chosen.equalHeight && !cell.isEmpty()) { // the line, and every glyph's reach beyond it
                QCOMPARE(QPoint(cell.height(), c[u"yoffset"_s]), QPoint(first[u"height"_s], first[u"yoffset"_s]));
                QVERIFY(c[u"yoffset"_s] <= 0 && c[u"yoffset"_s] + cell.height() >= measure.lineHeight());
            }
            if (chosen.zeroOffsets)
                QCOMPARE(QPoint(c[u"xoffset"_s], c[u"yoffset"_s]), QPoint());
            QPainter eraser(&covered[c[u"page"_s]]);
            eraser.setCompositionMode(QPainter::CompositionMode_Clear);
            eraser.fillRect(cell, Qt::transparent);
        }
        for (const QImage& page : covered) {
            for (int y = 0; y < page.height(); ++y) {
                for (int x = 0; x < page.width(); ++x)
                    QVERIFY2(qAlpha(page.pixel(x, y)) == 0,
                             qPrintable(u"ink outside the cells at %1,%2"_s.arg(x).arg(y)));
            }
        }
        const QStringList cut = files->notes.filter(u"ist abgeschnitten: "_s);
        QCOMPARE(cut.size() == 1 && cut[0].contains(u"U+006A"_s), !lossless);
        if (!lossless || chosen.hasEffects() || files->pagePaths.size() > 1)
            return;
        const int h = measure.lineHeight();
        for (const uint id : ids) {
            QImage canvas = makeCanvas(5 * h, 3 * h, QImage::Format_RGB32);
            canvas.fill(Qt::black);
            const int difference = largestDifference(fromTexture(texture, {id}, canvas, {2 * h, h}),
                                                     direct(measure, {id}, canvas, {2 * h, h}));
            QVERIFY2(difference <= 1, qPrintable(u"U+%1: %2"_s.arg(id, 4, 16, QChar(u'0')).arg(difference)));
        }
    }

    // Tables no installed font has: an extension lookup holding a format-1 pair subtable (glyph 4
    // before 5 moves 50 units closer, before 6 not at all; 9 is not asked for), a legacy table,
    // and hostile ones: a lookup listed 32,000 times whose class table claims 32,000 classes (once
    // minutes of work for two characters), a sum beyond 32 bits, and a limit that stops the work.
    void kerningTables_data()
    {
        QTest::addColumn<QByteArray>("gpos");
        QTest::addColumn<QByteArray>("kern");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<qint64>("adjustment"); // of glyph 4 before 5; 0: no pair
        QTest::addColumn<bool>("complete");
        const QByteArray gpos =
            QByteArray::fromHex("0001 0000 0000 000a 0018"           // no scripts, features at 10, lookups at 24
                                "0001 6b65 726e 0008"                // one feature, 'kern', at 18
                                "0000 0001 0000"                     // using lookup 0
                                "0001 0004"                          // one lookup, at 28
                                "0009 0000 0001 0008"                // an extension, its subtable at 36
                                "0001 0002 00000008"                 // holding a pair subtable at 44
                                "0001 001a 0004 0000 0001 000c"      // format 1: coverage, X advance, pairs
                                "0003 0005 ffce 0006 0000 0009 fff9" // the pairs of glyph 4
                                "0001 0001 0004");                   // coverage: glyph 4
        const QByteArray kern = QByteArray::fromHex("0000 0001 0000 001a 0001" // one horizontal subtable
                                                    "0002 000c 0001 0000"      // of two pairs
                                                    "0004 0005 ffe2 0004 0009 0008");
        const qint64 any = kKerningWorkLimit;
        QTest::addRow("GPOS extension, format 1") << gpos << QByteArray() << any << -50LL << true;
        QTest::addRow("legacy table") << QByteArray() << kern << any << -30LL << true;
        QTest::addRow("32,000 lookups of 32,000 classes")
            << sharedClassLookups(32000, 32000) << QByteArray() << 100000LL << -32000LL << true;
        QTest::addRow("70,000 Apple subtables of 32767")
            << QByteArray()
            << words({1, 0, 1, 70000 - 65536}) + words({0, 22, 0, 0, 1, 6, 0, 0, 4, 5, 32767}).repeated(70000)
            << 200000LL << 70000LL * 32767 << true;
        QTest::addRow("work beyond the limit") << sharedClassLookups(3, 4) << QByteArray() << 10LL << 0LL << false;
    }

    void kerningTables()
    {
        QFETCH(QByteArray, gpos);
        QFETCH(QByteArray, kern);
        QFETCH(qint64, limit);
        QFETCH(qint64, adjustment);
        const FoundKerning found = readKerning(gpos, kern, {4, 5, 6}, limit);
        std::vector<GlyphKerning> expected;
        if (adjustment != 0)
            expected.push_back({4, 5, adjustment});
        QCOMPARE(found.pairs, expected);
        QTEST(found.complete, "complete");
        QVERIFY(found.work <= limit);
    }

    // How lookups, subtables, value records, coverage and class ranges and the legacy table's
    // flags combine, in tables fontTools built (tools/kerning-cases) with the pairs a shaper applies.
    void kerningCases_data() { test::addTableRows(u"kerning-cases.txt"_s); }
    void kerningCases()
    {
        test::compareRow([](const QString& input) {
            const QStringList fields = input.split(u'|');
            const QString letters = u"?ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s;
            std::vector<quint32> glyphs;
            for (const QChar letter : fields.value(3))
                glyphs.push_back(quint32(letters.indexOf(letter)));
            QStringList pairs;
            for (const GlyphKerning& pair : readKerning(QByteArray::fromHex(fields.value(1).toLatin1()),
                                                        QByteArray::fromHex(fields.value(2).toLatin1()), glyphs)
                                                .pairs)
                pairs.append(
                    u"%1 %2 %3"_s.arg(letters.at(pair.first)).arg(letters.at(pair.second)).arg(pair.adjustment));
            return pairs.join(u", "_s);
        });
    }

    // Values beyond the binary form's fields are brought into them, for every form, and said.
    void valuesBeyondTheFields()
    {
        BmFont font;
        font.lineHeight = 70000;
        font.chars = {{U'A', 0, 0, 1, 1, 0, -40000, 70000, 0}};
        font.kernings = {{U'A', U'V', 70000LL * 32767}};
        const QString notes = fitToDescriptor(font).join(u'\n');
        QVERIFY(notes.count(u'\n') == 3 && notes.contains(u"„amount“ nur -32768 bis 32767: 1 Wert begrenzt, etwa "
                                                          "2293690000 bei U+0041 vor U+0056"_s));
        QCOMPARE(std::tuple(font.lineHeight, font.chars[0].yoffset, font.chars[0].xadvance, font.kernings[0].amount),
                 std::tuple(65535, -32768, 32767, 32767LL));
    }

    // A glyph larger than any page is refused before it takes the memory to draw it: DejaVu Sans
    // with 16 units per em instead of 2048, each glyph 128 times as large. Capitals only: each is
    // larger than a page, while an accent that fits would be drawn by a thread that started before
    // another found the first capital, as large as it is.
    void hugeGlyphIsNotDrawn()
    {
        QByteArray bytes = test::readBytes(test::dejaVuSansPath());
        for (int i = 0; i < qFromBigEndian<quint16>(bytes.constData() + 4); ++i) {
            if (bytes.mid(12 + 16 * i, 4) == "head")
                qToBigEndian<quint16>(16, bytes.data() + qFromBigEndian<quint32>(bytes.constData() + 20 + 16 * i) + 18);
        }
        QVERIFY(QFontDatabase::addApplicationFontFromData(renameFontFamily(bytes, u"Glyfrax 16"_s).value()) >= 0);
        BmFontOptions options;
        options.maxTexture = 16384;
        options.chars = u"65-90"_s;
        QTemporaryDir folder;
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const Result<BmFontExported> files =
            exportTo(folder.filePath(u"f.png"_s), {u"Glyfrax 16"_s, 232.0F, false, false, 0, 0}, options);
        getrusage(RUSAGE_SELF, &after);
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 256 * 1024, qPrintable(u"%1 KiB"_s.arg(after.ru_maxrss)));
        QVERIFY(!files && files.error().contains(u"passt auf keine Textur bis 16384"_s));
    }

    // An export given up while its glyphs are measured, before a page is drawn or between the bands
    // of a classic bitmap leaves the earlier set byte for byte, and no file of its own.
    void cancelledExportLeavesTheEarlierSet_data()
    {
        QTest::addColumn<bool>("classic");
        QTest::addColumn<int>("askedBeforeNo"); // how often stillWanted answers yes first
        QTest::addRow("while measuring") << false << 0;
        QTest::addRow("before the second page") << false << 1000000;
        QTest::addRow("classic, before the texture is drawn") << true << 0;
        QTest::addRow("classic, after a band") << true << 1000000;
    }

    void cancelledExportLeavesTheEarlierSet()
    {
        QFETCH(bool, classic);
        QFETCH(int, askedBeforeNo);
        QTemporaryDir folder;
        const QString target = folder.filePath(classic ? u"f.bmp"_s : u"f.png"_s);
        BmFontOptions options = optionsOf(u"--chars 32-0x17F --max-texture 256"_s);
        QVERIFY(classic ? bool(exportClassic(target, {test::dejaVu(24), {}, {}}, {}))
                        : bool(exportTo(target, test::dejaVu(24), options)));
        const QStringList earlier = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(earlier.size() >= (classic ? 2 : 4));
        std::map<QString, QByteArray> bytes;
        for (const QString& name : earlier)
            bytes[name] = readAll(folder.filePath(name));
        std::atomic<int> asked = 0;
        std::atomic<int> begun = 0; // pages, or bands written
        // Yes at first, then no once a second page is begun or a band is written.
        const auto stillWanted = [&] { return ++asked <= askedBeforeNo && begun < 2; };
        bool done = false;
        if (classic) {
            ClassicRun run;
            run.stillWanted = stillWanted;
            run.progress = [&](std::int32_t, int percent) { begun += percent > 0 ? 2 : 0; };
            done = bool(exportClassic(target, {test::dejaVu(300), {}, {}}, {}, run));
        } else {
            BmFontRun run;
            run.stillWanted = stillWanted;
            run.progress = [&](int pagesDone, int count) { begun += pagesDone < count ? 1 : 0; };
            done = bool(exportBmFont(target, {test::dejaVu(26), {}, options}, run, {}));
        }
        QVERIFY(!done);
        QVERIFY(askedBeforeNo == 0 || begun >= 2);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), earlier);
        for (const QString& name : earlier)
            QVERIFY2(readAll(folder.filePath(name)) == bytes[name], qPrintable(name));
    }

    // The classic pair: a name ending in .png gets a PNG of the bitmap's pixels, and a code page
    // puts its characters in the cells.
    void classicPngAndCodePage()
    {
        QTemporaryDir folder;
        Settings settings;
        settings.font = kSans14;
        QVERIFY(exportClassic(folder.filePath(u"b.bmp"_s), settings, {}));
        QVERIFY(exportClassic(folder.filePath(u"p.png"_s), settings, {}));
        QCOMPARE(readAll(folder.filePath(u"p.png"_s)).left(4), QByteArray("\x89PNG"));
        QCOMPARE(QImage(folder.filePath(u"p.png"_s)), QImage(folder.filePath(u"b.bmp"_s)));
        const FontMeasure cyrillic(settings.font, *CodePage::windows(1251));
        QCOMPARE(cyrillic.glyph(0xC0), cyrillic.rawFont().glyphIndexesForString(u"А"_s).value(0));
    }

    // Characters the font lacks come from the first fallback that has them; one that none has
    // stays missing. A fallback is an installed family or a font file.
    void fallbackOrder_data()
    {
        QTest::addColumn<QStringList>("fallbacks");
        QTest::addColumn<QStringList>("gave"); // each fallback that gives characters: name and characters
        const QStringList sansAll{u"DejaVu Sans: U+01C4–U+01C6, U+02D4"_s};
        QTest::addRow("Serif, then Sans") << QStringList{u"DejaVu Serif"_s, u"DejaVu Sans"_s}
                                          << QStringList{u"DejaVu Serif: U+01C4–U+01C6"_s, u"DejaVu Sans: U+02D4"_s};
        QTest::addRow("Sans, then Serif") << QStringList{u"DejaVu Sans"_s, u"DejaVu Serif"_s} << sansAll;
        QTest::addRow("a font file") << QStringList{test::dejaVuSansPath()} << sansAll;
    }

    void fallbackOrder()
    {
        QFETCH(QStringList, fallbacks);
        Settings settings{{u"DejaVu Sans Mono"_s, 14, false, false, 0, 0}, {}, {}};
        settings.bmfont.chars = u"65-70,0x1C4-0x1C6,0x2D4,0xE000"_s;
        settings.bmfont.fallbacks = fallbacks;
        const Result<BmFontPlan> plan = planBmFont(settings, {}, PageImage::Png, {});
        QVERIFY(plan);
        QStringList gave;
        for (const FallbackUse& use : plan->fallbacks)
            gave.append(use.name + u": "_s + describeCharacters(use.characters));
        QTEST(gave, "gave");
        QCOMPARE(plan->missing, std::vector<char32_t>{0xE000});
    }

    // The faces of a collection, as --font-file and --fallback name them.
    void collectionFaces_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("face"); // or a part of the message
        QTest::addRow("first face without a number") << QString() << u"WenQuanYi Micro Hei"_s;
        QTest::addRow("#1") << u"#1"_s << u"WenQuanYi Micro Hei Mono"_s;
        QTest::addRow("#2 of two") << u"#2"_s << u"hat die Schriften 0 bis 1, keine Schrift 2"_s;
    }

    void collectionFaces()
    {
        QFETCH(QString, suffix);
        QFETCH(QString, face);
        const QString path = u"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"_s;
        if (!QFileInfo::exists(path))
            QSKIP("fonts-wqy-microhei is not installed");
        const Result<RegisteredFont> font = findFont(path + suffix);
        QCOMPARE(font ? font->displayName : font.error().contains(face) ? face : font.error(), face);
        QVERIFY(!font || QRawFont::fromFont(QFont(font->family)).supportsCharacter(U'\u4E00'));
    }

    // Options of the pages and cells, as the descriptor and the page's file show them.
    void pageAndCellOptions_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("expected"); // parts of the text descriptor
        QTest::addRow("padding per side, spacing per direction")
            << u"--padding 1,2,3,4 --spacing 2,3"_s
            << QStringList{u"padding=1,2,3,4 spacing=2,3"_s, u"width=28 height=28 xoffset=-4 yoffset=5 xadvance=22"_s};
        QTest::addRow("one page cropped") << u"--crop"_s << QStringList{u"scaleW=512 scaleH=220 pages=1"_s};
        QTest::addRow("two pages stay alike")
            << u"--crop --max-texture 256"_s << QStringList{u"scaleW=256 scaleH=256 pages=2"_s};
        QTest::addRow("no kerning") << u"--no-kerning"_s << QStringList{u"kernings count=0"_s};
        // DejaVu Sans: 26 pixels per em give lines of 30, 27 of 31, 28 of 33 and capitals of 20 at 27.
        QTest::addRow("line height") << u"--line-height 31"_s << QStringList{u"size=27 "_s, u"lineHeight=31 "_s};
        QTest::addRow("line height between sizes")
            << u"--line-height 32"_s << QStringList{u"size=27 "_s, u"lineHeight=31 "_s};
        QTest::addRow("cap height") << u"--cap-height 20"_s << QStringList{u"size=27 "_s};
    }

    void pageAndCellOptions()
    {
        QFETCH(QString, options);
        QFETCH(QStringList, expected);
        QTemporaryDir folder;
        const Result<BmFontExported> files =
            exportTo(folder.filePath(u"f.png"_s), {u"DejaVu Sans"_s, 24, false, false, 0, 0}, optionsOf(options));
        QVERIFY(files);
        const QString text = QString::fromUtf8(readAll(files->descriptorPath));
        for (const QString& part : expected)
            QVERIFY2(text.contains(part), qPrintable(part));
        QCOMPARE(QImage(files->pagePaths.last()).size(), QSize(files->width, files->height));
    }

    // Neither the number of threads nor a size in pixels instead of the same in points changes a
    // byte; the pages decode to what the plan draws, monochrome ones to covered or empty pixels
    // whose ink reaches each side of the cell within its padding.
    void sameBytesAnyWay_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("image");
        QTest::addRow("alpha, 32 px, pieces") << u"--chars 32-0x5FF --pixels 32"_s << u"f.png"_s;
        QTest::addRow("opaque BMP, 32 px") << u"--chars 32-0x5FF --pixels 32"_s << u"f.bmp"_s;
        QTest::addRow("alpha, 80 px, drawn") << u"--pixels 80"_s << u"f.png"_s;
        QTest::addRow("monochrome, 16 px") << u"--pixels 16 --monochrome --padding 2"_s << u"f.png"_s;
        QTest::addRow("msdf, 32 px") << u"--chars 32-0x5FF --pixels 32 --field msdf"_s << u"f.png"_s;
        QTest::addRow("outline and shadow, 32 px") << u"--pixels 32 --outline 2 --shadow 2,3,3"_s << u"f.png"_s;
        QTest::addRow("outline and shadow, opaque BMP") << u"--pixels 20 --outline 1 --shadow 1,1"_s << u"f.bmp"_s;
        QTest::addRow("full hinting, 12 px") << u"--pixels 12 --hinting full"_s << u"f.png"_s;
        QTest::addRow("supersampled, outline, opaque BMP")
            << u"--pixels 12 --supersample 4 --outline 1"_s << u"f.bmp"_s;
        QTest::addRow("supersampled, opaque") << u"--pixels 14 --supersample 2 --opaque"_s << u"f.png"_s;
    }

    void sameBytesAnyWay()
    {
        QFETCH(QString, options);
        QFETCH(QString, image);
        QTemporaryDir one;
        QTemporaryDir three;
        const BmFontOptions chosen = optionsOf(options);
        const FontSettings font{u"DejaVu Sans"_s, 0, false, false, 0, 0};
        const Result<BmFontExported> a = exportTo(one.filePath(image), font, chosen, 1);
        BmFontOptions inPoints = chosen;
        inPoints.pixels = 0;
        const Result<BmFontExported> b =
            exportTo(three.filePath(image), {font.face, float(chosen.pixels) * 0.75F, false, false, 0, 0}, inPoints, 3);
        QVERIFY(a && b);
        QVERIFY(readAll(a->descriptorPath).contains("size=" + QByteArray::number(chosen.pixels) + ' '));
        for (const QString& name : test::entries(one.path()))
            QVERIFY2(readAll(one.filePath(name)) == readAll(three.filePath(name)), qPrintable(name));
        const Result<BmFontPlan> plan = planBmFont({font, {}, chosen}, {}, pageImageFor(image), {});
        const QImage page(a->pagePaths[0]);
        QCOMPARE(page.convertToFormat(QImage::Format_ARGB32),
                 drawBmFontPage(*plan, 0).convertToFormat(QImage::Format_ARGB32));
        if (!chosen.monochrome)
            return;
        const Font texture = readFont(a);
        for (const QHash<QString, int>& c : texture.chars) {
            const QRect ink = QRect(c[u"x"_s], c[u"y"_s], c[u"width"_s], c[u"height"_s]).adjusted(2, 2, -2, -2);
            int sides = 0; // bits of the sides the ink reaches: left, right, top, bottom
            for (int y = ink.top() - 2; y <= ink.bottom() + 2 && ink.isValid(); ++y) {
                for (int x = ink.left() - 2; x <= ink.right() + 2; ++x) {
                    const int alpha = qAlpha(page.pixel(x, y));
                    QVERIFY(alpha == 0 || (alpha == 255 && ink.contains(x, y)));
                    sides |= alpha ? (x == ink.left()) | (x == ink.right()) << 1 | (y == ink.top()) << 2 |
                                         (y == ink.bottom()) << 3
                                   : 0;
                }
            }
            QCOMPARE(sides, ink.isValid() ? 15 : 0);
        }
    }

    // Each page form holds the glyphs of the plain RGBA pages in the same cells, in its own channels,
    // and the descriptor's flags tell an engine which: a grey page the coverage as grey, grey with
    // alpha as alpha over white, premultiplied pages each colour times its alpha, packed pages each
    // character in the channel its chnl names of the page its page names (a fourth of the pages).
    void pageForms_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("flags"); // of the common line
        const QString text = u"--pixels 20 --chars 32-0x24F --max-texture 128"_s;
        QTest::addRow("grey") << text << u"--channels gray"_s << u"packed=0 alphaChnl=4 redChnl=0"_s;
        QTest::addRow("grey with alpha") << text << u"--channels alpha"_s << u"packed=0 alphaChnl=0 redChnl=4"_s;
        QTest::addRow("premultiplied") << text << u"--premultiplied"_s << u"packed=0 alphaChnl=0 redChnl=0"_s;
        QTest::addRow("premultiplied effects") << text + u" --outline 1 --outline-color #FF000080 --shadow 1,1,1"_s
                                               << u"--premultiplied"_s << u"packed=0 alphaChnl=0 redChnl=0"_s;
        QTest::addRow("packed") << text << u"--pack-channels"_s << u"packed=1 alphaChnl=0 redChnl=0"_s;
        QTest::addRow("packed sdf") << text + u" --field sdf"_s << u"--pack-channels"_s
                                    << u"packed=1 alphaChnl=0 redChnl=0"_s;
        QTest::addRow("grey sdf") << text + u" --field sdf"_s << u"--channels gray"_s
                                  << u"packed=0 alphaChnl=4 redChnl=0"_s;
    }

    void pageForms()
    {
        QFETCH(QString, plain);
        QFETCH(QString, form);
        QFETCH(QString, flags);
        QTemporaryDir folder;
        const Result<BmFontExported> a = exportTo(folder.filePath(u"a.png"_s), kSans14, optionsOf(plain));
        const Result<BmFontExported> b = exportTo(folder.filePath(u"b.png"_s), kSans14, optionsOf(plain + u' ' + form));
        QVERIFY(a && b);
        const QByteArray descriptor = readAll(b->descriptorPath);
        QVERIFY2(descriptor.contains(flags.toUtf8()), descriptor.left(400).constData());
        const bool packed = form.contains(u"pack"_s);
        QCOMPARE(b->pagePaths.size(), packed ? (a->pagePaths.size() + 3) / 4 : a->pagePaths.size());
        QVERIFY(a->pagePaths.size() > 4);
        std::vector<QImage> pages;
        for (const QString& path : b->pagePaths)
            pages.emplace_back(path);
        const auto charLines = [](const QByteArray& text) {
            QList<Line> lines = readText(text);
            lines.removeIf([](const Line& line) { return line.tag != u"char"; });
            return lines;
        };
        const QList<Line> lines = charLines(readAll(a->descriptorPath));
        const QList<Line> formed = charLines(descriptor);
        QCOMPARE(formed.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const auto& c = lines[i].field;
            const auto& f = formed[i].field;
            const QRect cell(c[u"x"_s], c[u"y"_s], c[u"width"_s], c[u"height"_s]);
            QCOMPARE(QRect(f[u"x"_s], f[u"y"_s], f[u"width"_s], f[u"height"_s]), cell);
            const int channel = packed ? std::countr_zero(unsigned(f[u"chnl"_s])) : 0;
            QCOMPARE(packed ? 4 * f[u"page"_s] + channel : f[u"page"_s], c[u"page"_s]);
            const QImage reference(a->pagePaths[c[u"page"_s]]);
            const QImage& page = pages.at(std::size_t(f[u"page"_s]));
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    const QRgb want = reference.pixel(x, y);
                    const QRgb got = page.pixel(x, y);
                    const int glyph = plain.contains(u"sdf"_s) ? qRed(want) : qAlpha(want);
                    const bool right = packed                      ? int(got >> (8 * channel) & 0xFF) == glyph
                                       : form.contains(u"gray"_s)  ? qGray(got) == glyph
                                       : form.contains(u"alpha"_s) ? qAlpha(got) == glyph && qRed(got) == 255
                                                                   : got == qPremultiply(want);
                    QVERIFY2(right, qPrintable(u"U+%1 at %2,%3: %4, not from %5"_s.arg(c[u"id"_s], 4, 16)
                                                   .arg(x)
                                                   .arg(y)
                                                   .arg(got, 8, 16)
                                                   .arg(want, 8, 16)));
                }
            }
        }
    }

    // A preset writes what its engine's loader reads as meant: the form it parses (and in which it
    // reads the field), the field kept, packed pages where it reads them by channel. Without a
    // preset a set such a loader would misread is told.
    void enginePresets_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("start"); // of the descriptor: the form the loader parses
        QTest::addColumn<QByteArray>("holds"); // what the loader must find in it
        QTest::addColumn<bool>("replaced");    // the form given was replaced, and a note says so
        QTest::addRow("pixi.js 8, msdf: XML") << u"--engine pixi --field msdf"_s << "<?xml"_ba
                                              << "<distanceField fieldType=\"msdf\""_ba << true;
        QTest::addRow("three.js, binary asked, msdf: JSON")
            << u"--engine three --descriptor binary --field msdf"_s << "{"_ba
            << "\"fieldType\": \"msdf\""_ba << true;
        QTest::addRow("Phaser 3: XML") << u"--engine phaser"_s << "<?xml"_ba
                                       << "<chars count="_ba << true;
        QTest::addRow("libGDX, sdf: text") << u"--engine libgdx --descriptor json --field sdf"_s << "info "_ba
                                           << "distanceField fieldType=sdf"_ba << true;
        QTest::addRow("Godot 4, binary asked: text") << u"--engine godot4 --descriptor binary"_s << "info "_ba
                                                     << "unicode=1"_ba << true;
        QTest::addRow("Godot 4, XML asked, packed: text")
            << u"--engine godot4 --descriptor xml --pack-channels"_s << "info "_ba
            << "packed=1"_ba << true;
        QTest::addRow("no preset, text-form msdf: told") << u"--field msdf"_s << "info "_ba
                                                         << "pixi.js 8"_ba << false;
    }

    void enginePresets()
    {
        QFETCH(QString, options);
        QFETCH(QByteArray, start);
        QFETCH(QByteArray, holds);
        QFETCH(bool, replaced);
        QTemporaryDir folder;
        const Result<BmFontExported> files =
            exportTo(folder.filePath(u"f.png"_s), kSans14, optionsOf(u"--chars 32-126 "_s + options));
        QVERIFY2(files, qPrintable(files ? QString() : files.error()));
        const QByteArray descriptor = readAll(files->descriptorPath);
        QVERIFY(descriptor.startsWith(start));
        const bool told = files->notes.join(u'\n').toUtf8().contains(holds);
        QVERIFY2(descriptor.contains(holds) || told, descriptor.left(300).constData());
        QCOMPARE(told, !options.contains(u"engine"_s));
        QCOMPARE(files->notes.join(u'\n').contains(u" statt "_s), replaced);
    }

    // libGDX ends a page's file name at a blank: its preset refuses such a name, and nothing is written.
    void libgdxRefusesBlanksInPageNames()
    {
        QTemporaryDir folder;
        const Result<BmFontExported> files =
            exportTo(folder.filePath(u"my font.png"_s), kSans14, optionsOf(u"--chars 65-70 --engine libgdx"_s));
        QVERIFY(!files);
        QVERIFY2(files.error().contains(u"libGDX liest den Namen einer Seite nur bis zum ersten Leerzeichen"_s),
                 qPrintable(files.error()));
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    // An exported msdf page, magnified as a shader does, shows each glyph close to its outline
    // where the descriptor puts it.
    void exportedFieldShowsTheOutlines()
    {
        QTemporaryDir folder;
        const Result<BmFontExported> files =
            exportTo(folder.filePath(u"f.png"_s), kSans14, optionsOf(u"--pixels 32 --field msdf --chars 33-126"_s));
        QVERIFY(files);
        const Font texture = readFont(files);
        const QRawFont font(test::dejaVuSansPath(), 32);
        test::EdgeError error;
        for (auto c = texture.chars.begin(); c != texture.chars.end(); ++c) {
            const QHash<QString, int>& f = c.value();
            const QList<quint32> glyph =
                font.glyphIndexesForString(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c.key()), 1));
            const QPoint pen(-f[u"xoffset"_s], texture.base - f[u"yoffset"_s]);
            error.add(texture.page.copy(f[u"x"_s], f[u"y"_s], f[u"width"_s], f[u"height"_s]),
                      font.pathForGlyph(glyph.value(0)), pen);
        }
        QVERIFY2(error.mean() < 0.01 && error.largest < 0.5,
                 qPrintable(u"%1 %2"_s.arg(error.mean()).arg(error.largest)));
    }

    // The outline and the shadow lie around each glyph where the descriptor puts it, as drawn alone
    // at its pen position: the glyph's full pixels white, those within the outline's width of them
    // in the outline's colour, the glyph with its outline moved in the shadow's, nothing beyond;
    // the cell holds it all within its padding, and the advance stays the glyph's own.
    void effectsLieWhereDescribed()
    {
        QTemporaryDir folder;
        const QString chars = u"--pixels 32 --chars 65-90,97-122"_s;
        const QString options = chars + u" --outline 3 --outline-color #FF0000 --shadow 4,5 --shadow-color #0000FF80"_s;
        const Font plain = readFont(exportTo(folder.filePath(u"p.png"_s), kSans14, optionsOf(chars)));
        const Font texture = readFont(exportTo(folder.filePath(u"e.png"_s), kSans14, optionsOf(options)));
        const FontMeasure measure({u"DejaVu Sans"_s, 24, false, false, 0, 0});
        for (auto c = texture.chars.begin(); c != texture.chars.end(); ++c) {
            QHash<QString, int> f = c.value();
            QCOMPARE(f[u"xadvance"_s], plain.chars[c.key()][u"xadvance"_s]);
            const QImage cell = texture.page.copy(f[u"x"_s], f[u"y"_s], f[u"width"_s], f[u"height"_s]);
            QImage glyph = makeCanvas(cell.width(), cell.height(), QImage::Format_RGB32);
            glyph.fill(Qt::black);
            QPainter painter(&glyph);
            painter.setPen(Qt::white);
            drawGlyph(painter, measure.rawFont(),
                      measure.rawFont().glyphIndexesForString(
                          QString::fromUcs4(reinterpret_cast<const char32_t*>(&c.key()), 1))[0],
                      {-f[u"xoffset"_s], texture.base - f[u"yoffset"_s]});
            painter.end();
            auto near = [&](QPoint p, double reach, auto&& is) { // whether a pixel within reach of p is
                for (int y = p.y() - int(reach); y <= p.y() + int(reach); ++y)
                    for (int x = p.x() - int(reach); x <= p.x() + int(reach); ++x)
                        if (glyph.rect().contains(x, y) && std::hypot(x - p.x(), y - p.y()) <= reach && is(x, y))
                            return true;
                return false;
            };
            auto full = [&](int x, int y) { return qRed(glyph.pixel(x, y)) == 255; };
            auto inked = [&](int x, int y) { return qRed(glyph.pixel(x, y)) > 0; };
            for (int y = 0; y < cell.height(); ++y) {
                for (int x = 0; x < cell.width(); ++x) {
                    const QRgb shown = cell.pixel(x, y);
                    const bool edge = x == 0 || y == 0 || x == cell.width() - 1 || y == cell.height() - 1;
                    const bool outlined = near({x, y}, 4.3, inked);
                    QRgb expected = shown;
                    if (full(x, y))
                        expected = qRgba(255, 255, 255, 255);
                    else if (!inked(x, y) && near({x, y}, 2.9, full))
                        expected = qRgba(255, 0, 0, 255);
                    else if (!outlined && near({x - 4, y - 5}, 2.9, full))
                        expected = qRgba(0, 0, 255, 128);
                    else if (edge || (!outlined && !near({x - 4, y - 5}, 4.3, inked)))
                        expected = qRgba(0, 0, 255, 0);
                    QVERIFY2(shown == expected, qPrintable(u"U+%1 at %2,%3: %4"_s.arg(c.key(), 4, 16, QChar(u'0'))
                                                               .arg(x)
                                                               .arg(y)
                                                               .arg(shown, 8, 16, QChar(u'0'))));
                }
            }
        }
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("problem"); // a part of the message; empty: accepted
        QTest::addColumn<int>("characters");  // how many --chars names (218: those Windows-1252 assigns)
        const QString bm = u"--format bmfont "_s;
        QTest::addRow("ranges, no surrogates")
            << bm + u"--chars 32-126,160-255,U+20AC,0x41,0xD7FF-0xE000"_s << QString() << 194;
        QTest::addRow("range backwards") << bm + u"--chars 90-65"_s << u"„90-65“ ist kein Zeichen"_s << 218;
        QTest::addRow("beyond Unicode") << bm + u"--chars 0x110000"_s << u"„0x110000“"_s << 218;
        QTest::addRow("padding needs bmfont") << u"--padding 2"_s << u"--padding gilt nur mit --format bmfont"_s << 218;
        QTest::addRow("multi-byte code page") << u"--codepage 932"_s << u"Codepage 932"_s << 218;
        QTest::addRow("--chars twice") << bm + u"--chars 65 --chars 66-67,66"_s << QString() << 3;
        QTest::addRow("size 0") << bm + u"--size 0"_s << u"--size 0 gibt keine Größe"_s << 218;
        QTest::addRow("fractions in the text form")
            << bm + u"--fractional --descriptor text"_s << u"--fractional braucht --descriptor json"_s << 218;
        QTest::addRow("line height 0") << bm + u"--line-height 0"_s << u"--line-height 0 gibt keine Größe"_s << 218;
        QTest::addRow("points and cap height")
            << bm + u"--cap-height 9 --size 9"_s << u"--size und --cap-height schließen einander aus"_s << 218;
        QTest::addRow("pixels and line height")
            << bm + u"--pixels 9 --line-height 12"_s << u"--pixels und --line-height schließen"_s << 218;
        QTest::addRow("points and pixels") << bm + u"--size 9 --pixels 12"_s << u"schließen einander aus"_s << 218;
        QTest::addRow("three paddings") << bm + u"--padding 1,2,3"_s << u"eine oder vier ganze Zahlen"_s << 218;
        const QString missingWanted = u"erwartet none, notdef, ein Zeichen oder seinen Wert"_s;
        QTest::addRow("missing glyph of two characters") << bm + u"--missing-glyph ab"_s << missingWanted << 218;
        QTest::addRow("missing glyph of a range") << bm + u"--missing-glyph 65-66"_s << missingWanted << 218;
        QTest::addRow("missing glyph beyond Unicode") << bm + u"--missing-glyph 0x110000"_s << missingWanted << 218;
        QTest::addRow("all of Unicode a thousand times")
            << bm + u"--chars "_s + QStringList(1000, u"0-0x10FFFF"_s).join(u',') << QString() << 0x110000 - 0x800;
    }

    void commandLine()
    {
        QFETCH(QString, options);
        QFETCH(QString, problem);
        const Result<CommandLine> line =
            parseCommandLine(u"glyfrax-export "_s.append(options).split(u' ') << u"a.png"_s);
        QCOMPARE(line ? QString() : line.error().contains(problem) ? problem : line.error(), problem);
        Settings settings;
        if (line)
            line->overrides.applyTo(settings);
        QTEST(int(chosenCharacters(settings.bmfont).value().size()), "characters");
    }

    // Sets of the test variable font at the weight axis's minimum, default and maximum: the stem of
    // I (its cell's width without padding), the advances and the kerning are the font's there, which
    // tests/data/make-variable-font.py gives as a + b t (t from 0 at wght 100 to 1 at 900); at 100
    // pixels per em a pixel is ten units.
    void variableFontSets_data()
    {
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("installed"); // the family installed, varied from its tables; else the file
        for (const int weight : {100, 400, 900}) {
            QTest::addRow("file, wght=%d", weight) << weight << false;
            QTest::addRow("installed, wght=%d", weight) << weight << true;
        }
    }
    void variableFontSets()
    {
        QFETCH(int, weight);
        QFETCH(bool, installed);
        const double t = (weight - 100) / 800.0;
        const QString path = test::dataPath(u"glyfrax-test-variable.ttf"_s);
        BmFontOptions options = optionsOf(u"--chars 32,65,72,73,86 --padding 0"_s);
        QString family;
        if (installed) {
            family = QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(path)).value(0);
            options.variation.axes = {{u"wght"_s, double(weight)}};
        } else {
            const Result<RegisteredFont> font = registerFontFile(path, {{}, {{u"wght"_s, double(weight)}}});
            QVERIFY(font);
            family = font->family;
        }
        QVERIFY(!family.isEmpty());
        QTemporaryDir folder;
        QVERIFY(exportTo(folder.filePath(u"set.png"_s), {family, 75.0F}, options));
        const QString descriptor = QString::fromUtf8(readAll(folder.filePath(u"set.fnt"_s)));
        const auto field = [&descriptor](int id, const QString& name) {
            const QRegularExpression line(u"char id=%1 .*\\b%2=(-?\\d+)"_s.arg(id).arg(name));
            return line.match(descriptor).captured(1).toInt();
        };
        QCOMPARE(field(73, u"width"_s), qRound((40 + 160 * t) / 10));
        QCOMPARE(field(73, u"xadvance"_s), qRound((120 + 160 * t) / 10));
        QCOMPARE(field(72, u"xadvance"_s), qRound((520 + 320 * t) / 10));
        QCOMPARE(field(32, u"xadvance"_s), qRound((200 + 80 * t) / 10));
        // The kerning pair A V, varied as its masters say.
        QVERIFY(descriptor.contains(u"kerning first=65 second=86 amount=%1\n"_s.arg(qRound((-40 - 80 * t) / 10))));
    }
};

QTEST_MAIN(TestBmFont)
#include "tst_bmfont.moc"
