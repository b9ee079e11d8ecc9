#include "export/bmfont/BmFontPlan.h"

#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "export/bmfont/Characters.h"
#include "export/bmfont/GlyphCollection.h"
#include "export/bmfont/Kerning.h"
#include "layout/CellPacking.h"
#include "layout/CellShapes.h"
#include "render/BmpWriter.h"
#include "render/FontSource.h"
#include "settings/ColorValue.h"
#include "settings/EnginePresets.h"
#include "settings/Settings.h"

#include <QDir>
#include <QPainter>

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>

// A plan goes in stages: the characters (Characters), the fonts at the set's size, the glyphs and
// their inks (GlyphCollection), the cells packed on pages, the descriptor, the colours.

namespace glyfrax {

namespace {

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kBlack = 0;

// ---- Sizes and fonts

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

// The main font at the size the options ask for, then the fallback fonts, into the plan; the names
// the descriptor gives the fallbacks, in their order.
Result<std::vector<QString>> planFonts(Settings& settings, const BmFontRun& run, BmFontPlan& plan)
{
    const BmFontOptions& options = settings.bmfont;
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
    return fallbackNames;
}

// The images drawn as characters, read at the main font's size; their files are inputs.
Result<std::vector<ImageCharacter>> planImages(const BmFontOptions& options, const FontMeasure& measure,
                                               BmFontPlan& plan)
{
    const Result<std::vector<ImageGlyph>> images = imageGlyphsOf(options);
    if (!images)
        return failure(images.error());
    for (const ImageGlyph& image : *images)
        plan.fontFiles.append(image.path);
    const QSize largest(options.maxTexture - options.padding.left - options.padding.right,
                        options.maxTexture - options.padding.up - options.padding.down);
    return readImageCharacters(*images, {measure.ascent(), measure.lineHeight(), qRound(measure.rawFont().pixelSize())},
                               largest, options.field != PageField::None || options.hasEffects());
}

// ---- Cells on pages

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

// The glyphs' cells: each cell's shape around its pen position, one slot a glyph (in a grid one a
// character), and the slots' places on the pages.
struct CellPlan
{
    std::vector<QRect> shapes; // by glyph
    std::vector<CellSlot> places;
    std::vector<CellSize> sizes; // by slot
    Packing packing;             // by slot
};

// Where the new slots may stay: each keeps the earlier place of the first of its characters that had
// a cell of the same size (same font, size and options give the same sizes). The earlier cells no
// slot keeps are freed. None, with a note, when the earlier set cannot be kept.
std::optional<KeptPlaces> keptPlaces(const DescriptorCells& earlier, const CellPlan& cells,
                                     const BmFontOptions& options, int emPixels, QStringList& notes)
{
    const QString keep = optionWording(u"KeepLayout", OptionWords::CommandLine);
    if (options.grid) {
        notes.append(
            QStringLiteral("%1: Ein Raster ordnet die Zellen ohnehin nach den Zeichen; es gilt nicht.").arg(keep));
        return std::nullopt;
    }
    if (earlier.size != emPixels || earlier.packed != options.packChannels || earlier.scaleW <= 0 ||
        earlier.scaleH <= 0 || earlier.scaleW > options.maxTexture || earlier.scaleH > options.maxTexture) {
        notes.append(QStringLiteral("%1: Der frühere Satz hat eine andere Größe oder andere Seiten; die Zellen sind "
                                    "neu gepackt.")
                         .arg(keep));
        return std::nullopt;
    }
    std::unordered_map<char32_t, std::size_t> byCharacter;
    for (std::size_t i = 0; i < earlier.chars.size(); ++i)
        byCharacter.emplace(earlier.chars[i].id, i);
    // On packed pages each channel is a page of cells of its own: page 2's red is 2 x 4 + 2.
    auto layerOf = [&earlier](const BmFontChar& c) {
        if (c.page < 0 || c.page > kMaxBmFontPages)
            return -1; // no page of any set: not kept
        return earlier.packed ? 4 * c.page + std::countr_zero(unsigned(c.channels) | 0x10U) : c.page;
    };
    KeptPlaces kept{earlier.scaleW, earlier.scaleH, std::vector<std::optional<PackedCell>>(cells.sizes.size()), {}};
    std::vector<bool> used(earlier.chars.size(), false);
    for (std::size_t slot = 0; slot < cells.places.size(); ++slot) {
        for (const char32_t character : cells.places[slot].characters) {
            const auto found = byCharacter.find(character);
            if (found == byCharacter.end() || used[found->second])
                continue;
            const BmFontChar& c = earlier.chars[found->second];
            if (c.width == cells.sizes[slot].width && c.height == cells.sizes[slot].height) {
                kept.places[slot] = PackedCell{layerOf(c), c.x, c.y};
                used[found->second] = true;
                break;
            }
        }
    }
    for (std::size_t i = 0; i < earlier.chars.size(); ++i) {
        const BmFontChar& c = earlier.chars[i];
        if (!used[i] && c.width > 0 && c.height > 0)
            kept.freed.push_back({PackedCell{layerOf(c), c.x, c.y}, CellSize{c.width, c.height}});
    }
    return kept;
}

// The pages' share that no cell covers.
double emptyShare(const Packing& packing, const std::vector<CellSize>& sizes)
{
    double covered = 0;
    for (const CellSize& size : sizes)
        covered += double(size.width) * size.height;
    return 1.0 - covered / (double(packing.width) * packing.height * packing.pageCount);
}

Result<CellPlan> placeCells(GlyphSet& glyphs, const BmFontOptions& options, const FontMeasure& measure,
                            const std::optional<DescriptorCells>& earlier, OptionWords words, QStringList& notes)
{
    CellPlan cells;
    cells.shapes = shapeCells(glyphs.inks, options, {measure.ascent(), measure.lineHeight()});
    const std::vector<char32_t> cut = cutInksToCells(glyphs, cells.shapes);
    if (!cut.empty())
        notes.append(QStringLiteral("--zero-offsets: Die Tinte dieser Zeichen reicht links über den Stift oder "
                                    "über die Zeile hinaus und ist abgeschnitten: %1")
                         .arg(describeCharacters(cut)));
    cells.places = cellSlots(glyphs.cells, options.grid);
    for (const CellSlot& slot : cells.places)
        cells.sizes.push_back({cells.shapes[slot.glyph].width(), cells.shapes[slot.glyph].height()});
    const PackingRules rules{options.spacing.horizontal, options.spacing.vertical, options.maxTexture,
                             !options.nonSquare};
    Result<Packing> packing = packPages(cells.sizes, rules, options);
    if (!packing)
        return failure(packing.error());
    const std::optional<KeptPlaces> kept =
        options.keepLayout && earlier
            ? keptPlaces(*earlier, cells, options, qRound(measure.rawFont().pixelSize()), notes)
            : std::nullopt;
    if (kept) {
        Result<Packing> around = packAround(cells.sizes, rules, *kept);
        if (!around)
            return failure(around.error());
        // Kept cells may leave room no new cell fills: told when that costs pages a new packing saves.
        if (around->pageCount > packing->pageCount)
            notes.append(QStringLiteral("%1: Die behaltenen Zellen lassen %2 % der Seiten leer und brauchen %3 Seiten, "
                                        "neu gepackt wären es %4. Ein Bau ohne %1 packt dichter.")
                             .arg(optionWording(u"KeepLayout", OptionWords::CommandLine))
                             .arg(qRound(100 * emptyShare(*around, cells.sizes)))
                             .arg(around->pageCount)
                             .arg(packing->pageCount));
        packing = std::move(around);
    }
    if (packing->pageCount > kMaxBmFontPages)
        return failure(QStringLiteral("Die Zeichen brauchen %1 Seiten, mehr als %2. Wählen Sie eine größere %3 oder "
                                      "weniger Zeichen.")
                           .arg(packing->pageCount)
                           .arg(kMaxBmFontPages)
                           .arg(optionWording(u"MaxTexture", words)));
    if (const QString problem =
            enginePageProblem(options, options.packChannels ? (packing->pageCount + 3) / 4 : packing->pageCount, words);
        !problem.isEmpty())
        return failure(problem);
    if (options.crop && !kept) // kept cells keep their pages' size
        cropSinglePage(*packing, cells.sizes);
    cells.packing = std::move(*packing);
    return cells;
}

// ---- The descriptor

// Kerning in whole pixels at the font's size (and exact, for fractions), between characters of one
// font; pairs that round to zero are left out (for fractions, those that are zero). A note tells when
// the font's tables were too much to read whole.
void addKerningPairs(const QRawFont& font, int fontIndex, const std::vector<GlyphCell>& cells, bool fractional,
                     std::vector<BmFontKerning>& pairs, QStringList& notes)
{
    std::vector<quint32> glyphs;
    std::unordered_map<quint32, const std::vector<char32_t>*> charactersOf;
    for (const GlyphCell& cell : cells) {
        if (cell.font != fontIndex || cell.image >= 0)
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

// The descriptor's font-wide values; the characters, kerning pairs and page names come separately.
BmFont describeFont(const FontMeasure& measure, const Settings& settings, const BmFontRun& run, const Packing& packing,
                    bool opaque)
{
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
    const bool colourHoldsGlyph = opaque || options.hasEffects() || options.colorGlyphs ||
                                  options.field != PageField::None || options.premultiplied ||
                                  options.channels == PageChannels::Gray || options.packChannels;
    const bool alphaIsOne =
        opaque || pageFieldFacts(options.field).alphaIsOne || options.channels == PageChannels::Gray;
    font.alpha = alphaIsOne && !options.packChannels ? ChannelContent::One : ChannelContent::Glyph;
    font.color = colourHoldsGlyph ? ChannelContent::Glyph : ChannelContent::One;
    font.packed = options.packChannels;
    font.outline = options.field == PageField::None ? options.outline : 0;
    font.fieldType = QString::fromUtf16(pageFieldFacts(options.field).descriptor);
    font.distanceRange = options.distanceRange;
    font.fractional = options.fractional;
    return font;
}

// Each glyph on its page, and each character in the descriptor, its cell's corner given from the
// pen position and from the top of the line, which lies base above the baseline; the kerning, and
// which fallback gave which characters.
void describeCells(BmFontPlan& plan, const GlyphSet& glyphs, const CellPlan& cells,
                   const std::vector<QString>& fallbackNames, const BmFontOptions& options)
{
    const Packing& packing = cells.packing;
    BmFont& descriptor = plan.descriptor;
    std::vector<FallbackUse> uses(fallbackNames.size());
    double cellArea = 0;
    for (std::size_t k = 0; k < cells.places.size(); ++k) {
        const GlyphCell& glyph = glyphs.cells[cells.places[k].glyph];
        const QRect& shape = cells.shapes[cells.places[k].glyph];
        const PackedCell& at = packing.cells[k];
        const QRect cell(at.x, at.y, cells.sizes[k].width, cells.sizes[k].height);
        const QPoint corner = cell.isEmpty() ? QPoint() : shape.topLeft() + QPoint(0, descriptor.base);
        if (!cell.isEmpty())
            plan.pages[std::size_t(at.page)].push_back(
                {glyph.glyph, cell.topLeft() - shape.topLeft(), cell, glyph.font, cells.places[k].glyph});
        cellArea += double(cell.width()) * cell.height();
        for (const char32_t id : cells.places[k].characters) {
            const int layer = cell.isEmpty() ? 0 : at.page;
            descriptor.chars.push_back({id, cell.x(), cell.y(), cell.width(), cell.height(), corner.x(), corner.y(),
                                        glyph.advance, options.packChannels ? layer / 4 : layer, glyph.exactAdvance,
                                        options.packChannels ? 1 << (layer % 4) : kAllChannels});
            if (glyph.font > 0 && id != kMissingGlyphId)
                uses[std::size_t(glyph.font - 1)].characters.push_back(id);
        }
    }
    plan.fill = cellArea / (double(packing.width) * packing.height * packing.pageCount);
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
    if (options.crop && packing.pageCount > 1)
        plan.notes.append(QStringLiteral("--crop: Die Zeichen brauchen %1 Seiten; sie bleiben gleich groß, denn "
                                         "scaleW und scaleH gelten für alle Seiten.")
                              .arg(packing.pageCount));
}

// ---- Colours

// Opaque pages take the colours given for the run, else those of the settings when the options ask
// for them, else white on black.
PageColors planColors(const Settings& settings, const BmFontRun& run, const QPalette& palette, bool opaque)
{
    const BmFontOptions& options = settings.bmfont;
    auto colour = [&](const std::optional<std::int32_t>& given, std::int32_t ofSettings, std::int32_t otherwise) {
        return colorFromValue(
            given.value_or(options.opaque && !run.textColor && !run.backColor ? ofSettings : otherwise), palette);
    };
    PageColors colors;
    colors.coverageInAlpha = !opaque;
    colors.text = colour(run.textColor, settings.font.textColor, kWhite);
    colors.background = colour(run.backColor, settings.font.backColor, kBlack);
    colors.outline = options.outlineColor;
    colors.shadow = options.shadowColor;
    return colors;
}

} // namespace

Result<void> checkBmFontSize(const Settings& settings)
{
    const BmFontOptions& options = settings.bmfont;
    if (options.pixels > 0 || options.lineHeight > 0 || options.capHeight > 0 || settings.font.size > 0.0F)
        return {};
    return failure(QStringLiteral("Die Einstellungen nennen keine Schriftgröße; geben Sie eine mit --size in Punkt "
                                  "oder mit --pixels in Pixeln an."));
}

Result<BmFontPlan> planBmFont(const Settings& given, const BmFontRun& run, PageImage format, const QPalette& palette)
{
    Settings settings = given;
    settings.bmfont = withEngineChoices(given.bmfont);
    const BmFontOptions& options = settings.bmfont;
    if (const Result<void> sized = checkBmFontSize(settings); !sized)
        return failure(sized.error());
    if (const QString problem = pageContentProblem(options, format, run.textColor || run.backColor, run.words);
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

    // An installed variable face at the options' coordinates is made into a face of its own; a font
    // file's face is registered at them already.
    BmFontRun varied = run;
    if (!options.variation.isDefault() && !isRegisteredFile(settings.font.face)) {
        const Result<RegisteredFont> face = registerInstalledVariation(realizeFont(settings.font), options.variation);
        if (!face)
            return failure(face.error());
        settings.font.face = face->family;
        if (varied.faceName.isEmpty())
            varied.faceName = face->displayName;
    }
    const Result<std::vector<QString>> fallbackNames = planFonts(settings, varied, plan);
    if (!fallbackNames)
        return failure(fallbackNames.error());
    const FontMeasure& measure = plan.fonts.front();
    const Result<std::vector<ImageCharacter>> images = planImages(options, measure, plan);
    if (!images)
        return failure(images.error());
    Result<GlyphSet> collected =
        collectGlyphs(plan.fonts, *images, *wanted, options, run.threads, run.stillWanted, run.words);
    if (!collected)
        return failure(collected.error());
    GlyphSet& glyphs = *collected;
    if (glyphs.cells.empty())
        return failure(QStringLiteral("Die Schrift „%1“ hat keines der gewählten Zeichen.")
                           .arg(shownName(faceName(measure, varied))));

    const Result<CellPlan> cells = placeCells(glyphs, options, measure, run.earlierCells, run.words, plan.notes);
    if (!cells)
        return failure(cells.error());
    const Packing& packing = cells->packing;
    if (run.stillWanted && !run.stillWanted())
        return noLongerWanted();
    if (run.approvePage) {
        if (const Result<void> approved = run.approvePage(packing.width, packing.height); !approved)
            return failure(approved.error());
    }
    if (format == PageImage::Bmp && !fitsBmp(packing.width, packing.height))
        return failure(QStringLiteral("Eine Textur von %1 x %2 Pixeln ist zu groß für eine BMP-Datei.")
                           .arg(packing.width)
                           .arg(packing.height));

    const bool opaque = !pageImageFacts(format).alpha || run.textColor || run.backColor || options.opaque;
    plan.descriptor = describeFont(measure, settings, varied, packing, opaque);
    plan.pageSize = QSize(packing.width, packing.height);
    plan.pages.resize(std::size_t(packing.pageCount));
    plan.monochrome = options.monochrome;
    plan.supersample = supersampleOf(options);
    plan.channels = options.channels;
    plan.premultiplied = options.premultiplied;
    plan.packed = options.packChannels;
    plan.threads = run.threads;
    plan.missing = glyphs.missing;
    describeCells(plan, glyphs, *cells, *fallbackNames, options);
    plan.inks = std::move(glyphs.inks);
    plan.outlines = std::move(glyphs.outlines);
    plan.field = options.field;
    plan.distanceRange = options.distanceRange;
    plan.effects = options.hasEffects();
    plan.inksOnly = !images->empty() || options.colorGlyphs;
    plan.colors = planColors(settings, run, palette, opaque);
    return plan;
}

PageSource pageSource(const BmFontPlan& plan)
{
    return {.fonts = &plan.fonts,
            .inks = &plan.inks,
            .colors = plan.colors,
            .monochrome = plan.monochrome,
            .threads = plan.threads,
            .effects = plan.effects,
            .outlines = &plan.outlines,
            .field = plan.field,
            .distanceRange = double(plan.distanceRange),
            .supersample = plan.supersample,
            .inksOnly = plan.inksOnly};
}

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

QImage drawBmFontFile(const BmFontPlan& plan, int file)
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

int bmFontFileCount(const BmFontPlan& plan)
{
    const int pages = int(plan.pages.size());
    return plan.packed ? (pages + 3) / 4 : pages;
}

} // namespace glyfrax
