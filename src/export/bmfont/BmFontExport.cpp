#include "export/bmfont/BmFontExport.h"

#include "base/AtomicFile.h"
#include "base/CharacterName.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/Kerning.h"
#include "export/classic/ClassicExport.h"
#include "layout/CellPacking.h"
#include "layout/CellShapes.h"
#include "render/BmpWriter.h"
#include "render/DistanceField.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphEffects.h"
#include "render/GlyphPages.h"
#include "render/ImageFile.h"
#include "render/InkReader.h"
#include "settings/CharacterRanges.h"
#include "settings/ColorValue.h"
#include "settings/EnginePresets.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPainterPath>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <unordered_map>

namespace glyfrax {

namespace {

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kBlack = 0;

Result<std::vector<char32_t>> charactersOfFile(const QString& path)
{
    // A text of every character Unicode has is under 5 MiB in UTF-8.
    const Result<QByteArray> bytes = readRegularFile(path, qint64(16) << 20);
    if (!bytes)
        return failure(bytes.error());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(*bytes);
    if (utf8.hasError())
        return failure(
            QStringLiteral("Die Zeichendatei „%1“ ist kein gültiges UTF-8.").arg(QDir::toNativeSeparators(path)));
    return charactersOfText(text);
}

} // namespace

Result<std::vector<char32_t>> chosenCharacters(const BmFontOptions& options)
{
    std::vector<char32_t> wanted;
    if (!options.chars.isEmpty()) {
        const Result<std::vector<char32_t>> listed = parseCharacterRanges(options.chars);
        if (!listed)
            return failure(listed.error());
        wanted = *listed;
    }
    if (!options.charsFile.isEmpty()) {
        const Result<std::vector<char32_t>> fromFile = charactersOfFile(options.charsFile);
        if (!fromFile)
            return failure(fromFile.error());
        wanted = mergeCharacters(std::move(wanted), *fromFile);
    }
    const bool chosen = !options.chars.isEmpty() || !options.charsFile.isEmpty();
    if (chosen && options.codePage == 0)
        return wanted;
    const Result<CodePage> page = options.codePage == 0 ? CodePage::windows1252() : CodePage::windows(options.codePage);
    if (!page)
        return failure(page.error());
    const CodePage& codePage = *page;
    std::vector<char32_t> ofCodePage;
    for (int code = 32; code <= 255; ++code) {
        // A code the page leaves unassigned stands for a control character (as 0x81 does in
        // Windows-1252), and so does DEL: no font draws them, and no text of a game holds them.
        const char32_t character = codePage.character(static_cast<unsigned char>(code));
        if (character != 0 && QChar::category(character) != QChar::Other_Control)
            ofCodePage.push_back(character);
    }
    return mergeCharacters(std::move(wanted), ofCodePage);
}

namespace {

// The pages the descriptor now at descriptorPath names, if they are pages of this image's name
// beside it (the image's own name, or its stem with a page number, as PNG or BMP) and have the
// descriptor's owner; never anything else, whatever the descriptor says. A descriptor that
// another user put into a shared folder does not make the export remove the user's files.
QStringList earlierPages(const QString& descriptorPath, const QString& imagePath)
{
    if (fileKind(descriptorPath) != FileKind::Regular)
        return {};
    const Result<QByteArray> head = readRegularFileHead(descriptorPath, kDescriptorHeadSize);
    const std::optional<uint> owner = entryOwner(descriptorPath);
    if (!head || !owner)
        return {};
    const QString image = QFileInfo(imagePath).fileName();
    const QString stem = image.left(image.size() - extensionOf(image).size());
    static const QRegularExpression numbered(QStringLiteral(R"(^(_[0-9]+)?\.(png|bmp)$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QDir folder = QFileInfo(descriptorPath).dir();
    QStringList pages;
    for (const QString& name : pageFilesNamedBy(*head)) {
        const QString path = folder.filePath(name);
        if ((name == image || (name.startsWith(stem) && numbered.match(name.mid(stem.size())).hasMatch())) &&
            entryOwner(path) == owner)
            pages.append(path);
    }
    return pages;
}

Result<void> checkOutputs(const QStringList& outputs)
{
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        for (qsizetype j = i + 1; j < outputs.size(); ++j) {
            if (QFileInfo(outputs[i]).absoluteFilePath() == QFileInfo(outputs[j]).absoluteFilePath())
                return failure(QStringLiteral("Beschreibung und Textur hätten denselben Namen „%1“. Bitte wählen Sie "
                                              "für die Textur einen Namen auf .png oder .bmp.")
                                   .arg(shownPath(outputs[i])));
        }
    }
    return {};
}

// One distinct glyph of one font: the characters that the font draws with it share its cell.
struct GlyphCell
{
    int font = 0; // the set's font it comes from
    quint32 glyph = 0;
    std::int32_t advance = 0;
    std::vector<char32_t> characters;
    double exactAdvance = 0; // from the font's units at its size, for a descriptor with fractions
};

CellSize cellSize(const GlyphInk& ink, const CellPadding& padding)
{
    return ink.box.isEmpty()
               ? CellSize{}
               : CellSize{ink.box.width() + padding.left + padding.right, ink.box.height() + padding.up + padding.down};
}

// The ink within the cell alone, for a cell that starts to the right of or below some of it.
void cutToCell(GlyphInk& ink, const QRect& cell)
{
    const QRect kept = ink.box & cell;
    const auto cut = [&](std::vector<std::uint8_t>& plane) {
        if (plane.empty())
            return;
        std::vector<std::uint8_t> within;
        within.reserve(std::size_t(kept.width()) * std::size_t(kept.height()));
        for (int y = kept.top(); y <= kept.bottom(); ++y) {
            const auto row = plane.begin() + std::ptrdiff_t(y - ink.box.top()) * ink.box.width();
            within.insert(within.end(), row + (kept.left() - ink.box.left()),
                          row + (kept.right() + 1 - ink.box.left()));
        }
        plane = std::move(within);
    };
    cut(ink.coverage);
    cut(ink.outline);
    cut(ink.shadow);
    ink.box = kept;
}

// The distinct glyphs of the chosen characters, each from the first font that has it, with
// their ink; and the characters no font has.
struct GlyphSet
{
    std::vector<GlyphCell> cells;
    std::vector<GlyphInk> inks;         // by cell
    std::vector<QPainterPath> outlines; // by cell, for a distance field
    std::vector<char32_t> missing;
};

// The glyph of each character in one font; 0 where the font has none (its substitute glyph).
std::vector<quint32> glyphsOf(const QRawFont& font, const std::vector<char32_t>& characters)
{
    // One call for all characters: a call each would dominate the time for a whole font.
    const QString text = QString::fromUcs4(characters.data(), qsizetype(characters.size()));
    std::vector<quint32> glyphs(std::size_t(text.size()) + 1);
    int count = int(glyphs.size());
    if (!font.glyphIndexesForChars(text.constData(), int(text.size()), glyphs.data(), &count))
        count = 0;
    glyphs.resize(characters.size()); // one character each: a pair of surrogates gives one glyph
    std::fill(glyphs.begin() + std::min<std::ptrdiff_t>(count, std::ptrdiff_t(glyphs.size())), glyphs.end(), 0);
    return glyphs;
}

Failure noLongerWanted()
{
    return failure(QStringLiteral("Die Planung wurde abgebrochen, weil sie nicht mehr gebraucht wird."));
}

// How the options have glyphs drawn. A field comes from the outlines as designed, which hints do
// not change; it is exact without supersampling, and monochrome glyphs have no shades to gain.
GlyphRaster rasterOf(const BmFontOptions& options)
{
    return {options.monochrome, options.field == PageField::None ? options.hinting : Hinting::None};
}

int supersampleOf(const BmFontOptions& options)
{
    return options.field == PageField::None && !options.monochrome ? options.supersample : 1;
}

// Glyphs are drawn supersampled at this many pixels per em at most: far above, each would take a
// canvas of hundreds of megabytes, and edges that large are smooth without it.
constexpr double kLargestSupersampledSize = 1024;

// Lowers the supersampling of a large size to the largest factor within the limit, and says so.
void limitSupersampling(BmFontOptions& options, double pixelSize, QStringList& notes, OptionWords words)
{
    const int wanted = options.supersample;
    while (options.supersample > 1 && pixelSize * options.supersample > kLargestSupersampledSize)
        options.supersample /= 2;
    if (options.supersample != wanted && supersampleOf(options) == options.supersample)
        notes.append(QStringLiteral("%1: Bei %2 Pixeln je Geviert zeichnet Glyfrax höchstens %3 Pixel je Geviert; die "
                                    "Überabtastung ist %4 × statt %5 ×.")
                         .arg(optionWording(u"Supersample", words))
                         .arg(pixelSize)
                         .arg(kLargestSupersampledSize)
                         .arg(options.supersample)
                         .arg(wanted));
}

// The ink of one glyph as the pages show it: its coverage, with effects beneath it, or for a
// distance field the outline's box grown by half the range (no coverage), the outline kept.
struct InkTools
{
    QRawFont font;
    InkReader reader;
};

GlyphInk readInk(InkTools& tools, quint32 glyph, const BmFontOptions& options, QSize largest, QPainterPath& outline)
{
    if (options.field != PageField::None) {
        outline = tools.font.pathForGlyph(glyph);
        return {fieldBox(outline, options.distanceRange), {}, {}, {}};
    }
    GlyphInk ink = tools.reader.read(glyph, largest);
    if (!options.hasEffects())
        return ink;
    return withEffects(ink, tools.font.pathForGlyph(glyph),
                       {options.outline, options.shadow, options.monochrome, supersampleOf(options)});
}

// Each glyph's ink, drawn on every thread, each with fonts and canvases of its own. Which thread
// draws a glyph does not change its ink. A glyph too large for a page stops the drawing: the
// first of those found is the failure.
// stillWanted is asked on the calling thread only, between glyphs once kAskEvery has passed: a
// large glyph with an outline and a blurred shadow takes a second, so a count of glyphs between the
// questions would leave a cancel waiting for a minute; a clock read per glyph costs nothing.
Result<void> readInks(const std::vector<FontMeasure>& fonts, GlyphSet& set, const BmFontOptions& options, int threads,
                      const std::function<bool()>& stillWanted, OptionWords words)
{
    const std::vector<GlyphCell>& cells = set.cells;
    const QSize largest(options.maxTexture - options.padding.left - options.padding.right,
                        options.maxTexture - options.padding.up - options.padding.down);
    std::vector<GlyphInk>& inks = set.inks;
    inks.resize(cells.size());
    if (options.field != PageField::None)
        set.outlines.resize(cells.size());
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> tooLarge{cells.size()};
    std::atomic<bool> abandoned{false};
    constexpr std::size_t kPerThread = 64; // glyphs that make another thread worth starting
    constexpr auto kAskEvery = std::chrono::milliseconds(20);
    runOnThreads(std::max(1, std::min(threads, int(cells.size() / kPerThread) + 1)), [&](int worker) {
        std::vector<std::optional<InkTools>> tools(fonts.size());
        QPainterPath unused;
        auto asked = std::chrono::steady_clock::time_point();
        for (std::size_t i; (i = next.fetch_add(1)) < cells.size() && tooLarge == cells.size();) {
            if (worker == 0 && stillWanted && std::chrono::steady_clock::now() - asked >= kAskEvery) {
                asked = std::chrono::steady_clock::now();
                abandoned = abandoned || !stillWanted();
            }
            if (abandoned)
                break;
            std::optional<InkTools>& own = tools[std::size_t(cells[i].font)];
            if (!own) {
                const QRawFont font = fonts[std::size_t(cells[i].font)].rawFontForThisThread();
                own.emplace(InkTools{font, InkReader(font, options.monochrome, supersampleOf(options))});
            }
            inks[i] = readInk(*own, cells[i].glyph, options, largest, set.outlines.empty() ? unused : set.outlines[i]);
            if (!checkCellSize(cellSize(inks[i], options.padding), options.maxTexture)) {
                for (std::size_t known = tooLarge; i < known && !tooLarge.compare_exchange_weak(known, i);)
                    ;
                break;
            }
        }
    });
    if (abandoned)
        return noLongerWanted();
    if (tooLarge < cells.size())
        return failure(QStringLiteral("Zeichen %1: %2")
                           .arg(describeCharacters(cells[tooLarge].characters),
                                checkCellSize(cellSize(inks[tooLarge], options.padding), options.maxTexture,
                                              optionWording(u"MaxTexture", words))
                                    .error()));
    return {};
}

// A glyph's advance in pixels at the font's size, exact from its units in the hmtx table; Qt's
// design metrics, which come in 64ths of a pixel, when the tables do not give it.
double exactAdvance(const QRawFont& font, quint32 glyph)
{
    const QByteArray hhea = font.fontTable("hhea");
    const QByteArray hmtx = font.fontTable("hmtx");
    const auto word = [](const QByteArray& table, qsizetype at) {
        return at + 2 <= table.size() ? int(quint8(table[at])) << 8 | quint8(table[at + 1]) : -1;
    };
    const int metrics = word(hhea, 34); // numberOfHMetrics; later glyphs take the last advance
    const int units = metrics > 0 ? word(hmtx, 4 * std::min<qsizetype>(glyph, metrics - 1)) : -1;
    if (units >= 0 && font.unitsPerEm() > 0)
        return units * font.pixelSize() / font.unitsPerEm();
    QPointF advance;
    font.advancesForGlyphIndexes(&glyph, &advance, 1, QRawFont::UseDesignMetrics);
    return advance.x();
}

// The cell for characters no font has: the main font's glyph for them, or the glyph of a character
// from the first font that has it, shared with that character's cell.
Result<void> addMissingGlyph(const std::vector<FontMeasure>& fonts, const MissingGlyph& wanted, GlyphSet& set,
                             std::map<std::pair<int, quint32>, std::size_t>& cellOf)
{
    if (!wanted.wanted())
        return {};
    std::pair<int, quint32> key{0, 0}; // .notdef of the main font
    if (!wanted.notdef) {
        int font = 0;
        quint32 glyph = 0;
        for (; font < int(fonts.size()) && glyph == 0; ++font)
            glyph = glyphsOf(fonts[std::size_t(font)].rawFont(), {wanted.character}).front();
        if (glyph == 0)
            return failure(QStringLiteral("--missing-glyph: Keine der Schriften hat das Zeichen %1.")
                               .arg(describeCharacters({wanted.character})));
        key = {font - 1, glyph};
    }
    const auto [at, added] = cellOf.try_emplace(key, set.cells.size());
    if (added)
        set.cells.push_back({key.first, key.second, fonts[std::size_t(key.first)].advanceOf(key.second), {}});
    set.cells[at->second].characters.push_back(kMissingGlyphId);
    return {};
}

// A glyph too large for a page ends the collection before a page is drawn.
Result<GlyphSet> collectGlyphs(const std::vector<FontMeasure>& fonts, const std::vector<char32_t>& wanted,
                               const BmFontOptions& options, int threads, const std::function<bool()>& stillWanted,
                               OptionWords words)
{
    GlyphSet set;
    std::map<std::pair<int, quint32>, std::size_t> cellOf;
    std::vector<char32_t> left = wanted;
    for (int font = 0; font < int(fonts.size()) && !left.empty(); ++font) {
        const FontMeasure& measure = fonts[std::size_t(font)];
        const std::vector<quint32> glyphs = glyphsOf(measure.rawFont(), left);
        std::vector<char32_t> lacking;
        for (std::size_t i = 0; i < left.size(); ++i) {
            if (glyphs[i] == 0) {
                lacking.push_back(left[i]);
                continue;
            }
            const auto [at, added] = cellOf.try_emplace({font, glyphs[i]}, set.cells.size());
            if (added)
                set.cells.push_back({font, glyphs[i], measure.advanceOf(glyphs[i]), {}});
            set.cells[at->second].characters.push_back(left[i]);
        }
        left = std::move(lacking);
    }
    set.missing = std::move(left);
    if (const Result<void> added = addMissingGlyph(fonts, options.missingGlyph, set, cellOf); !added)
        return failure(added.error());
    if (options.fractional) {
        for (GlyphCell& cell : set.cells)
            cell.exactAdvance = exactAdvance(fonts[std::size_t(cell.font)].rawFont(), cell.glyph);
    }
    if (const Result<void> read = readInks(fonts, set, options, threads, stillWanted, words); !read)
        return failure(read.error());
    return set;
}

// Kerning in whole pixels at the font's size (and exact, for fractions), between characters of one
// font; pairs that round to zero are left out (for fractions, those that are zero). A note tells when
// the font's tables were too much to read whole.
void addKerningPairs(const QRawFont& font, int fontIndex, const std::vector<GlyphCell>& cells, bool fractional,
                     std::vector<BmFontKerning>& pairs, QStringList& notes)
{
    std::vector<quint32> glyphs;
    std::unordered_map<quint32, const std::vector<char32_t>*> charactersOf;
    for (const GlyphCell& cell : cells) {
        if (cell.font != fontIndex)
            continue;
        glyphs.push_back(cell.glyph);
        charactersOf[cell.glyph] = &cell.characters;
    }
    if (glyphs.empty())
        return;
    const double scale = font.pixelSize() / font.unitsPerEm();
    const FoundKerning found = readKerning(font.fontTable("GPOS"), font.fontTable("kern"), glyphs);
    if (!found.complete)
        notes.append(QStringLiteral("Die Unterschneidungstabellen der Schrift „%1“ sind zu umfangreich: Die "
                                    "Beschreibung hat nur die Paare der Tabellen, die bis zur Grenze gelesen wurden.")
                         .arg(shownName(font.familyName())));
    for (const GlyphKerning& kerning : found.pairs) {
        // Far beyond any field, but a whole number: the descriptor's range is applied later, and said.
        const double exact = std::clamp(double(kerning.adjustment) * scale, -1e15, 1e15);
        const std::int64_t amount = std::isnan(exact) ? 0 : qRound64(exact);
        if (amount == 0 && !(fractional && exact != 0 && !std::isnan(exact)))
            continue;
        for (const char32_t first : *charactersOf.at(kerning.first)) {
            for (const char32_t second : *charactersOf.at(kerning.second)) {
                if (first != kMissingGlyphId && second != kMissingGlyphId) // no character follows or precedes it
                    pairs.push_back({first, second, amount, fractional ? exact : 0.0});
            }
        }
    }
}

std::vector<BmFontKerning> kerningPairs(const std::vector<FontMeasure>& fonts, const std::vector<GlyphCell>& cells,
                                        bool fractional, QStringList& notes)
{
    std::vector<BmFontKerning> pairs;
    for (std::size_t font = 0; font < fonts.size(); ++font)
        addKerningPairs(fonts[font].rawFont(), int(font), cells, fractional, pairs, notes);
    std::sort(pairs.begin(), pairs.end(), [](const BmFontKerning& a, const BmFontKerning& b) {
        return std::pair(a.first, a.second) < std::pair(b.first, b.second);
    });
    return pairs;
}

QString faceName(const FontMeasure& measure, const BmFontRun& run)
{
    return run.faceName.isEmpty() ? ownFamilyName(measure.rawFont()) : run.faceName;
}

// The largest size in whole pixels per em whose line height (or cap height), in whole pixels, is
// not beyond wanted; at least 1. Heights grow with the size, so halving the range finds it.
std::int32_t pixelsForHeight(FontSettings font, bool capitals, std::int32_t wanted, GlyphRaster raster,
                             std::int32_t& reached)
{
    const auto heightAt = [&](std::int32_t pixels) {
        font.size = float(pixels) * 0.75F;
        const FontMeasure measure(font, CodePage::windows1252(), raster);
        return capitals ? std::int32_t(std::lround(measure.rawFont().capHeight())) : measure.lineHeight();
    };
    std::int32_t low = 1;
    std::int32_t high = kMaxPixels;
    while (low < high) {
        const std::int32_t middle = low + (high - low + 1) / 2;
        if (heightAt(middle) <= wanted)
            low = middle;
        else
            high = middle - 1;
    }
    reached = heightAt(low);
    return low;
}

// The font settings at the size the options ask for: pixels per em become points at 96 dpi; a
// line or cap height that no size gives exactly is noted with the height reached.
FontSettings sizedFont(const Settings& settings, QStringList& notes)
{
    const BmFontOptions& options = settings.bmfont;
    FontSettings font = settings.font;
    std::int32_t pixels = options.pixels;
    if (options.lineHeight > 0 || options.capHeight > 0) {
        const bool capitals = options.lineHeight == 0;
        const std::int32_t wanted = capitals ? options.capHeight : options.lineHeight;
        std::int32_t reached = 0;
        pixels = pixelsForHeight(font, capitals, wanted, rasterOf(options), reached);
        if (reached != wanted)
            notes.append(QStringLiteral("%1 %2: Keine Größe gibt genau diese Höhe; gewählt sind %3 Pixel je Geviert "
                                        "mit %4 Pixeln.")
                             .arg(capitals ? QStringLiteral("--cap-height") : QStringLiteral("--line-height"))
                             .arg(wanted)
                             .arg(pixels)
                             .arg(reached));
    }
    if (pixels > 0)
        font.size = float(pixels) * 0.75F;
    return font;
}

// Why a fallback cannot be used, the fallback named first as names are in messages; where the
// reason names its file again, that is cut the same way, so that a path of any length is shown
// as a line's worth and not twice whole.
QString fallbackProblem(const QString& fallback, QString reason)
{
    for (const QString& path : {fallback, splitFaceNumber(fallback).path}) {
        reason.replace(QStringLiteral("„%1“").arg(shownPath(path)),
                       QStringLiteral("„%1“").arg(shownName(QDir::toNativeSeparators(path))));
    }
    return QStringLiteral("Ersatzschrift „%1“: %2").arg(shownName(fallback), reason);
}

// The fallback fonts at the main font's size and style, each found or registered; their files
// are inputs of the export.
Result<std::vector<FontMeasure>> fallbackFonts(const FontSettings& main, const QStringList& fallbacks,
                                               GlyphRaster raster, std::vector<QString>& names, QStringList& files)
{
    std::vector<FontMeasure> fonts;
    for (const QString& fallback : fallbacks) {
        const Result<RegisteredFont> found = findFont(fallback);
        if (!found)
            return failure(fallbackProblem(fallback, found.error()));
        FontSettings face = main;
        face.face = found->family;
        fonts.emplace_back(face, CodePage::windows1252(), raster);
        names.push_back(found->displayName);
        if (!found->file.isEmpty())
            files.append(found->file);
    }
    return fonts;
}

// The descriptor's font-wide values; the characters, kerning pairs and page names come separately.
BmFont describeFont(const FontMeasure& measure, const Settings& settings, const BmFontRun& run, const Packing& packing,
                    bool opaque)
{
    static const char16_t* const kFieldTypes[] = {u"", u"sdf", u"msdf", u"mtsdf"}; // by PageField
    const BmFontOptions& options = settings.bmfont;
    BmFont font;
    font.face = faceName(measure, run);
    font.size = qRound(measure.rawFont().pixelSize());
    font.bold = settings.font.bold;
    font.italic = settings.font.italic;
    font.supersample = supersampleOf(options);
    font.padding = {options.padding.up, options.padding.right, options.padding.down, options.padding.left};
    font.spacing = {options.spacing.horizontal, options.spacing.vertical};
    font.lineHeight = measure.lineHeight();
    font.base = measure.ascent();
    font.scaleW = packing.width;
    font.scaleH = packing.height;
    // What each channel holds: the glyph (its coverage, its colour with its effects, or its
    // distance) or one. An msdf page's alpha is one; an mtsdf page's holds the true distance.
    // Premultiplied colours follow the alpha; a grey page has no alpha, packed pages hold glyphs in all.
    const bool colourHoldsGlyph = opaque || options.hasEffects() || options.field != PageField::None ||
                                  options.premultiplied || options.channels == PageChannels::Gray ||
                                  options.packChannels;
    const bool alphaIsOne = opaque || options.field == PageField::Msdf || options.channels == PageChannels::Gray;
    font.alpha = alphaIsOne && !options.packChannels ? ChannelContent::One : ChannelContent::Glyph;
    font.color = colourHoldsGlyph ? ChannelContent::Glyph : ChannelContent::One;
    font.packed = options.packChannels;
    font.outline = options.field == PageField::None ? options.outline : 0;
    font.fieldType = QString::fromUtf16(kFieldTypes[int(options.field)]);
    font.distanceRange = options.distanceRange;
    font.fractional = options.fractional;
    return font;
}

// The cells on pages. Packed pages are four to an image, so the smallest side that holds the cells
// on four pages makes the fewest bytes: one image, a quarter of one page of four times the area.
Result<Packing> packPages(const std::vector<CellSize>& sizes, PackingRules rules, const BmFontOptions& options)
{
    const auto pack = [&](const PackingRules& tried) {
        return options.grid ? gridCells(sizes.size(), sizes.empty() ? CellSize{} : sizes.front(), tried)
                            : packCells(sizes, tried);
    };
    constexpr std::int32_t kSmallestPackedSide = 16;
    if (options.packChannels) {
        for (PackingRules smaller = rules; (smaller.maxSide /= 2) >= kSmallestPackedSide;) {
            // From the largest side down: stop where four pages no longer hold the cells.
            Result<Packing> tried = pack(smaller);
            if (!tried || tried->pageCount > 4)
                break;
            rules = smaller;
        }
    }
    return pack(rules);
}

// A set of one page ends at its last used column and row, rounded up to a multiple of 4, and
// the descriptor's scaleW and scaleH say so. Pages of a larger set stay alike: readers divide
// every page's coordinates by scaleW and scaleH, which one smaller page would make wrong.
void cropSinglePage(Packing& packing, const std::vector<CellSize>& sizes)
{
    if (packing.pageCount != 1)
        return;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i].width > 0 && sizes[i].height > 0) {
            right = std::max(right, packing.cells[i].x + sizes[i].width);
            bottom = std::max(bottom, packing.cells[i].y + sizes[i].height);
        }
    }
    const auto roundUp = [](std::int32_t side, std::int32_t full) {
        return std::min(full, std::max(4, (side + 3) / 4 * 4));
    };
    packing.width = roundUp(right, packing.width);
    packing.height = roundUp(bottom, packing.height);
}

// Each glyph's cell relative to its pen position, as the options shape it.
std::vector<QRect> shapeCells(const std::vector<GlyphInk>& inks, const BmFontOptions& options, LineSpan line)
{
    std::vector<QRect> boxes;
    boxes.reserve(inks.size());
    for (const GlyphInk& ink : inks)
        boxes.push_back(ink.box);
    return shapeCells(boxes, options.padding, {options.grid, options.equalHeight, options.zeroOffsets}, line);
}

// Cuts each ink to its cell where the cell does not hold all of it (cells with zero offsets);
// returns the characters whose ink was cut, sorted.
std::vector<char32_t> cutInksToCells(GlyphSet& glyphs, const std::vector<QRect>& shapes)
{
    std::vector<char32_t> cut;
    for (std::size_t i = 0; i < glyphs.inks.size(); ++i) {
        GlyphInk& ink = glyphs.inks[i];
        if (ink.box.isEmpty() || shapes[i].contains(ink.box))
            continue;
        cutToCell(ink, shapes[i]);
        cut.insert(cut.end(), glyphs.cells[i].characters.begin(), glyphs.cells[i].characters.end());
    }
    std::sort(cut.begin(), cut.end());
    return cut;
}

// One cell on the pages: of a glyph, which its characters share; in a grid, of one character
// each, in the order of their codes, so that a cell's place follows from its number.
struct CellSlot
{
    std::size_t glyph = 0; // in the set's cells
    std::vector<char32_t> characters;
};

std::vector<CellSlot> cellSlots(const std::vector<GlyphCell>& cells, bool grid)
{
    std::vector<CellSlot> places;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (!grid) {
            places.push_back({i, cells[i].characters});
            continue;
        }
        for (const char32_t character : cells[i].characters)
            places.push_back({i, {character}});
    }
    if (grid)
        std::sort(places.begin(), places.end(), [](const CellSlot& a, const CellSlot& b) {
            return signedId(a.characters.front()) < signedId(b.characters.front());
        });
    return places;
}

} // namespace

QString descriptorPathFor(const QString& imagePath, DescriptorForm form)
{
    return withExtension(imagePath, form == DescriptorForm::Json ? QStringLiteral(".json") : QStringLiteral(".fnt"));
}

QStringList pagePathsFor(const QString& imagePath, int pageCount)
{
    if (pageCount <= 1)
        return {imagePath};
    const int digits = int(QString::number(pageCount - 1).size());
    QStringList paths;
    for (int page = 0; page < pageCount; ++page) {
        const QString number = QStringLiteral("_%1").arg(page, digits, 10, QChar(u'0'));
        paths.append(withExtension(imagePath, number + extensionOf(imagePath)));
    }
    return paths;
}

Result<void> checkBmFontSize(const Settings& settings)
{
    const BmFontOptions& options = settings.bmfont;
    if (options.pixels > 0 || options.lineHeight > 0 || options.capHeight > 0 || settings.font.size > 0.0F)
        return {};
    return failure(QStringLiteral("Die Einstellungen nennen keine Schriftgröße; geben Sie eine mit --size in Punkt "
                                  "oder mit --pixels in Pixeln an."));
}

Result<BmFontPlan> planBmFont(const Settings& given, const BmFontRun& run, ImageFormat format, const QPalette& palette)
{
    Settings settings = given;
    settings.bmfont = withEngineChoices(given.bmfont);
    const BmFontOptions& options = settings.bmfont;
    if (const Result<void> sized = checkBmFontSize(settings); !sized)
        return failure(sized.error());
    if (const QString problem =
            pageContentProblem(options, format == ImageFormat::Bmp, run.textColor || run.backColor, run.words);
        !problem.isEmpty())
        return failure(problem);
    if (const QString problem = fractionalProblem(options); !problem.isEmpty())
        return failure(problem);
    const Result<std::vector<char32_t>> wanted = chosenCharacters(options);
    if (!wanted)
        return failure(wanted.error());
    BmFontPlan plan;
    if (const QString misread = misreadingEngines(options); !misread.isEmpty())
        plan.notes.append(misread);
    if (const QString replaced = engineFormNote(given.bmfont, run.words); !replaced.isEmpty())
        plan.notes.append(replaced);
    // The classic export's measure: the same font, size and rendering choices at 96 dpi.
    const FontSettings sized = sizedFont(settings, plan.notes);
    plan.fonts.emplace_back(sized, CodePage::windows1252(), rasterOf(options));
    limitSupersampling(settings.bmfont, plan.fonts.front().rawFont().pixelSize(), plan.notes, run.words);
    std::vector<QString> fallbackNames;
    Result<std::vector<FontMeasure>> fallbacks =
        fallbackFonts(sized, options.fallbacks, rasterOf(options), fallbackNames, plan.fontFiles);
    if (!fallbacks)
        return failure(fallbacks.error());
    std::move(fallbacks->begin(), fallbacks->end(), std::back_inserter(plan.fonts));
    const FontMeasure& measure = plan.fonts.front();
    Result<GlyphSet> collected = collectGlyphs(plan.fonts, *wanted, options, run.threads, run.stillWanted, run.words);
    if (!collected)
        return failure(collected.error());
    GlyphSet& glyphs = *collected;
    if (glyphs.cells.empty())
        return failure(QStringLiteral("Die Schrift „%1“ hat keines der gewählten Zeichen.")
                           .arg(shownName(faceName(measure, run))));

    const std::vector<QRect> shapes = shapeCells(glyphs.inks, options, {measure.ascent(), measure.lineHeight()});
    const std::vector<char32_t> cut = cutInksToCells(glyphs, shapes);
    if (!cut.empty())
        plan.notes.append(QStringLiteral("--zero-offsets: Die Tinte dieser Zeichen reicht links über den Stift oder "
                                         "über die Zeile hinaus und ist abgeschnitten: %1")
                              .arg(describeCharacters(cut)));
    const std::vector<CellSlot> places = cellSlots(glyphs.cells, options.grid);
    std::vector<CellSize> sizes;
    for (const CellSlot& slot : places)
        sizes.push_back({shapes[slot.glyph].width(), shapes[slot.glyph].height()});
    const PackingRules rules{options.spacing.horizontal, options.spacing.vertical, options.maxTexture,
                             !options.nonSquare};
    Result<Packing> packing = packPages(sizes, rules, options);
    if (!packing)
        return failure(packing.error());
    if (packing->pageCount > kMaxBmFontPages)
        return failure(QStringLiteral("Die Zeichen brauchen %1 Seiten, mehr als %2. Wählen Sie eine größere %3 oder "
                                      "weniger Zeichen.")
                           .arg(packing->pageCount)
                           .arg(kMaxBmFontPages)
                           .arg(optionWording(u"MaxTexture", run.words)));
    if (options.crop)
        cropSinglePage(*packing, sizes);
    if (run.stillWanted && !run.stillWanted())
        return noLongerWanted();
    if (run.approvePage) {
        if (const Result<void> approved = run.approvePage(packing->width, packing->height); !approved)
            return failure(approved.error());
    }
    if (format == ImageFormat::Bmp && !fitsBmp(packing->width, packing->height))
        return failure(QStringLiteral("Eine Textur von %1 x %2 Pixeln ist zu groß für eine BMP-Datei.")
                           .arg(packing->width)
                           .arg(packing->height));

    // Each glyph on its page, and each character in the descriptor, its cell's corner given from
    // the pen position and from the top of the line, which lies base above the baseline.
    const bool opaque = format == ImageFormat::Bmp || run.textColor || run.backColor || options.opaque;
    plan.descriptor = describeFont(measure, settings, run, *packing, opaque);
    plan.pageSize = QSize(packing->width, packing->height);
    plan.pages.resize(std::size_t(packing->pageCount));
    plan.monochrome = options.monochrome;
    plan.supersample = supersampleOf(options);
    plan.channels = options.channels;
    plan.premultiplied = options.premultiplied;
    plan.packed = options.packChannels;
    plan.threads = run.threads;
    plan.missing = glyphs.missing;
    BmFont& descriptor = plan.descriptor;
    std::vector<FallbackUse> uses(fallbackNames.size());
    double cellArea = 0;
    for (std::size_t k = 0; k < places.size(); ++k) {
        const GlyphCell& glyph = glyphs.cells[places[k].glyph];
        const QRect& shape = shapes[places[k].glyph];
        const PackedCell& at = packing->cells[k];
        const QRect cell(at.x, at.y, sizes[k].width, sizes[k].height);
        const QPoint corner = cell.isEmpty() ? QPoint() : shape.topLeft() + QPoint(0, descriptor.base);
        if (!cell.isEmpty())
            plan.pages[std::size_t(at.page)].push_back(
                {glyph.glyph, cell.topLeft() - shape.topLeft(), cell, glyph.font, places[k].glyph});
        cellArea += double(cell.width()) * cell.height();
        for (const char32_t id : places[k].characters) {
            const int layer = cell.isEmpty() ? 0 : at.page;
            descriptor.chars.push_back({id, cell.x(), cell.y(), cell.width(), cell.height(), corner.x(), corner.y(),
                                        glyph.advance, options.packChannels ? layer / 4 : layer, glyph.exactAdvance,
                                        options.packChannels ? 1 << (layer % 4) : kAllChannels});
            if (glyph.font > 0 && id != kMissingGlyphId)
                uses[std::size_t(glyph.font - 1)].characters.push_back(id);
        }
    }
    plan.inks = std::move(glyphs.inks);
    plan.outlines = std::move(glyphs.outlines);
    plan.field = options.field;
    plan.distanceRange = options.distanceRange;
    plan.effects = options.hasEffects();
    plan.fill = cellArea / (double(packing->width) * packing->height * packing->pageCount);
    for (std::size_t i = 0; i < uses.size(); ++i) {
        if (uses[i].characters.empty())
            continue;
        uses[i].name = fallbackNames[i];
        std::sort(uses[i].characters.begin(), uses[i].characters.end());
        plan.fallbacks.push_back(std::move(uses[i]));
    }
    std::sort(descriptor.chars.begin(), descriptor.chars.end(),
              [](const BmFontChar& a, const BmFontChar& b) { return signedId(a.id) < signedId(b.id); });
    if (options.kerning)
        descriptor.kernings = kerningPairs(plan.fonts, glyphs.cells, options.fractional, plan.notes);
    plan.notes += fitToDescriptor(descriptor);
    if (options.crop && packing->pageCount > 1)
        plan.notes.append(QStringLiteral("--crop: Die Zeichen brauchen %1 Seiten; sie bleiben gleich groß, denn "
                                         "scaleW und scaleH gelten für alle Seiten.")
                              .arg(packing->pageCount));

    // Opaque pages take the colours given for the run, else those of the settings when the options
    // ask for them, else white on black.
    auto colour = [&](const std::optional<std::int32_t>& given, std::int32_t ofSettings, std::int32_t otherwise) {
        return colorFromValue(
            given.value_or(options.opaque && !run.textColor && !run.backColor ? ofSettings : otherwise), palette);
    };
    plan.colors.coverageInAlpha = !opaque;
    plan.colors.text = colour(run.textColor, settings.font.textColor, kWhite);
    plan.colors.background = colour(run.backColor, settings.font.backColor, kBlack);
    plan.colors.outline = options.outlineColor;
    plan.colors.shadow = options.shadowColor;
    return plan;
}

namespace {

PageSource pageSource(const BmFontPlan& plan)
{
    return {&plan.fonts,     &plan.inks,   plan.colors,
            plan.monochrome, plan.threads, plan.effects,
            &plan.outlines,  plan.field,   double(plan.distanceRange),
            plan.supersample};
}

} // namespace

QImage drawBmFontPage(const BmFontPlan& plan, int page)
{
    const QImage shown = renderPage(pageSource(plan), plan.pageSize, plan.pages.at(std::size_t(page)));
    if (plan.channels != PageChannels::Gray || shown.isNull())
        return shown;
    // A grey page has no alpha: an engine shows its glyphs white on black.
    QImage grey = makeCanvas(shown.width(), shown.height(), QImage::Format_RGB32);
    grey.fill(Qt::black);
    QPainter(&grey).drawImage(0, 0, shown);
    return grey;
}

int bmFontFileCount(const BmFontPlan& plan)
{
    const int pages = int(plan.pages.size());
    return plan.packed ? (pages + 3) / 4 : pages;
}

namespace {

// The image of one file: its page (or for packed pages its four) as the options want it written.
QImage bmFontFilePage(const BmFontPlan& plan, int file)
{
    const PageSource source = pageSource(plan);
    if (!plan.packed) {
        const QImage page = renderPageForFile(source, plan.pageSize, plan.pages.at(std::size_t(file)));
        return plan.premultiplied ? premultipliedPage(page) : page;
    }
    QImage packed = makeCanvas(plan.pageSize.width(), plan.pageSize.height(), QImage::Format_ARGB32);
    if (packed.isNull())
        return packed;
    packed.fill(Qt::transparent);
    for (int channel = 0; channel < 4 && 4 * file + channel < int(plan.pages.size()); ++channel) {
        const QImage page = renderPageForFile(source, plan.pageSize, plan.pages[std::size_t(4 * file + channel)]);
        if (page.isNull())
            return page;
        packIntoChannel(packed, page, channel);
    }
    return packed;
}

} // namespace

Result<BmFontExported> exportBmFont(const QString& imagePath, const Settings& settings, const BmFontRun& run,
                                    const QPalette& palette)
{
    const ImageFormat format = imageFormatFor(imagePath);
    Result<BmFontPlan> planned = planBmFont(settings, run, format, palette);
    if (!planned)
        return failure(planned.error());
    BmFontPlan& plan = *planned;
    const DescriptorForm form = withEngineChoices(settings.bmfont).descriptor; // as the plan chose it
    BmFontExported exported{descriptorPathFor(imagePath, form),
                            pagePathsFor(imagePath, bmFontFileCount(plan)),
                            plan.pageSize.width(),
                            plan.pageSize.height(),
                            plan.missing,
                            {}};
    for (const FallbackUse& use : plan.fallbacks)
        exported.notes.append(QStringLiteral("Aus der Ersatzschrift „%1“ (%2 Zeichen): %3")
                                  .arg(shownName(use.name))
                                  .arg(use.characters.size())
                                  .arg(describeCharacters(use.characters)));
    exported.notes.append(QStringLiteral("Seitenfüllung: %1 % (Fläche der Zellen über der Fläche der Seiten)")
                              .arg(QLocale(QLocale::German).toString(100.0 * plan.fill, 'f', 1)));
    exported.notes += plan.notes;
    if (const Result<void> distinct = checkOutputs(exported.pagePaths + QStringList{exported.descriptorPath});
        !distinct)
        return failure(distinct.error());
    for (const QString& page : exported.pagePaths) {
        if (const QString problem = pageNameProblem(QFileInfo(page).fileName(), form); !problem.isEmpty())
            return failure(problem);
        plan.descriptor.pages.append(QFileInfo(page).fileName());
    }

    std::vector<FileContent> files;
    const int fileCount = bmFontFileCount(plan);
    for (int page = 0; page < fileCount; ++page) {
        // Each page is drawn only when its file is written, so one page at a time is held.
        files.push_back({exported.pagePaths.at(page), [&plan, &run, page, format, fileCount](QIODevice& device) {
                             if (run.progress)
                                 run.progress(page, fileCount);
                             // Refused before a page is drawn: the files written so far have no
                             // names yet, and the earlier set stays.
                             if (run.stillWanted && !run.stillWanted())
                                 return false;
                             // A page of its own is written as it is drawn, a field band by band.
                             if (!plan.packed && !plan.premultiplied)
                                 return writePageFile(device, pageSource(plan), plan.pageSize, plan.pages[page], format,
                                                      plan.channels);
                             return writeImage(device, bmFontFilePage(plan, page), format, plan.threads, plan.channels);
                         }});
    }
    files.push_back({exported.descriptorPath,
                     [&plan, form](QIODevice& device) { return writeDescriptor(device, plan.descriptor, form); }});
    // The earlier set goes as a whole: pages its descriptor named that this one does not write too.
    auto earlierFiles = [&exported, &imagePath] { return earlierPages(exported.descriptorPath, imagePath); };
    if (const Result<void> written = writeFilesAtomically({files, run.inputs + plan.fontFiles, earlierFiles}); !written)
        return run.stillWanted && !run.stillWanted() ? failure(cancelledExportMessage()) : failure(written.error());
    if (run.progress)
        run.progress(fileCount, fileCount);
    return exported;
}

QString pagesCaption(const BmFontExported& exported)
{
    const QString size = QStringLiteral("Textur: %1x%2").arg(exported.width).arg(exported.height);
    return exported.pagePaths.size() > 1 ? size + QStringLiteral(", %1 Seiten").arg(exported.pagePaths.size()) : size;
}

QString describeCharacters(const std::vector<char32_t>& characters, bool shown)
{
    // A few characters shown are named too; a long list stays a list of code points.
    constexpr std::size_t kNamedAtMost = 8;
    const bool named = shown && characters.size() <= kNamedAtMost;
    const auto name = [shown, named](char32_t c) {
        QString code = QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper();
        if (const QString unicode = named ? unicodeName(c) : QString(); !unicode.isEmpty())
            code += u' ' + unicode;
        // A character that draws nothing (a control or a space) is its code point alone.
        return shown && QChar::isPrint(c) && !QChar::isSpace(c)
                   ? QStringLiteral("„%1“ %2").arg(QString::fromUcs4(&c, 1), code)
                   : code;
    };
    QStringList ranges;
    for (std::size_t i = 0; i < characters.size();) {
        std::size_t end = i;
        while (end + 1 < characters.size() && characters[end + 1] == characters[end] + 1)
            ++end;
        ranges.append(end == i ? name(characters[i]) : name(characters[i]) + u'–' + name(characters[end]));
        i = end + 1;
    }
    return ranges.join(QStringLiteral(", "));
}

QString describeMissing(const std::vector<char32_t>& missing, bool shown)
{
    return QStringLiteral("Nicht in der Schrift, ausgelassen (%1 Zeichen): %2")
        .arg(missing.size())
        .arg(describeCharacters(missing, shown));
}

} // namespace glyfrax
