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

// Exports the texture font: lays the characters out (into layout), measures every cell, writes
// the metrics file and after it the bitmap, rendered as it is written. Each file replaces its
// target only when complete. Anything that goes wrong is found before the file it concerns is touched;
// a failure leaves earlier files as they were. System colours are resolved through palette.
ExportOutcome ExportFont(const QString& bitmapPath, const Settings& settings, const QPalette& palette,
                         TextureLayout& layout);

} // namespace glyfrax
