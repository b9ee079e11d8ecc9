#pragma once

// The BMFont set's files: the pages and the descriptor of a plan, written together, the earlier
// set replaced as a whole.

#include "base/Result.h"
#include "export/bmfont/BmFontPlan.h"
#include "export/bmfont/Characters.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace glyfrax {

struct BmFontExported
{
    QString descriptorPath;
    QStringList pagePaths;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<char32_t> missing; // asked for, but the font has no glyph for them
    QStringList notes;             // for --verbose: which fallback gave what, the pages' fill, values
                                   // the descriptor could not hold as they are
};

// The descriptor beside the image: its extension replaced by .fnt (.json for the JSON form).
QString descriptorPathFor(const QString& imagePath, DescriptorForm form);

// The pages' files: the image path itself for one page, otherwise NAME_0.png, NAME_1.png ...,
// the numbers padded to one width so that the names have one length, as the binary form wants.
QStringList pagePathsFor(const QString& imagePath, int pageCount);

// Exports the planned texture font: its pages and a BMFont descriptor. All files are written
// completely beside their targets before any replaces an earlier one. The image's name chooses
// PNG or BMP.
Result<BmFontExported> exportBmFont(const QString& imagePath, const Settings& settings, const BmFontRun& run,
                                    const QPalette& palette);

// The files the options have an export read besides the settings and the font: the characters
// file, the fallback fonts' files and the images (none of a folder that cannot be read, whose
// export fails saying why), each once.
QStringList optionInputs(const BmFontOptions& options);

// "Textur: 512x256" or "Textur: 4096x4096, 3 Seiten".
QString pagesCaption(const BmFontExported& exported);

} // namespace glyfrax
