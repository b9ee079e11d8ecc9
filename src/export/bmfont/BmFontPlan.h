#pragma once

// A BMFont set planned: sizes and fonts, glyphs, cells packed on pages, the descriptor and the
// colours, everything but the pages' pixels and the files. The export and the texture view both
// start from a plan.

#include "base/Parallel.h"
#include "base/Result.h"
#include "export/bmfont/BmFontReader.h"
#include "export/bmfont/BmFontWriter.h"
#include "render/FontMeasure.h"
#include "render/GlyphPages.h"
#include "render/ImageFile.h"
#include "settings/BmFontOptions.h"

#include <QPainterPath>
#include <QPalette>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace glyfrax {

struct Settings;

// How a BMFont export runs, apart from what the settings say it makes.
struct BmFontRun
{
    QStringList inputs; // files the export reads: none of them is ever replaced
    // The face's name in the descriptor and in messages; empty: the font's family. A font file's
    // face is loaded under a name of our own, and the file's own name is the one to show.
    QString faceName;
    // Colours given for this run alone (the command line's --color and --backcolor): either asks
    // for opaque pages, white on black for the one not given.
    std::optional<std::int32_t> textColor;
    std::optional<std::int32_t> backColor;
    // Asked once the pages' size is known, before anything is drawn or written; a failure ends
    // the export there. Empty: every size.
    std::function<Result<void>(std::int32_t width, std::int32_t height)> approvePage;
    // Told, on the exporting thread, how far the pages are: before each page is drawn (done the
    // pages finished so far) and once every file is in place (done == count). Empty: nobody asks.
    std::function<void(int done, int count)> progress;
    // Asked now and then while the glyphs are measured, and before each page is drawn, for work
    // that nobody may wait for any more; false ends the export there with a failure, the earlier
    // files as they were. Empty: it runs to the end.
    std::function<bool()> stillWanted;
    // Whether a target that is a symbolic link is refused rather than written through: a build of
    // many sets writes only its own files, never where a link planted among them points.
    bool refuseLinks = false;
    // The cells of the set the export replaces, where the options keep the layout; none: packed anew.
    std::optional<DescriptorCells> earlierCells;
    int threads = defaultThreadCount();           // for the glyphs' ink, the pages and their compression
    OptionWords words = OptionWords::CommandLine; // how messages name the options
};

// The characters one fallback font gives to the set.
struct FallbackUse
{
    QString name; // as the descriptor would name the face
    std::vector<char32_t> characters;
};

// A BMFont set before its pages are drawn: what the export writes and the texture view shows.
struct BmFontPlan
{
    std::vector<FontMeasure> fonts; // the font, then the fallbacks in their order
    BmFont descriptor;              // without the pages' file names, which come with the image's name
    QSize pageSize;
    std::vector<std::vector<PlacedGlyph>> pages;
    std::vector<GlyphInk> inks; // of each distinct glyph, as PlacedGlyph::ink counts them
    // Each distinct glyph's outline, for a distance field; empty for coverage pages.
    std::vector<QPainterPath> outlines;
    PageField field = PageField::None;
    std::int32_t distanceRange = 4;
    bool effects = false; // the inks hold an outline or a shadow
    // Some inks are images, or hold colours: the pages are made from the inks alone.
    bool inksOnly = false;
    PageColors colors;
    bool monochrome = false;
    int supersample = 1; // the glyphs' coverage found at this many times their size
    // The pages' form in their files: channels, colours by alpha, four pages in one image's channels
    // (pages then counts those four, each as a page of its own, as the texture view shows them).
    PageChannels channels = PageChannels::Rgba;
    bool premultiplied = false;
    bool packed = false;
    int threads = 1;
    std::vector<char32_t> missing;      // asked for, but no font has a glyph for them
    std::vector<FallbackUse> fallbacks; // of those that give characters, in their order
    // The fallback fonts' files and the images' files: inputs of the export, never replaced.
    QStringList fontFiles;
    double fill = 0;   // the cells' area over the pages' area
    QStringList notes; // values the descriptor could not hold as they are
};

// A BMFont set needs a size: a settings file without one gives 0 points. Fails, saying how to
// give one, when neither points nor pixels are given.
Result<void> checkBmFontSize(const Settings& settings);

// Plans the texture font in the BMFont profile from settings.bmfont: every chosen character the
// font has, each in a cell that holds all the ink it draws (its effects included; for a distance
// field the outline's box and half the range around it) plus the padding, packed onto power-of-two
// pages, with offsets, advances and kerning. The pages are opaque for BMP. Options that cannot go
// together (pageContentProblem) are a failure.
Result<BmFontPlan> planBmFont(const Settings& settings, const BmFontRun& run, PageImage format,
                              const QPalette& palette);

// One page of the plan as it looks (white with the coverage as alpha, or opaque); a null image
// when there is no memory for it.
QImage drawBmFontPage(const BmFontPlan& plan, int page);

// The image of one file as the options want it written: its page, or for packed pages its four,
// each in a channel of its own (the first in blue, then green, red and alpha); a null image when
// there is no memory for it.
QImage drawBmFontFile(const BmFontPlan& plan, int file);

// The number of image files the plan's pages make: four to an image when they are packed.
int bmFontFileCount(const BmFontPlan& plan);

// What the page drawing needs of the plan.
PageSource pageSource(const BmFontPlan& plan);

} // namespace glyfrax
