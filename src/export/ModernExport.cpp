#include "export/ModernExport.h"

#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "base/ShownName.h"
#include "export/BmFontReader.h"
#include "export/FontExport.h"
#include "export/Kerning.h"
#include "layout/CellPacking.h"
#include "render/BmpWriter.h"
#include "render/FontMeasure.h"
#include "render/FontSource.h"
#include "render/GlyphPages.h"
#include "render/ImageFile.h"
#include "settings/CharacterRanges.h"
#include "settings/ColorValue.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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
        if (const char32_t character = codePage.character(static_cast<unsigned char>(code)); character != 0)
            ofCodePage.push_back(character);
    }
    return mergeCharacters(std::move(wanted), ofCodePage);
}

namespace {

// Names that the earlier set may have given its pages: the image's own name, or its stem with
// a page number, as PNG or BMP.
bool isPageName(const QString& name, const QString& imagePath)
{
    const QString image = QFileInfo(imagePath).fileName();
    const QString stem = image.left(image.size() - extensionOf(image).size());
    const QRegularExpression pattern(u'^' + QRegularExpression::escape(stem) +
                                         QStringLiteral(R"((_[0-9]+)?\.(png|bmp)$)"),
                                     QRegularExpression::CaseInsensitiveOption);
    return name == image || (name.startsWith(stem) && pattern.match(name).hasMatch());
}

// The pages the descriptor now at descriptorPath names, if they are pages of this image's name
// beside it; never anything else, whatever the descriptor says.
QStringList earlierPages(const QString& descriptorPath, const QString& imagePath)
{
    constexpr qint64 kLargestDescriptor = qint64(256) << 20;
    if (fileKind(descriptorPath) != FileKind::Regular)
        return {};
    const Result<QByteArray> bytes = readRegularFile(descriptorPath, kLargestDescriptor);
    QStringList pages;
    const QDir folder = QFileInfo(descriptorPath).dir();
    for (const QString& name : bytes ? pageFilesNamedBy(*bytes) : QStringList()) {
        if (isPageName(name, imagePath))
            pages.append(folder.filePath(name));
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

Failure noLongerWanted()
{
    return failure(QStringLiteral("Die Planung wurde abgebrochen, weil sie nicht mehr gebraucht wird."));
}

// A glyph too large for a page ends the collection before it is drawn.
Result<GlyphSet> collectGlyphs(const FontMeasure& measure, const std::vector<char32_t>& wanted,
                               const BmFontOptions& options, const std::function<bool()>& stillWanted)
{
    // Often enough to stop within milliseconds, seldom enough to cost nothing.
    constexpr std::size_t kGlyphsBetweenAsking = 256;
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
        if (stillWanted && i % kGlyphsBetweenAsking == 0 && !stillWanted())
            return noLongerWanted();
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

QString faceName(const FontMeasure& measure, const ModernRun& run)
{
    return run.faceName.isEmpty() ? ownFamilyName(measure.rawFont()) : run.faceName;
}

// The descriptor's font-wide values; the characters, kerning pairs and page names come separately.
BmFont describeFont(const FontMeasure& measure, const Settings& settings, const ModernRun& run, const Packing& packing,
                    bool opaque)
{
    const BmFontOptions& options = settings.bmfont;
    BmFont font;
    font.face = faceName(measure, run);
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

Result<ModernPlan> planModern(const Settings& settings, const ModernRun& run, ImageFormat format,
                              const QPalette& palette)
{
    const BmFontOptions& options = settings.bmfont;
    const Result<std::vector<char32_t>> wanted = chosenCharacters(options);
    if (!wanted)
        return failure(wanted.error());
    // The classic export's measure: the same font, size and rendering choices at 96 dpi.
    const FontMeasure measure(settings.font);
    const Result<GlyphSet> collected = collectGlyphs(measure, *wanted, options, run.stillWanted);
    if (!collected)
        return failure(collected.error());
    const GlyphSet& glyphs = *collected;
    if (glyphs.cells.empty())
        return failure(QStringLiteral("Die Schrift „%1“ hat keines der gewählten Zeichen.")
                           .arg(shownName(faceName(measure, run))));

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
    ModernPlan plan{measure.rawFont(),
                    describeFont(measure, settings, run, *packing, opaque),
                    QSize(packing->width, packing->height),
                    std::vector<std::vector<PlacedGlyph>>(std::size_t(packing->pageCount)),
                    {},
                    glyphs.missing,
                    {}};
    BmFont& descriptor = plan.descriptor;
    for (std::size_t i = 0; i < glyphs.cells.size(); ++i) {
        const GlyphCell& glyph = glyphs.cells[i];
        const PackedCell& at = packing->cells[i];
        const QRect cell(at.x, at.y, sizes[i].width, sizes[i].height);
        const QPoint corner = cell.isEmpty() ? QPoint() : glyph.cornerFromPen(padding) + QPoint(0, descriptor.base);
        if (!cell.isEmpty())
            plan.pages[std::size_t(at.page)].push_back(
                {glyph.glyph, cell.topLeft() - glyph.cornerFromPen(padding), cell});
        for (const char32_t id : glyph.characters) {
            descriptor.chars.push_back({id, cell.x(), cell.y(), cell.width(), cell.height(), corner.x(), corner.y(),
                                        glyph.advance, cell.isEmpty() ? 0 : at.page});
        }
    }
    std::sort(descriptor.chars.begin(), descriptor.chars.end(),
              [](const BmFontChar& a, const BmFontChar& b) { return a.id < b.id; });
    descriptor.kernings = kerningPairs(measure.rawFont(), glyphs.cells, plan.notes);
    plan.notes += fitToDescriptor(descriptor);

    // Opaque pages take the colours given for the run, else those of the settings when the options
    // ask for them, else white on black.
    auto colour = [&](const std::optional<std::int32_t>& given, std::int32_t ofSettings, std::int32_t otherwise) {
        return colorFromValue(
            given.value_or(options.opaque && !run.textColor && !run.backColor ? ofSettings : otherwise), palette);
    };
    plan.colors.coverageInAlpha = !opaque;
    plan.colors.text = colour(run.textColor, settings.font.textColor, kWhite);
    plan.colors.background = colour(run.backColor, settings.font.backColor, kBlack);
    return plan;
}

QImage drawModernPage(const ModernPlan& plan, int page)
{
    return renderPage(plan.font, plan.pageSize, plan.pages.at(std::size_t(page)), plan.colors);
}

Result<ModernExported> exportModern(const QString& imagePath, const Settings& settings, const ModernRun& run,
                                    const QPalette& palette)
{
    const ImageFormat format = imageFormatFor(imagePath);
    Result<ModernPlan> planned = planModern(settings, run, format, palette);
    if (!planned)
        return failure(planned.error());
    ModernPlan& plan = *planned;
    const DescriptorForm form = settings.bmfont.descriptor;
    ModernExported exported{descriptorPathFor(imagePath, form),
                            pagePathsFor(imagePath, int(plan.pages.size())),
                            plan.pageSize.width(),
                            plan.pageSize.height(),
                            plan.missing,
                            plan.notes};
    if (const Result<void> distinct = checkOutputs(exported.pagePaths + QStringList{exported.descriptorPath});
        !distinct)
        return failure(distinct.error());
    for (const QString& page : exported.pagePaths) {
        if (const QString problem = pageNameProblem(QFileInfo(page).fileName(), form); !problem.isEmpty())
            return failure(problem);
        plan.descriptor.pages.append(QFileInfo(page).fileName());
    }

    std::vector<FileContent> files;
    for (std::size_t page = 0; page < plan.pages.size(); ++page) {
        // Each page is drawn only when its file is written, so one page at a time is held.
        files.push_back({exported.pagePaths.at(qsizetype(page)), [&plan, &run, page, format](QIODevice& device) {
                             if (run.progress)
                                 run.progress(int(page), int(plan.pages.size()));
                             return writeImage(device, drawModernPage(plan, int(page)), format);
                         }});
    }
    files.push_back({exported.descriptorPath,
                     [&plan, form](QIODevice& device) { return writeDescriptor(device, plan.descriptor, form); }});
    // The earlier set goes as a whole: pages its descriptor named that this one does not write too.
    auto earlierFiles = [&exported, &imagePath] { return earlierPages(exported.descriptorPath, imagePath); };
    if (const Result<void> written = writeFilesAtomically({files, run.inputs, earlierFiles}); !written)
        return failure(written.error());
    if (run.progress)
        run.progress(int(plan.pages.size()), int(plan.pages.size()));
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
