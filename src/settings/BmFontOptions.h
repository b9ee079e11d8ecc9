#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace glyfrax {

// The forms of a BMFont descriptor.
enum class DescriptorForm
{
    Text,
    Xml,
    Binary,
    Json
};

// The image format of the pages.
enum class PageImage
{
    Png,
    Bmp
};

// The choices of the BMFont profile, as the settings file's [BMFont] section and the command line
// hold them. Each member's default is what a missing key means.
struct BmFontOptions
{
    // The characters: those listed, those of a UTF-8 text file and those of a code page's codes
    // 32 to 255 together; when none of the three is given, those of Windows-1252.
    QString chars;                  // code points and ranges as written, "32-126,0x20AC"; empty: none
    QString charsFile;              // empty: none
    int codePage = 0;               // a Windows code page number; 0: none
    std::int32_t padding = 1;       // pixels around each glyph's ink inside its cell
    std::int32_t spacing = 1;       // pixels at least between two cells
    std::int32_t maxTexture = 4096; // a power of two: the largest page side
    bool nonSquare = false;
    DescriptorForm descriptor = DescriptorForm::Text;
    // What the window offers first and its texture view shows; the name's extension decides
    // what is written.
    PageImage image = PageImage::Png;
    // Pages in the text and background colours of the font settings; clear: PNG pages are white
    // with each glyph's coverage as alpha, BMP pages white on black.
    bool opaque = false;

    bool operator==(const BmFontOptions&) const = default;
};

// One option of the BMFont profile: its key in [BMFont], its long command-line option, and how its
// value is read from and written as text. The one description the settings file, the command
// line and its help share.
struct BmFontOption
{
    QString key;       // "MaxTexture"
    QString option;    // "max-texture"; empty for one that the command line does not take
    QString valueName; // "N"; empty for a switch, which takes no value on the command line
    QString negation;  // a switch's opposite on the command line ("square"); empty: none
    QString help;      // the command line's German description, default included
    bool addsUp;       // given several times on the command line, the values add up
    // Sets the option from its text (a switch's: "255"/"0" as in the settings file, "true"/"false"
    // too); a failure says what is wrong: "erwartet …" for a value of the wrong kind ("erwartet eine
    // ganze Zahl von 0 bis 255"), or a sentence of its own that names the part at fault.
    Result<void> (*read)(BmFontOptions& options, const QString& text);
    QString (*write)(const BmFontOptions& options);
};

// Every option, in the order the settings file and the help list them.
const std::vector<BmFontOption>& bmFontOptionTable();

// The option of the table with this key ("Padding"); the table must have it.
const BmFontOption& bmFontOption(QStringView key);

} // namespace glyfrax
