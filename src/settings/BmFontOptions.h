#pragma once

#include "base/Result.h"
#include "settings/DescriptorForm.h"
#include "settings/ImageGlyph.h"
#include "settings/FontVariation.h"
#include "settings/PageField.h"
#include "settings/PageImage.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace glyfrax {

// The channels of a PNG page: red, green, blue and alpha; one grey channel (8 bits a pixel); or
// grey with alpha, the grey white and the alpha the glyph (16 bits a pixel).
enum class PageChannels
{
    Rgba,
    Gray,
    Alpha
};

// The engine a set is made for: its loader's rules choose the form and the alpha and refuse what it
// cannot read (settings/EnginePresets.h). None: any engine, nothing chosen or refused.
enum class Engine
{
    None,
    Pixi,
    Phaser,
    Three,
    Love,
    Godot3,
    Godot4,
    Libgdx
};

// Pixels between a glyph's ink and the edges of its cell, as the descriptor lists them.
struct CellPadding
{
    std::int32_t up = 1;
    std::int32_t right = 1;
    std::int32_t down = 1;
    std::int32_t left = 1;

    bool operator==(const CellPadding&) const = default;
};

// Pixels at least between two cells, across and down.
struct CellSpacing
{
    std::int32_t horizontal = 1;
    std::int32_t vertical = 1;

    bool operator==(const CellSpacing&) const = default;
};

// How glyph outlines are fitted to the pixel grid before they are drawn, by the font engine
// beneath Qt: not at all (the outlines as designed), lightly (vertically only, shapes kept), or
// fully (as the font's hints say, sharpest at small sizes).
enum class Hinting
{
    None,
    Light,
    Full
};

// The largest supersampling factor: each glyph drawn at that many times its size and reduced.
constexpr std::int32_t kLargestSupersample = 4;

// A shadow beneath each glyph (and its outline): moved by dx, dy pixels and blurred over blur
// pixels on every side.
struct GlyphShadow
{
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    std::int32_t blur = 0;

    bool operator==(const GlyphShadow&) const = default;
};

// The glyph a set gives for characters no font has, under character id -1: none, the font's own
// glyph for them (.notdef), or the glyph of a character.
struct MissingGlyph
{
    bool notdef = false;
    char32_t character = 0; // 0: none, unless notdef

    bool wanted() const { return notdef || character != 0; }
    bool operator==(const MissingGlyph&) const = default;
};

// The largest size in pixels per em: the largest size in points at 96 dpi.
constexpr std::int32_t kMaxPixels = 2184;
// The largest line or cap height to choose a size by, in pixels: above what the largest size gives.
constexpr std::int32_t kMaxHeight = 4096;
// The ranges of the field and effect options, in pixels: wider ones would only make cells huge.
constexpr std::int32_t kLargestDistanceRange = 64;
constexpr std::int32_t kLargestOutline = 32;
constexpr std::int32_t kLargestShadowOffset = 64;
constexpr std::int32_t kLargestShadowBlur = 32;

// The choices of the BMFont profile, as the settings file's [BMFont] section and the command line
// hold them. Each member's default is what a missing key means.
struct BmFontOptions
{
    // The characters: those listed, those of a UTF-8 text file and those of a code page's codes
    // 32 to 255 together; when none of the three is given, those of Windows-1252.
    QString chars;     // code points and ranges as written, "32-126,0x20AC"; empty: none
    QString charsFile; // empty: none
    int codePage = 0;  // a Windows code page number; 0: none
    // Fonts for the characters the font lacks, in order: installed family names or font file
    // paths (PATH#N: the N-th face of a collection).
    QStringList fallbacks;
    FontVariation variation; // where the main font, a variable font's file, is drawn
    MissingGlyph missingGlyph;
    // Images drawn as characters, before any font is asked for them: those listed, then those of a
    // folder whose files are named by their characters (a listed one wins).
    std::vector<ImageGlyph> images;
    QString imageFolder; // empty: none
    // Colour glyphs of the fonts (layered or bitmap) and the images in their own colours on pages
    // with colour; clear: their coverage alone, like every other glyph.
    bool colorGlyphs = false;
    std::int32_t pixels = 0; // the size in pixels per em; 0: the size in points of the font settings
    // The size instead chosen so that the line (or the capitals) are this many pixels high; 0: not.
    // Each replaces the ones before it: the line's height, the capitals', pixels, points.
    std::int32_t lineHeight = 0;
    std::int32_t capHeight = 0;
    CellPadding padding;
    CellSpacing spacing;
    std::int32_t maxTexture = 4096; // a power of two: the largest page side
    bool nonSquare = false;
    bool crop = false;        // a set of one page ends at its last used row and column (rounded up to 4)
    bool keepLayout = false;  // each character stays in the cell the earlier set gave it, where it still fits
    bool grid = false;        // every cell alike, in rows and columns in the order of the characters
    bool equalHeight = false; // every cell as high as the line (or as the farthest reaching glyph)
    bool zeroOffsets = false; // every cell starts at the pen and the top of the line
    bool kerning = true;
    bool monochrome = false; // glyphs drawn without anti-aliasing
    Hinting hinting = Hinting::None;
    std::int32_t supersample = 1; // 1, 2 or 4: coverage from glyphs drawn that many times larger
    DescriptorForm descriptor = DescriptorForm::Text;
    Engine engine = Engine::None;
    bool fractional = false; // advances and kerning with fractions (the JSON form alone)
    // What the window offers first and its texture view shows; the name's extension decides
    // what is written.
    PageImage image = PageImage::Png;
    // Pages in the text and background colours of the font settings; clear: PNG pages are white
    // with each glyph's coverage as alpha, BMP pages white on black.
    bool opaque = false;
    PageChannels channels = PageChannels::Rgba;
    bool premultiplied = false; // colours multiplied by their alpha, as engines that blend so want them
    bool packChannels = false;  // four pages in one: each channel of a page holds cells of its own
    PageField field = PageField::None;
    std::int32_t distanceRange = 4; // pixels over which a field goes from darkest to brightest
    std::int32_t outline = 0;       // pixels around each glyph in coverage pages; 0: none
    QRgb outlineColor = qRgba(0, 0, 0, 255);
    std::optional<GlyphShadow> shadow;
    QRgb shadowColor = qRgba(0, 0, 0, 128);

    bool hasEffects() const { return outline > 0 || shadow.has_value(); }
    bool operator==(const BmFontOptions&) const = default;
};

// Whom a message about the options is for: a user of the command line knows them by their options
// ("--max-texture"), a user of the window by its controls and pages ("Größte Seite" on "Seiten").
enum class OptionWords
{
    CommandLine,
    Window
};

// The option with this key as the reader knows it: "--max-texture", or "„Größte Seite“ auf der
// Seite „Seiten“" (an option the window has no control for keeps its command-line name).
QString optionWording(QStringView key, OptionWords words);

// Why these options cannot make pages together, in German, naming the options and telling the way
// out in the reader's words; empty when they can. pages: the format the pages are to have; coloursGiven:
// colours given for the run (--color, --backcolor) ask for opaque pages. One check for the command
// line, the export and the settings dialog.
QString pageContentProblem(const BmFontOptions& options, PageImage pages, bool coloursGiven,
                           OptionWords words = OptionWords::CommandLine);

// Why the descriptor cannot hold fractions, in German: --fractional with a form of whole numbers.
// Empty when it can.
QString fractionalProblem(const BmFontOptions& options);

// The whole numbers a value may hold: from least to greatest, with powersOfTwo only the powers of
// two among them.
struct NumberRange
{
    std::int32_t least = 0;
    std::int32_t greatest = 0;
    bool powersOfTwo = false;
};

// One value of an option of a few named values: as the settings file and the command line spell it,
// and as the window offers it.
struct OptionChoice
{
    int value;       // the enumeration's value, int(Hinting::Light)
    QString name;    // "light"
    QString caption; // "Leicht, nur senkrecht"
};

// One option of the BMFont profile: its key in [BMFont], its long command-line option, how its value
// is read from and written as text, and what a control for it may offer. The one description the
// settings file, the command line, its help and the window's pages share.
struct BmFontOption
{
    QString key;       // "MaxTexture"
    QString option;    // "max-texture"; empty for one that the command line does not take
    QString valueName; // "N"; empty for a switch, which takes no value on the command line
    QString negation;  // a switch's opposite on the command line ("square"); empty: none
    QString help;      // the command line's German description, default included
    // Given several times on the command line, the values add up to the one text this makes of
    // them; null: the option counts once.
    QString (*addUp)(const QStringList& values);
    // Sets the option from its text (a switch's: "255"/"0" as in the settings file, "true"/"false"
    // too); a failure says what is wrong: "erwartet …" for a value of the wrong kind ("erwartet eine
    // ganze Zahl von 0 bis 255"), or a sentence of its own that names the part at fault.
    std::function<Result<void>(BmFontOptions& options, const QString& text)> read = {};
    std::function<QString(const BmFontOptions& options)> write = {};
    // The range of each number the value holds, in order (Padding: four of 0 to 255); empty for a
    // value that is no number.
    std::vector<NumberRange> numbers = {};
    // The values of an option of a few named ones, in the order the window offers them; empty for
    // any other.
    std::vector<OptionChoice> choices = {};
};

// The fallback fonts as one value: separated by "|", a "|" within a name written "\|". Family
// names have no "|", and paths rarely.
QString joinFontList(const QStringList& fonts);
QStringList splitFontList(const QString& text);

// Every option, in the order the settings file and the help list them.
const std::vector<BmFontOption>& bmFontOptionTable();

// The option of the table with this key ("Padding"); the table must have it.
const BmFontOption& bmFontOption(QStringView key);

} // namespace glyfrax
