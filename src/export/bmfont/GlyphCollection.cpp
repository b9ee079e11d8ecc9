#include "export/bmfont/GlyphCollection.h"

#include "base/CharacterName.h"
#include "base/FileSafety.h"
#include "base/Parallel.h"
#include "export/bmfont/BmFontWriter.h"
#include "export/bmfont/Characters.h"
#include "layout/CellPacking.h"
#include "render/ColorGlyphs.h"
#include "render/DistanceField.h"
#include "render/GlyphEffects.h"
#include "render/ImageInk.h"

#include <QRawFont>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>

namespace glyfrax {

namespace {

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
    const auto cut = [&]<typename Value>(std::vector<Value>& plane) {
        if (plane.empty())
            return;
        std::vector<Value> within;
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
    cut(ink.colors);
    ink.box = kept;
}

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

// Glyphs are drawn supersampled at this many pixels per em at most: far above, each would take a
// canvas of hundreds of megabytes, and edges that large are smooth without it.
constexpr double kLargestSupersampledSize = 1024;

// The ink of one glyph as the pages show it: its coverage, with effects beneath it, or for a
// distance field the outline's box grown by half the range (no coverage), the outline kept.
struct InkTools
{
    QRawFont font;
    InkReader reader;
    std::optional<ColorGlyphs> colours; // where colour glyphs are wanted and the font has them
};

// A colour glyph's ink: its pixels, with the effects of its outline (a bitmap glyph has none of its
// own: the outline of its pixels then).
GlyphInk colourInk(const InkTools& tools, quint32 glyph, const DrawnColorGlyph& drawn, const BmFontOptions& options)
{
    const GlyphInk ink = imageInk(drawn.image, drawn.topLeft, true, options.monochrome);
    if (!options.hasEffects())
        return ink;
    QPainterPath outline = tools.font.pathForGlyph(glyph);
    if (outline.isEmpty()) {
        if (const Result<QPainterPath> ofPixels = imageOutline(drawn.image, drawn.topLeft, {}))
            outline = *ofPixels;
    }
    return imageWithEffects(ink, outline, {options.outline, options.shadow, options.monochrome, 1});
}

GlyphInk readInk(InkTools& tools, quint32 glyph, const BmFontOptions& options, QSize largest, QPainterPath& outline)
{
    if (options.field != PageField::None) {
        outline = tools.font.pathForGlyph(glyph);
        return {fieldBox(outline, options.distanceRange), {}, {}, {}};
    }
    if (tools.colours) {
        if (const std::optional<DrawnColorGlyph> drawn = tools.colours->draw(glyph, largest))
            return colourInk(tools, glyph, *drawn, options);
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
            if (cells[i].image >= 0)
                continue; // read before
            std::optional<InkTools>& own = tools[std::size_t(cells[i].font)];
            if (!own) {
                const QRawFont font = fonts[std::size_t(cells[i].font)].rawFontForThisThread();
                own.emplace(InkTools{font, InkReader(font, options.monochrome, supersampleOf(options)), {}});
                if (options.colorGlyphs && ColorGlyphs(font).any())
                    own->colours.emplace(font);
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
        set.cells.push_back({key.first, key.second, -1, fonts[std::size_t(key.first)].advanceOf(key.second), {}});
    set.cells[at->second].characters.push_back(kMissingGlyphId);
    return {};
}

// The character of a wanted one or of an image, for comparing the two.
char32_t characterOf(char32_t character)
{
    return character;
}
char32_t characterOf(const ImageCharacter& image)
{
    return image.character;
}

// The images' inks (their cells come first), as readInk makes a glyph's: the outline of their
// covered pixels gives the effects and a field.
Result<void> readImageInks(const std::vector<ImageCharacter>& images, GlyphSet& set, const BmFontOptions& options,
                           OptionWords words)
{
    set.inks.resize(set.cells.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const ImageCharacter& image = images[i];
        GlyphInk ink = imageInk(image.image, image.topLeft, options.colorGlyphs, options.monochrome);
        if (image.outline) {
            if (options.field != PageField::None) {
                set.outlines[i] = *image.outline;
                ink = {fieldBox(*image.outline, options.distanceRange), {}, {}, {}, {}};
            } else {
                ink = imageWithEffects(ink, *image.outline, {options.outline, options.shadow, options.monochrome, 1});
            }
        }
        const CellSize size = cellSize(ink, options.padding);
        if (const Result<void> fits = checkCellSize(size, options.maxTexture, optionWording(u"MaxTexture", words));
            !fits)
            return failure(QStringLiteral("Bild „%1“ für %2: %3")
                               .arg(shownPath(image.path), codePointText(image.character), fits.error()));
        set.inks[i] = std::move(ink);
    }
    return {};
}

} // namespace

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

Result<GlyphSet> collectGlyphs(const std::vector<FontMeasure>& fonts, const std::vector<ImageCharacter>& images,
                               const std::vector<char32_t>& wanted, const BmFontOptions& options, int threads,
                               const std::function<bool()>& stillWanted, OptionWords words)
{
    GlyphSet set;
    std::map<std::pair<int, quint32>, std::size_t> cellOf;
    std::vector<char32_t> left;
    for (std::size_t i = 0; i < images.size(); ++i)
        set.cells.push_back({0, 0, int(i), images[i].advance, {images[i].character}, double(images[i].advance)});
    std::set_difference(wanted.begin(), wanted.end(), images.begin(), images.end(), std::back_inserter(left),
                        [](const auto& a, const auto& b) { return characterOf(a) < characterOf(b); });
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
                set.cells.push_back({font, glyphs[i], -1, measure.advanceOf(glyphs[i]), {}});
            set.cells[at->second].characters.push_back(left[i]);
        }
        left = std::move(lacking);
    }
    set.missing = std::move(left);
    if (const Result<void> added = addMissingGlyph(fonts, options.missingGlyph, set, cellOf); !added)
        return failure(added.error());
    if (options.fractional) {
        for (GlyphCell& cell : set.cells) {
            if (cell.image < 0)
                cell.exactAdvance = exactAdvance(fonts[std::size_t(cell.font)].rawFont(), cell.glyph);
        }
    }
    if (options.field != PageField::None)
        set.outlines.resize(set.cells.size());
    if (const Result<void> read = readImageInks(images, set, options, words); !read)
        return failure(read.error());
    if (const Result<void> read = readInks(fonts, set, options, threads, stillWanted, words); !read)
        return failure(read.error());
    return set;
}

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

} // namespace glyfrax
