#include "export/classic/ClassicExport.h"

#include "base/AtomicFile.h"
#include "base/FileSafety.h"
#include "export/classic/MetricsWriter.h"
#include "layout/CellPlacement.h"
#include "render/BmpWriter.h"
#include "render/FontMeasure.h"
#include "render/ImageFile.h"
#include "render/TextureRenderer.h"
#include "settings/ColorValue.h"
#include "settings/Settings.h"

#include <QFileInfo>

namespace glyfrax {

namespace {

// Passes writes on to a file while the export is still wanted; after that each write fails, and
// the bitmap's writer stops at its next band.
class StoppableDevice : public QIODevice
{
public:
    StoppableDevice(QIODevice& target, const std::function<bool()>& stillWanted)
        : m_target(target), m_stillWanted(stillWanted)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* /*data*/, qint64 /*size*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        return m_stillWanted && !m_stillWanted() ? -1 : m_target.write(data, size);
    }

private:
    QIODevice& m_target;
    const std::function<bool()>& m_stillWanted;
};

} // namespace

QString metricsPathFor(const QString& bitmapPath)
{
    return withExtension(bitmapPath, QStringLiteral(".fnt"));
}

QString textureSizeCaption(std::int32_t side)
{
    return QStringLiteral("Textur: %1x%1").arg(side);
}

Result<ClassicPlan> planClassic(const Settings& settings, const QPalette& palette, const CodePage& codePage)
{
    const ClassicOptions& options = settings.options;
    FontMeasure measure(settings.font, codePage);
    const Result<TextureLayout> layout = layoutTexture(measure, options.xDist, options.yDist);
    if (!layout)
        return failure(layout.error());
    const Result<GlyphTable> cells = placeCells(measure, *layout, options.xDist, options.yDist);
    if (!cells)
        return failure(cells.error());
    return ClassicPlan{std::move(measure), *layout, *cells, colorFromValue(settings.font.textColor, palette),
                       colorFromValue(settings.font.backColor, palette)};
}

QImage drawClassicTexture(const ClassicPlan& plan)
{
    return TextureRenderer(plan.measure, plan.cells, plan.layout.side, plan.text, plan.background, 1).render();
}

Result<ExportedFiles> exportClassic(const QString& bitmapPath, const Settings& settings, const QPalette& palette,
                                    const ClassicRun& run)
{
    const QString metricsPath = metricsPathFor(bitmapPath);
    if (QFileInfo(metricsPath).absoluteFilePath() == QFileInfo(bitmapPath).absoluteFilePath())
        return failure(QStringLiteral("Der Name „%1“ endet auf .fnt: Metrikdatei und Bitmap hätten denselben Namen. "
                                      "Bitte wählen Sie einen Namen mit einer anderen Endung, etwa .bmp.")
                           .arg(shownPath(bitmapPath)));

    const ClassicOptions& options = settings.options;
    const Result<ClassicPlan> planned = planClassic(settings, palette, run.codePage);
    if (!planned)
        return failure(planned.error());
    const ClassicPlan& plan = *planned;
    // The bitmap first: a texture too large for it makes advice about the metrics fields moot.
    const std::int32_t side = plan.layout.side;
    const PageImage format = pageImageFor(bitmapPath);
    if (format == PageImage::Bmp && !fitsBmp(side, side))
        return failure(QStringLiteral("Eine Textur von %1 x %1 Pixeln ist zu groß für eine BMP-Datei.").arg(side));
    if (options.metricsForm() == MetricsForm::Binary16) {
        if (const Result<void> fits = checkShortFields(plan.cells); !fits)
            return failure(fits.error());
    }
    if (run.approveSide) {
        if (const Result<void> approved = run.approveSide(side); !approved)
            return failure(approved.error());
    }
    const TextureRenderer texture(plan.measure, plan.cells, side, plan.text, plan.background, run.threads);

    auto report = [&run, side](int percent) {
        if (run.progress)
            run.progress(side, percent);
    };
    report(0);
    const Result<void> written = writeFilesAtomically(
        FileSet{{
                    {metricsPath, [&](QIODevice& device) { return writeMetrics(device, plan.cells, options); }},
                    {bitmapPath,
                     [&texture, format, side, &report, &run](QIODevice& device) {
                         if (run.stillWanted && !run.stillWanted())
                             return false;
                         // Once the export is no longer wanted, a BMP stops at its next band, a PNG once drawn.
                         StoppableDevice stoppable(device, run.stillWanted);
                         // A PNG is compressed as a whole; a BMP streams in bands, so a large one is never held whole.
                         if (format != PageImage::Bmp)
                             return writeImage(stoppable, texture.render(), format);
                         return texture.writeBmp(
                             stoppable, [&](int rowsWritten) { report(int(qint64(rowsWritten) * 100 / side)); });
                     }},
                },
                run.inputs,
                {}});
    if (!written)
        return failure(run.stillWanted && !run.stillWanted() ? cancelledExportMessage() : written.error());
    return ExportedFiles{plan.layout, metricsPath, bitmapPath};
}

} // namespace glyfrax
