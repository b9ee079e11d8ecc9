// Prints how long distance fields take for every glyph a font maps in 0x20-0xFFFF, per field type,
// on one thread and on all of them, and the process's peak memory.
//   glyfrax-field-bench [FONT_FILE [PIXELS [RANGE [TYPES [RUNS]]]]]
// default: DejaVu Sans, 32 px, range 4, sdf,msdf,mtsdf, the best of 3 runs. The worst glyph of the
// hostile test fonts: glyfrax-field-bench tests/data/hostile/spiky.ttf 64 4 msdf 1

#include "base/Parallel.h"
#include "render/DistanceField.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace glyfrax;

namespace {

struct Glyph
{
    QPainterPath outline;
    QRect box;
};

double millisecondsOf(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Processor time of the whole process in ms: what other programs on the machine do not change.
double processorTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (double(usage.ru_utime.tv_sec) + double(usage.ru_stime.tv_sec)) * 1e3 +
           (double(usage.ru_utime.tv_usec) + double(usage.ru_stime.tv_usec)) / 1e3;
}

struct Timing
{
    double wall = 1e30;
    double processor = 1e30;
};

// Draws every glyph's field into a page of each worker's own, one cell at a time, as an export
// would into its pages; the best of runs.
Timing drawAll(const std::vector<Glyph>& glyphs, FieldType type, double range, int threads, int runs)
{
    QSize largest;
    for (const Glyph& glyph : glyphs)
        largest = largest.expandedTo(glyph.box.size());
    Timing best;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double processorBefore = processorTime();
        runOnThreads(threads, [&](int worker) {
            QImage page(largest, QImage::Format_ARGB32);
            for (std::size_t i = std::size_t(worker); i < glyphs.size(); i += std::size_t(threads)) {
                const QRect cell(QPoint(0, 0), glyphs[i].box.size());
                drawDistanceField(page, cell, glyphs[i].outline, -glyphs[i].box.topLeft(), type, range);
            }
        });
        best.wall = std::min(best.wall, millisecondsOf(timer));
        best.processor = std::min(best.processor, processorTime() - processorBefore);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString file = args.value(0, QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    const double pixels = args.value(1, QStringLiteral("32")).toDouble();
    const double range = args.value(2, QStringLiteral("4")).toDouble();
    const QStringList types = args.value(3, QStringLiteral("sdf,msdf,mtsdf")).split(u',');
    const int runs = std::max(1, args.value(4, QStringLiteral("3")).toInt());

    QElapsedTimer timer;
    timer.start();
    const QRawFont font(file, pixels);
    if (!font.isValid()) {
        std::printf("Schrift nicht lesbar: %s\n", qPrintable(file));
        return 1;
    }
    std::vector<quint32> glyphIds;
    for (char32_t code = 0x20; code <= 0xFFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QList<quint32> ids = font.glyphIndexesForString(QString::fromUcs4(&code, 1));
        if (ids.size() == 1 && ids[0] != 0)
            glyphIds.push_back(ids[0]);
    }
    const std::size_t characters = glyphIds.size();
    std::sort(glyphIds.begin(), glyphIds.end());
    glyphIds.erase(std::unique(glyphIds.begin(), glyphIds.end()), glyphIds.end());
    const double mapping = millisecondsOf(timer);

    timer.restart();
    std::vector<Glyph> glyphs;
    std::size_t area = 0;
    for (quint32 id : glyphIds) {
        QPainterPath outline = font.pathForGlyph(id);
        const QRect box = fieldBox(outline, range);
        if (box.isEmpty())
            continue;
        area += std::size_t(box.width()) * std::size_t(box.height());
        glyphs.push_back({std::move(outline), box});
    }
    const double outlines = millisecondsOf(timer);

    const int all = defaultThreadCount();
    std::printf("%s, %.0f px, range %.0f: %zu characters, %zu glyphs with ink, %.2f Mpixel of cells\n",
                qPrintable(font.familyName()), pixels, range, characters, glyphs.size(), double(area) / 1e6);
    std::printf("  font loaded and characters mapped %8.1f ms\n", mapping);
    std::printf("  outlines of all glyphs            %8.1f ms\n", outlines);
    for (const auto& [name, type] :
         {std::pair{"sdf", FieldType::Sdf}, std::pair{"msdf", FieldType::Msdf}, std::pair{"mtsdf", FieldType::Mtsdf}}) {
        if (!types.contains(QString::fromLatin1(name)))
            continue;
        const Timing one = drawAll(glyphs, type, range, 1, runs);
        const Timing many = drawAll(glyphs, type, range, all, runs);
        std::printf("  %-5s fields: 1 thread %7.1f ms (processor %7.1f ms), %d threads %7.1f ms (processor %7.1f ms)\n",
                    name, one.wall, one.processor, all, many.wall, many.processor);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak resident memory %8.1f MB\n", double(usage.ru_maxrss) / 1024);
    return 0;
}
