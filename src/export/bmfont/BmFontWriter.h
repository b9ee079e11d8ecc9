#pragma once

#include "settings/BmFontOptions.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

class QIODevice;

namespace glyfrax {

// The binary form numbers a character's page in one byte, so a set has at most this many pages.
constexpr int kMaxBmFontPages = 256;

// The character id under which a descriptor gives the glyph for characters the set lacks: -1 as
// the text, XML and JSON forms write it, 0xFFFFFFFF in the binary form's unsigned field.
constexpr char32_t kMissingGlyphId = 0xFFFFFFFF;

// The order of the descriptor's characters: the glyph for missing ones (-1) first, then by code.
inline std::int64_t signedId(char32_t id)
{
    return id == kMissingGlyphId ? -1 : std::int64_t(id);
}

// One character of a texture font: its cell on its page, where the cell's top-left corner lies
// from the pen position (x) and from the top of the line (y), and how far the pen moves on.
// A character's glyph lies in every channel of its page, unless the pages are packed.
constexpr int kAllChannels = 15;

struct BmFontChar
{
    char32_t id = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t xoffset = 0;
    std::int32_t yoffset = 0;
    std::int32_t xadvance = 0;
    int page = 0;
    double exactAdvance = 0;     // the advance with its fraction, for a descriptor with fractions
    int channels = kAllChannels; // the page's channels that hold the glyph: 1 blue, 2 green, 4 red, 8 alpha
};

struct BmFontKerning
{
    char32_t first = 0;
    char32_t second = 0;
    std::int64_t amount = 0; // pixels added to the first character's advance
    double exactAmount = 0;  // with its fraction
};

// What a colour channel of the pages holds, numbered as the descriptor stores it.
enum class ChannelContent
{
    Glyph = 0,
    One = 4
};

// Everything an AngelCode BMFont descriptor says about a texture font.
struct BmFont
{
    QString face;
    int size = 0; // the em in pixels
    bool bold = false;
    bool italic = false;
    int supersample = 1;          // the glyphs drawn at this many times their size and reduced
    std::array<int, 4> padding{}; // up, right, down, left
    std::array<int, 2> spacing{}; // across, down
    int lineHeight = 0;
    int base = 0; // from the top of the line to the baseline
    int scaleW = 0;
    int scaleH = 0;
    ChannelContent alpha = ChannelContent::Glyph;
    ChannelContent color = ChannelContent::One; // red, green and blue alike
    bool packed = false;                        // each channel a page of its own, each character's glyph in one of them
    int outline = 0;                            // pixels of outline around each glyph
    QString fieldType;                          // "sdf", "msdf", "mtsdf"; empty: coverage
    int distanceRange = 0;                      // of a distance field, in pixels
    QStringList pages;                          // file names beside the descriptor, page 0 first
    std::vector<BmFontChar> chars;              // by id
    std::vector<BmFontKerning> kernings;        // by first, then second
    bool fractional = false;                    // the JSON form writes advances and kerning exact
};

// Brings every value into the range its field holds in the binary form (16-bit coordinates,
// offsets and kerning, 8-bit padding), so that every form holds the same values and none wraps.
// Returns a German note for each field that had values beyond its range.
QStringList fitToDescriptor(BmFont& font);

// Why a page's file name cannot stand in the form, in German; empty when it can. The text form
// has no escapes (a double quote or a line break would end the name early), XML 1.0 cannot hold
// most control characters at all, the binary form no NUL.
QString pageNameProblem(const QString& name, DescriptorForm form);

// The face's name as the form writes it: characters it cannot hold become U+FFFD (in the text
// form a double quote a single one), so that a name never ends a line or a value early.
QString faceAsWritten(const QString& face, DescriptorForm form);

// Writes the descriptor in one of the forms engines read: BMFont text (one line per tag, blanks
// between name=value fields), BMFont XML, BMFont binary version 3 (blocks 1 to 5, little-endian;
// the kerning block only when there are pairs), or JSON with the same tags and fields. A distance
// field is named after common in the text, XML and JSON forms; the binary form has no block for it,
// and an export with a field does not write that form. Every form
// holds the same values once fitToDescriptor has run; page names must be ones the form can hold.
// Returns false when the device refused a write.
// Cells in a BmFont are what a plan made: x and y from the page's top-left corner, downwards, and
// yoffset from the top of the line. Every form here counts the same way; a form that counts
// otherwise (from the bottom, from the baseline) translates in its own writer, never in the plan.
bool writeDescriptor(QIODevice& device, const BmFont& font, DescriptorForm form);

} // namespace glyfrax
