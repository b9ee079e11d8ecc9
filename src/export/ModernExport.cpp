#include "export/ModernExport.h"

#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "export/FontExport.h"
#include "export/Kerning.h"
#include "layout/CellPacking.h"
#include "layout/CharacterRanges.h"
#include "render/BmpWriter.h"
#include "render/FontMeasure.h"
#include "render/GlyphPages.h"
#include "render/ImageFile.h"
#include "settings/ColorValue.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace glyfrax {

namespace {

// The binary descriptor numbers pages in one byte.
constexpr int kMaxPages = 256;
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

Result<std::vector<char32_t>> wantedCharacters(const ModernOptions& options)
{
    std::vector<char32_t> wanted = options.characters;
    if (!options.charactersFile.isEmpty()) {
        const Result<std::vector<char32_t>> fromFile = charactersOfFile(options.charactersFile);
        if (!fromFile)
            return failure(fromFile.error());
        wanted = mergeCharacters(std::move(wanted), *fromFile);
    }
    const bool chosen = !options.characters.empty() || !options.charactersFile.isEmpty();
    if (chosen && !options.codePage)
        return wanted;
    const CodePage codePage = options.codePage.value_or(CodePage::windows1252());
    std::vector<char32_t> ofCodePage;
    for (int code = 32; code <= 255; ++code) {
        if (const char32_t character = codePage.character(static_cast<unsigned char>(code)); character != 0)
            ofCodePage.push_back(character);
    }
    return mergeCharacters(std::move(wanted), ofCodePage);
}

bool samePath(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.absoluteFilePath() == second.absoluteFilePath())
        return true;
    return first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath();
}

Result<void> checkOutputs(const QStringList& outputs, const QStringList& inputs)
{
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        for (qsizetype j = i + 1; j < outputs.size(); ++j) {
            if (samePath(outputs[i], outputs[j]))
                return failure(QStringLiteral("Beschreibung und Textur hätten denselben Namen „%1“. Bitte wählen Sie "
                                              "für die Textur einen Namen auf .png oder .bmp.")
                                   .arg(QDir::toNativeSeparators(outputs[i])));
        }
        for (const QString& input : inputs) {
            if (!input.isEmpty() && samePath(outputs[i], input))
                return failure(QStringLiteral("Die Datei „%1“ wird gelesen und würde beim Export ersetzt. Bitte "
                                              "wählen Sie einen anderen Namen.")
                                   .arg(QDir::toNativeSeparators(outputs[i])));
        }
    }
    return {};
}

// One distinct glyph: the characters that the font draws with it share its cell.
struct GlyphCell
{
    quint32 glyph = 0;
    QRect ink; // relative to the pen position on the baseline
    std::int32_t advance = 0;
    std::vector<char32_t> characters;

    // Where the cell's top-left corner lies from the pen position on the baseline.
    QPoint cornerFromPen(std::int32_t padding) const { return ink.topLeft() - QPoint(padding, padding); }
    CellSize cellSize(std::int32_t padding) const
    {
        return ink.isEmpty() ? CellSize{} : CellSize{ink.width() + 2 * padding, ink.height() + 2 * padding};
    }
};

// The distinct glyphs of the chosen characters that the font has, and those it lacks.
struct GlyphSet
{
    std::vector<GlyphCell> cells;
    std::vector<char32_t> missing;
};

// A glyph too large for a page ends the collection before it is drawn.
Result<GlyphSet> collectGlyphs(const FontMeasure& measure, const std::vector<char32_t>& wanted,
                               const ModernOptions& options)
{
    const int largestInk = options.maxTexture - 2 * options.padding;
    const QRawFont& font = measure.rawFont();
    // One call for all characters: a call each would dominate the time for a whole font.
    const QString text = QString::fromUcs4(wanted.data(), qsizetype(wanted.size()));
    std::vector<quint32> glyphOf(std::size_t(text.size()) + 1);
    int glyphCount = int(glyphOf.size());
    if (!font.glyphIndexesForChars(text.constData(), int(text.size()), glyphOf.data(), &glyphCount))
        glyphCount = 0;
    GlyphSet set;
    std::map<quint32, std::size_t> cellOf;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const quint32 glyph = i < std::size_t(glyphCount) ? glyphOf[i] : 0;
        if (glyph == 0) { // the font's substitute glyph: the font lacks the character
            set.missing.push_back(wanted[i]);
            continue;
        }
        const auto [at, added] = cellOf.try_emplace(glyph, set.cells.size());
        if (added) {
            set.cells.push_back({glyph, inkBox(font, glyph, {largestInk, largestInk}), measure.advanceOf(glyph), {}});
            if (const Result<void> fits = checkCellSize(set.cells.back().cellSize(options.padding), options.maxTexture);
                !fits)
                return failure(fits.error());
        }
        set.cells[at->second].characters.push_back(wanted[i]);
    }
    return set;
}

// Kerning in whole pixels at the font's size, between characters; pairs that round to zero are
// left out. A note tells when the font's tables were too much to read whole.
std::vector<BmFontKerning> kerningPairs(const QRawFont& font, const std::vector<GlyphCell>& cells, QStringList& notes)
{
    std::vector<quint32> glyphs;
    std::unordered_map<quint32, const std::vector<char32_t>*> charactersOf;
    for (const GlyphCell& cell : cells) {
        glyphs.push_back(cell.glyph);
        charactersOf[cell.glyph] = &cell.characters;
    }
    std::vector<BmFontKerning> pairs;
    const double scale = font.pixelSize() / font.unitsPerEm();
    const FoundKerning found = readKerning(font.fontTable("GPOS"), font.fontTable("kern"), glyphs);
    if (!found.complete)
        notes.append(QStringLiteral("Die Unterschneidungstabellen der Schrift sind zu umfangreich: Die Beschreibung "
                                    "hat nur die Paare der Tabellen, die bis zur Grenze gelesen wurden."));
    for (const GlyphKerning& kerning : found.pairs) {
        // Far beyond any field, but a whole number: the descriptor's range is applied later, and said.
        const double exact = std::clamp(double(kerning.adjustment) * scale, -1e15, 1e15);
        const std::int64_t amount = std::isnan(exact) ? 0 : qRound64(exact);
        if (amount == 0)
            continue;
        for (const char32_t first : *charactersOf.at(kerning.first)) {
            for (const char32_t second : *charactersOf.at(kerning.second))
                pairs.push_back({first, second, amount});
        }
    }
    std::sort(pairs.begin(), pairs.end(), [](const BmFontKerning& a, const BmFontKerning& b) {
        return std::pair(a.first, a.second) < std::pair(b.first, b.second);
    });
    return pairs;
}

QString faceName(const FontMeasure& measure, const ModernOptions& options)
{
    return options.faceName.isEmpty() ? measure.rawFont().familyName() : options.faceName;
}

// The descriptor's font-wide values; the characters and kerning pairs come separately.
BmFont describeFont(const FontMeasure& measure, const Settings& settings, const ModernOptions& options,
                    const Packing& packing, const QStringList& pagePaths, bool opaque)
{
    BmFont font;
    font.face = faceName(measure, options);
    font.size = qRound(measure.rawFont().pixelSize());
    font.bold = settings.font.bold;
    font.italic = settings.font.italic;
    font.padding = options.padding;
    font.spacing = options.spacing;
    font.lineHeight = measure.lineHeight();
    font.base = measure.ascent();
    font.scaleW = packing.width;
    font.scaleH = packing.height;
    font.alpha = opaque ? ChannelContent::One : ChannelContent::Glyph;
    font.color = opaque ? ChannelContent::Glyph : ChannelContent::One;
    for (const QString& path : pagePaths)
        font.pages.append(QFileInfo(path).fileName());
    return font;
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

Result<ModernExported> exportModern(const QString& imagePath, const Settings& settings, const ModernOptions& options,
                                    const QPalette& palette)
{
    const Result<std::vector<char32_t>> wanted = wantedCharacters(options);
    if (!wanted)
        return failure(wanted.error());
    // The classic export's measure: the same font, size and rendering choices at 96 dpi.
    const FontMeasure measure(settings.font);
    const Result<GlyphSet> collected = collectGlyphs(measure, *wanted, options);
    if (!collected)
        return failure(collected.error());
    const GlyphSet& glyphs = *collected;
    if (glyphs.cells.empty())
        return failure(QStringLiteral("Die Schrift „%1“ hat keines der gewählten Zeichen.")
                           .arg(shownName(faceName(measure, options))));

    const std::int32_t padding = options.padding;
    std::vector<CellSize> sizes;
    for (const GlyphCell& cell : glyphs.cells)
        sizes.push_back(cell.cellSize(padding));
    const Result<Packing> packing = packCells(sizes, {options.spacing, options.maxTexture, !options.nonSquare});
    if (!packing)
        return failure(packing.error());
    if (packing->pageCount > kMaxPages)
        return failure(QStringLiteral("Die Zeichen brauchen %1 Seiten, mehr als %2. Wählen Sie eine größere "
                                      "--max-texture oder weniger Zeichen.")
                           .arg(packing->pageCount)
                           .arg(kMaxPages));

    if (options.approvePage) {
        if (const Result<void> approved = options.approvePage(packing->width, packing->height); !approved)
            return failure(approved.error());
    }
    const ImageFormat format = imageFormatFor(imagePath);
    ModernExported exported{descriptorPathFor(imagePath, options.descriptor),
                            pagePathsFor(imagePath, packing->pageCount), packing->width, packing->height,
                            glyphs.missing};
    if (const Result<void> distinct =
            checkOutputs(exported.pagePaths + QStringList{exported.descriptorPath}, options.inputs);
        !distinct)
        return failure(distinct.error());
    for (const QString& page : exported.pagePaths) {
        if (const QString problem = pageNameProblem(QFileInfo(page).fileName(), options.descriptor); !problem.isEmpty())
            return failure(problem);
    }
    if (format == ImageFormat::Bmp && !fitsBmp(packing->width, packing->height))
        return failure(QStringLiteral("Eine Textur von %1 x %2 Pixeln ist zu groß für eine BMP-Datei.")
                           .arg(packing->width)
                           .arg(packing->height));

    // Each glyph on its page, and each character in the descriptor, its cell's corner given from
    // the pen position and from the top of the line, which lies base above the baseline.
    const bool opaque = format == ImageFormat::Bmp || options.textColor || options.backColor;
    BmFont descriptor = describeFont(measure, settings, options, *packing, exported.pagePaths, opaque);
    std::vector<std::vector<PlacedGlyph>> pages(std::size_t(packing->pageCount));
    for (std::size_t i = 0; i < glyphs.cells.size(); ++i) {
        const GlyphCell& glyph = glyphs.cells[i];
        const PackedCell& at = packing->cells[i];
        const QRect cell(at.x, at.y, sizes[i].width, sizes[i].height);
        const QPoint corner = cell.isEmpty() ? QPoint() : glyph.cornerFromPen(padding) + QPoint(0, descriptor.base);
        if (!cell.isEmpty())
            pages[std::size_t(at.page)].push_back({glyph.glyph, cell.topLeft() - glyph.cornerFromPen(padding), cell});
        for (const char32_t id : glyph.characters) {
            descriptor.chars.push_back({id, cell.x(), cell.y(), cell.width(), cell.height(), corner.x(), corner.y(),
                                        glyph.advance, cell.isEmpty() ? 0 : at.page});
        }
    }
    std::sort(descriptor.chars.begin(), descriptor.chars.end(),
              [](const BmFontChar& a, const BmFontChar& b) { return a.id < b.id; });
    descriptor.kernings = kerningPairs(measure.rawFont(), glyphs.cells, exported.notes);
    exported.notes += fitToDescriptor(descriptor);

    PageColors colors;
    colors.coverageInAlpha = !opaque;
    colors.text = colorFromValue(options.textColor.value_or(kWhite), palette);
    colors.background = colorFromValue(options.backColor.value_or(kBlack), palette);
    const QSize pageSize(packing->width, packing->height);
    std::vector<FileContent> files;
    for (std::size_t page = 0; page < pages.size(); ++page) {
        // Each page is drawn only when its file is written, so one page at a time is held.
        files.push_back({exported.pagePaths.at(qsizetype(page)), [&, page](QIODevice& device) {
                             return writeImage(device, renderPage(measure.rawFont(), pageSize, pages[page], colors),
                                               format);
                         }});
    }
    files.push_back({exported.descriptorPath,
                     [&](QIODevice& device) { return writeDescriptor(device, descriptor, options.descriptor); }});
    if (const Result<void> written = writeFilesAtomically(files); !written)
        return failure(written.error());
    return exported;
}

QString pagesCaption(const ModernExported& exported)
{
    const QString size = QStringLiteral("Textur: %1x%2").arg(exported.width).arg(exported.height);
    return exported.pagePaths.size() > 1 ? size + QStringLiteral(", %1 Seiten").arg(exported.pagePaths.size()) : size;
}

QString describeMissing(const std::vector<char32_t>& missing)
{
    const auto name = [](char32_t c) { return QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0')).toUpper(); };
    QStringList ranges;
    for (std::size_t i = 0; i < missing.size();) {
        std::size_t end = i;
        while (end + 1 < missing.size() && missing[end + 1] == missing[end] + 1)
            ++end;
        ranges.append(end == i ? name(missing[i]) : name(missing[i]) + u'–' + name(missing[end]));
        i = end + 1;
    }
    return QStringLiteral("Nicht in der Schrift, ausgelassen (%1 Zeichen): %2")
        .arg(missing.size())
        .arg(ranges.join(QStringLiteral(", ")));
}

} // namespace glyfrax
