#pragma once

#include "base/CodePage.h"
#include "base/Result.h"
#include "export/BmFontWriter.h"

#include <QPalette>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace glyfrax {

struct Settings;

// The choices of the second export profile beside the classic pair.
struct ModernOptions
{
    // The characters: those listed, those of a UTF-8 text file and those of a code page's codes
    // 32 to 255 together; when none of the three is given, those of Windows-1252.
    std::vector<char32_t> characters;
    QString charactersFile;
    std::optional<CodePage> codePage;
    std::int32_t padding = 1;       // pixels around each glyph's ink inside its cell
    std::int32_t spacing = 1;       // pixels at least between two cells
    std::int32_t maxTexture = 4096; // a power of two: the largest page side
    bool nonSquare = false;
    DescriptorForm descriptor = DescriptorForm::Text;
    // Either colour asks for opaque pages in the two colours (white on black for the one not
    // given); without them a PNG page is white with each glyph's coverage as alpha.
    std::optional<std::int32_t> textColor;
    std::optional<std::int32_t> backColor;
    QStringList inputs; // files the export reads: none of them is ever replaced
    // The face's name in the descriptor and in messages; empty: the font's family. A font file's
    // face is loaded under a name of our own, and the file's own name is the one to show.
    QString faceName;
    // Asked once the pages' size is known, before anything is drawn or written; a failure ends
    // the export there. Empty: every size.
    std::function<Result<void>(std::int32_t width, std::int32_t height)> approvePage;
};

struct ModernExported
{
    QString descriptorPath;
    QStringList pagePaths;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<char32_t> missing; // asked for, but the font has no glyph for them
    QStringList notes = {};        // values the descriptor could not hold as they are, for --verbose
};

// The descriptor beside the image: its extension replaced by .fnt (.json for the JSON form).
QString descriptorPathFor(const QString& imagePath, DescriptorForm form);

// The pages' files: the image path itself for one page, otherwise NAME_0.png, NAME_1.png ...,
// the numbers padded to one width so that the names have one length, as the binary form wants.
QStringList pagePathsFor(const QString& imagePath, int pageCount);

// Exports the texture font in the modern profile: every chosen character the font has, each in
// a cell that holds all the ink it draws plus the padding, packed onto power-of-two pages, and a
// BMFont descriptor with offsets, advances and kerning. All files are written completely beside
// their targets before any replaces an earlier one. The image's name chooses PNG or BMP.
Result<ModernExported> exportModern(const QString& imagePath, const Settings& settings, const ModernOptions& options,
                                    const QPalette& palette);

// "Textur: 512x256" or "Textur: 4096x4096, 3 Seiten".
QString pagesCaption(const ModernExported& exported);

// The characters left out, as ranges of code points, for --verbose.
QString describeMissing(const std::vector<char32_t>& missing);

} // namespace glyfrax
