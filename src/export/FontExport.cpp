#include "FontExport.h"

#include "../layout/FontMeasure.h"
#include "../layout/TextureLayout.h"
#include "../settings/ColorValue.h"
#include "../settings/Settings.h"
#include "AtomicFile.h"
#include "BmpWriter.h"
#include "GlyphMeasuring.h"
#include "MetricsWriter.h"
#include "TextureRenderer.h"

#include <QFileInfo>

namespace glyfrax {

QString metricsPathFor(const QString& bitmapPath)
{
    const qsizetype nameStart = bitmapPath.lastIndexOf(u'/') + 1;
    const qsizetype dot = bitmapPath.lastIndexOf(u'.');
    const QString stem = dot >= nameStart ? bitmapPath.left(dot) : bitmapPath;
    return stem + QStringLiteral(".fnt");
}

ExportOutcome ExportFont(const QString& bitmapPath, const Settings& settings, const QPalette& palette,
                         TextureLayout& layout)
{
    ExportOutcome outcome;
    outcome.bitmapPath = bitmapPath;
    outcome.metricsPath = metricsPathFor(bitmapPath);
    auto fail = [&outcome](const QString& error) {
        outcome.error = error;
        return outcome;
    };

    if (QFileInfo(outcome.metricsPath).absoluteFilePath() == QFileInfo(bitmapPath).absoluteFilePath())
        return fail(QStringLiteral("Der Name „%1“ endet auf .fnt: Metrikdatei und Bitmap hätten denselben Namen. "
                                   "Bitte wählen Sie einen Namen mit einer anderen Endung, etwa .bmp.")
                        .arg(bitmapPath));

    const ExportOptions& options = settings.options;
    const FontMeasure measure(settings.font);
    if (const LayoutOutcome laid = LayoutTexture(measure, options.XDist, options.YDist, layout); !laid.ok)
        return fail(laid.error);

    const MeasuredGlyphs glyphs = measureGlyphs(measure, layout, options.XDist, options.YDist);
    if (!glyphs.error.isEmpty())
        return fail(glyphs.error);
    if (options.WriteBinary && !options.TakeLong) {
        if (const QString overflow = findShortFieldOverflow(glyphs.table); !overflow.isEmpty())
            return fail(overflow);
    }

    if (!fitsBmp(layout.TextureSize, layout.TextureSize))
        return fail(
            QStringLiteral("Eine Textur von %1 x %1 Pixeln ist zu groß für eine BMP-Datei.").arg(layout.TextureSize));
    const TextureRenderer texture(measure, glyphs.table, layout.TextureSize,
                                  colorFromValue(settings.font.textColor, palette),
                                  colorFromValue(settings.font.backColor, palette));

    outcome.error = writeFilesAtomically({
        {outcome.metricsPath, [&](QIODevice& device) { return writeMetrics(device, glyphs.table, options); }},
        {bitmapPath,
         [&texture](QIODevice& device) {
             return writeBmp24(device, texture.side(), texture.side(),
                               [&texture](QImage& band, int top) { texture.renderRows(band, top); });
         }},
    });
    return outcome;
}

} // namespace glyfrax
