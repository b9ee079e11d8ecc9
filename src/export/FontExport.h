#pragma once

#include <QPalette>
#include <QString>

namespace glyfrax {

struct Settings;
struct TextureLayout;

struct ExportOutcome
{
    QString error; // German; empty on success
    QString metricsPath;
    QString bitmapPath;
    bool ok() const { return error.isEmpty(); }
};

// The metrics file that goes with a bitmap: the bitmap's extension replaced by ".fnt", or
// ".fnt" appended to a name without one.
QString metricsPathFor(const QString& bitmapPath);

// Exports the texture font: lays the characters out (into layout), measures every cell, and
// writes the metrics file and the bitmap, rendered as it is written. Both are written completely
// beside their targets before the metrics file and then the bitmap replace the earlier ones, so a
// failure leaves the earlier files as they were. System colours are resolved through palette.
ExportOutcome ExportFont(const QString& bitmapPath, const Settings& settings, const QPalette& palette,
                         TextureLayout& layout);

} // namespace glyfrax
