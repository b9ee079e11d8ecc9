#pragma once

#include "base/CodePage.h"
#include "base/Parallel.h"
#include "base/Result.h"
#include "layout/GlyphTable.h"
#include "layout/TextureLayout.h"
#include "render/FontMeasure.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QString>
#include <QStringList>

#include <functional>

namespace glyfrax {

struct Settings;

// What an export wrote.
struct ExportedFiles
{
    TextureLayout layout;
    QString metricsPath;
    QString bitmapPath;
};

// The metrics file that goes with a bitmap: the bitmap's extension replaced by ".fnt".
QString metricsPathFor(const QString& bitmapPath);

// "Textur: 256x256", as the window shows and the command line prints a texture's size.
QString textureSizeCaption(std::int32_t side);

// How an export runs, apart from what the settings say it makes.
struct ClassicRun
{
    CodePage codePage = CodePage::windows1252(); // what the codes 32 to 255 stand for
    QStringList inputs; // the files the export reads: never replaced, however their names are spelled
    int threads = defaultThreadCount();
    // Asked once the texture's side is known, before anything is written; a failure ends the
    // export there. Empty: every side the bitmap format can hold.
    std::function<Result<void>(std::int32_t side)> approveSide;
    // Told how far the texture is, in percent, from 0 before its first row to 100 after its last.
    std::function<void(std::int32_t side, int percent)> progress;
    // Asked before the texture is drawn and before each piece of the bitmap is written (a BMP's
    // bands, a PNG's compressed pieces), on any of the export's threads; false ends the export there with a failure,
    // the earlier files as they were. Empty: it runs to the end.
    std::function<bool()> stillWanted;
};

// The classic pair before anything is drawn: what the export writes and the texture view shows.
struct ClassicPlan
{
    FontMeasure measure;
    TextureLayout layout;
    GlyphTable cells;
    QColor text;
    QColor background;
};

// Lays the characters out and places their cells as the export does; system colours are resolved
// through palette.
Result<ClassicPlan> planClassic(const Settings& settings, const QPalette& palette, const CodePage& codePage);

// The texture of the plan as the bitmap holds it, drawn on the calling thread; a null image when
// there is no memory for it.
QImage drawClassicTexture(const ClassicPlan& plan);

// Exports the texture font: lays the characters out, measures every cell, and writes the
// metrics file and the bitmap, rendered as it is written. Both are written completely beside
// their targets before they replace the earlier ones together, so a failure leaves the earlier
// files as they were. System colours are resolved through palette. The codes 32 to 255 show the
// characters of the run's code page. A bitmap name ending in .png gets a PNG, any other a 24-bit BMP.
Result<ExportedFiles> exportClassic(const QString& bitmapPath, const Settings& settings, const QPalette& palette,
                                    const ClassicRun& run = {});

} // namespace glyfrax
