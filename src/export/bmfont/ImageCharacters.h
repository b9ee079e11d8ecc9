#pragma once

// The images a set draws as characters, found from the options and read at the set's size.

#include "base/Result.h"
#include "settings/BmFontOptions.h"

#include <QImage>
#include <QPainterPath>
#include <QPoint>

#include <optional>
#include <vector>

namespace glyfrax {

// The images the options name, each with its character, sorted by it: those listed, then those of
// the folder whose names give a character not listed. A folder that is not there, or two of its
// files for one character, fail with a message that names them.
Result<std::vector<ImageGlyph>> imageGlyphsOf(const BmFontOptions& options);

// An image read for a set: where its top left corner lies from the pen on the baseline, and its
// advance, in pixels.
struct ImageCharacter
{
    char32_t character = 0;
    QString path;
    QImage image;
    // For an outline, a shadow or a field: the outline of its covered pixels (an SVG's traced finer).
    std::optional<QPainterPath> outline;
    QPoint topLeft;
    std::int32_t advance = 0;
};

// The line an image is placed in: its height and where the baseline lies below its top.
struct ImageLine
{
    std::int32_t base = 0;
    std::int32_t height = 0;
    std::int32_t em = 0; // pixels per em: an SVG image's height
};

// Each image read and placed: its top left corner as given from the pen and the top of the line,
// else at the pen with its bottom on the line's; its advance as given, else its width. An image
// that a page of largest cannot hold, one too finely divided for an outline, or images of too many
// pixels together fail with a message naming it. With outlines, each image's outline is traced.
Result<std::vector<ImageCharacter>> readImageCharacters(const std::vector<ImageGlyph>& images, ImageLine line,
                                                        QSize largest, bool outlines);

} // namespace glyfrax
