// Prints how long the layout and the whole export take, and the export's peak memory.
//   glyfrax-bench             everything
//   glyfrax-bench layout      the layout alone
//   glyfrax-bench export PT   one export in this process (used by the full run, which starts a
//                             fresh process per size so that each peak memory is its own)
//   glyfrax-bench startup     where a fresh process spends its time before and during a small export

#include "base/Localization.h"
#include "export/FontExport.h"
#include "layout/TextureLayout.h"
#include "render/FontMeasure.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <vector>

using namespace glyfrax;

namespace {

FontSettings dejaVu(float size)
{
    FontSettings font;
    font.face = QStringLiteral("DejaVu Sans");
    font.size = size;
    font.textColor = 0xFFFFFF;
    return font;
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void benchLayout()
{
    std::printf("Layout (DejaVu Sans, gaps 1), median of runs:\n");
    for (float size : {8.0F, 14.0F, 48.0F, 200.0F}) {
        const FontMeasure measure(dejaVu(size));
        std::int32_t side = 0;
        std::vector<double> layoutOnly;
        std::vector<double> withMeasure;
        for (int run = 0; run < 200; ++run) {
            QElapsedTimer timer;
            timer.start();
            side = layoutTexture(measure, 1, 1)->side;
            layoutOnly.push_back(double(timer.nsecsElapsed()) / 1e6);
            timer.restart();
            const FontMeasure fresh(dejaVu(size));
            side = layoutTexture(fresh, 1, 1)->side;
            withMeasure.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("  %5.0f pt  texture %5d  layout %.4f ms  measuring + layout %.4f ms\n", double(size), side,
                    medianOf(layoutOnly), medianOf(withMeasure));
    }
}

long peakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int benchOneExport(float size)
{
    QTemporaryDir dir;
    Settings settings;
    settings.font = dejaVu(size);
    settings.options.xDist = 1;
    settings.options.yDist = 1;
    settings.options.writeBinary = true;
    settings.options.takeLong = true;
    const QString path = dir.filePath(QStringLiteral("font.bmp"));
    // The first export pays for loading the font; report the steady state and the first.
    QElapsedTimer timer;
    timer.start();
    Result<ExportedFiles> outcome = exportFont(path, settings, {});
    const double first = double(timer.nsecsElapsed()) / 1e6;
    std::vector<double> times;
    for (int run = 0; run < 5 && outcome; ++run) {
        timer.restart();
        outcome = exportFont(path, settings, {});
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (!outcome) {
        std::printf("  export failed: %s\n", qPrintable(outcome.error()));
        return 1;
    }
    std::printf("  %5.0f pt  texture %5d  export %7.2f ms (first %7.2f ms)  peak memory %6.1f MiB\n", double(size),
                outcome->layout.side, medianOf(times), first, double(peakMemoryKiB()) / 1024.0);
    return 0;
}

// The whole glyfrax-export process, start to exit, as a build script would run it.
void benchCommandLine()
{
    std::printf("glyfrax-export, whole process (DejaVu Sans, gaps 1, 32-bit metrics), median of 7:\n");
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("empty.ini")));
    config.open(QIODevice::WriteOnly);
    config.close();
    for (const char* size : {"14", "48", "200"}) {
        std::vector<double> times;
        int exitCode = 0;
        for (int run = 0; run < 7; ++run) {
            QProcess child;
            QElapsedTimer timer;
            timer.start();
            child.start(QStringLiteral(GLYFRAX_EXPORT_BINARY),
                        {QStringLiteral("--config"), config.fileName(), QStringLiteral("--font"),
                         QStringLiteral("DejaVu Sans"), QStringLiteral("--size"), QString::fromLatin1(size),
                         QStringLiteral("--xdist=1"), QStringLiteral("--ydist=1"), QStringLiteral("--binary"),
                         QStringLiteral("--long"), dir.filePath(QStringLiteral("f.bmp"))});
            child.waitForFinished(-1);
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            exitCode = child.exitCode();
        }
        std::printf("  %5s pt  %7.1f ms%s\n", size, medianOf(times), exitCode == 0 ? "" : "  (failed)");
    }
}

// One fresh process's start, step by step, in milliseconds on one line: the application object,
// the translations, the first font (font database and measure), the export of a 14 pt texture.
int startupSteps(int argc, char* argv[])
{
    QElapsedTimer timer;
    timer.start();
    std::vector<double> steps;
    auto step = [&] {
        steps.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.restart();
    };
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    step();
    installGermanTranslations(app);
    step();
    const FontMeasure measure(dejaVu(14));
    step();
    QTemporaryDir dir;
    Settings settings;
    settings.font = dejaVu(14);
    if (!exportFont(dir.filePath(QStringLiteral("f.bmp")), settings, {}))
        return 1;
    step();
    for (double ms : steps)
        std::printf("%.3f ", ms);
    std::printf("\n");
    return 0;
}

void benchStartup()
{
    const char* names[] = {"QGuiApplication", "translations", "first font", "export 14 pt"};
    std::vector<std::vector<double>> steps(std::size(names));
    std::vector<double> whole;
    for (int run = 0; run < 15; ++run) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("startup-child")});
        child.waitForFinished(-1);
        whole.push_back(double(timer.nsecsElapsed()) / 1e6);
        const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
        for (std::size_t i = 0; i < steps.size() && i < std::size_t(fields.size()); ++i)
            steps[i].push_back(fields[qsizetype(i)].toDouble());
    }
    std::printf("Start of a fresh process, median of 15 (ms):\n");
    double inside = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::printf("  %-16s %7.2f\n", names[i], medianOf(steps[i]));
        inside += medianOf(steps[i]);
    }
    std::printf("  %-16s %7.2f  (loading the program and its libraries, and exit)\n", "the rest",
                medianOf(whole) - inside);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "startup-child") == 0)
        return startupSteps(argc, argv);
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QStringLiteral("export"))
        return benchOneExport(args.value(1).toFloat());
    if (args.value(0) == QStringLiteral("startup")) {
        benchStartup();
        return 0;
    }
    benchLayout();
    if (args.value(0) == QStringLiteral("layout"))
        return 0;
    std::printf("Whole export (layout, measuring, metrics, render, save; 32-bit metrics), median of 5:\n");
    std::fflush(stdout);
    for (const char* size : {"14", "48", "200"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("export"), QString::fromLatin1(size)});
        child.waitForFinished(-1);
    }
    benchCommandLine();
    return 0;
}
