#pragma once

#include "base/Result.h"
#include "layout/TextureLayout.h"

#include <QPalette>
#include <QString>
#include <QStringList>

namespace glyfrax {

struct Settings;

// What an export wrote.
struct ExportedFiles
{
    TextureLayout layout;
    QString metricsPath;
    QString bitmapPath;
};

// The metrics file that goes with a bitmap: the bitmap's extension replaced by ".fnt", or
// ".fnt" appended to a name without one.
QString metricsPathFor(const QString& bitmapPath);

// "Textur: 256x256", as the window shows and the command line prints a texture's size.
QString textureSizeCaption(std::int32_t side);

// Exports the texture font: lays the characters out, measures every cell, and writes the
// metrics file and the bitmap, rendered as it is written. Both are written completely beside
// their targets before the metrics file and then the bitmap replace the earlier ones, so a
// failure leaves the earlier files as they were. System colours are resolved through palette.
// The files the export reads (inputs: the settings file, a font file) are never replaced, however
// their names are spelled.
Result<ExportedFiles> exportFont(const QString& bitmapPath, const Settings& settings, const QPalette& palette,
                                 const QStringList& inputs = {});

} // namespace glyfrax
