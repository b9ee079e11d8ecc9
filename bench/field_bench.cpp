// Prints how long distance fields take for every glyph a font maps in 0x20-0xFFFF, per field type,
// on one thread and on all of them, and the process's peak memory.
//   glyfrax-field-bench [FONT_FILE [PIXELS [RANGE [TYPES [RUNS]]]]]
// default: DejaVu Sans, 32 px, range 4, sdf,msdf,mtsdf, the best of 3 runs. The worst glyph of the
// hostile test fonts: glyfrax-field-bench tests/data/hostile/spiky.ttf 64 4 msdf 1
//   glyfrax-field-bench error FONT_FILE PIXELS RANGE TYPES [ATLAS.json ATLAS.png]
// prints instead the edge error of those fields (the measure of the field tests: the outline a
// shader shows at 8 times against the true one) over all the glyphs, each field drawn alone; with
// the layout and image of another generator's atlas (msdf-atlas-gen -json ... -imageout ...
// -yorigin top) that atlas's error on the same glyphs beside ours.

#include "base/Parallel.h"
#include "render/DistanceField.h"
#include "support/EdgeError.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
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
Timing drawAll(const std::vector<Glyph>& glyphs, PageField type, double range, int threads, int runs)
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

// The glyphs of font that the characters 0x20-0xFFFF map to, each once, in order; and how many
// characters map to one.
std::vector<quint32> mappedGlyphs(const QRawFont& font, std::size_t& characters)
{
    std::vector<quint32> glyphIds;
    for (char32_t code = 0x20; code <= 0xFFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        const QList<quint32> ids = font.glyphIndexesForString(QString::fromUcs4(&code, 1));
        if (ids.size() == 1 && ids[0] != 0)
            glyphIds.push_back(ids[0]);
    }
    characters = glyphIds.size();
    std::sort(glyphIds.begin(), glyphIds.end());
    glyphIds.erase(std::unique(glyphIds.begin(), glyphIds.end()), glyphIds.end());
    return glyphIds;
}

// A glyph's field as another generator drew it: its box in that atlas and its pen position there.
struct AtlasCell
{
    QRect box;
    QPointF pen;
};

// The cells of an atlas by glyph, from its JSON layout (y downwards: -yorigin top): the pen lies
// where the plane bounds' origin falls in the atlas bounds; the box is the atlas bounds in whole
// pixels. Glyphs without ink, or at another size than pixels per em, are left out.
std::map<quint32, AtlasCell> atlasCells(const QString& layout, const QRawFont& font, double pixels)
{
    QFile file(layout);
    std::map<quint32, AtlasCell> cells;
    if (!file.open(QIODevice::ReadOnly))
        return cells;
    const QJsonArray glyphs = QJsonDocument::fromJson(file.readAll()).object().value(u"glyphs").toArray();
    for (const QJsonValue& value : glyphs) {
        const QJsonObject glyph = value.toObject();
        const QJsonObject plane = glyph.value(u"planeBounds").toObject();
        const QJsonObject atlas = glyph.value(u"atlasBounds").toObject();
        if (plane.isEmpty() || atlas.isEmpty())
            continue;
        const char32_t code = char32_t(glyph.value(u"unicode").toInt());
        const QList<quint32> ids = font.glyphIndexesForString(QString::fromUcs4(&code, 1));
        if (ids.size() != 1 || ids[0] == 0)
            continue;
        auto at = [](const QJsonObject& o, const char* key) { return o.value(QLatin1String(key)).toDouble(); };
        const double scaleX = (at(atlas, "right") - at(atlas, "left")) / (at(plane, "right") - at(plane, "left"));
        const double scaleY = (at(atlas, "bottom") - at(atlas, "top")) / (at(plane, "bottom") - at(plane, "top"));
        if (std::abs(std::abs(scaleX) - pixels) > 1e-3 * pixels || std::abs(std::abs(scaleY) - pixels) > 1e-3 * pixels)
            continue;
        const QPointF pen(at(atlas, "left") - at(plane, "left") * scaleX, at(atlas, "top") - at(plane, "top") * scaleY);
        const QPoint topLeft(int(std::floor(std::min(at(atlas, "left"), at(atlas, "right")))),
                             int(std::floor(std::min(at(atlas, "top"), at(atlas, "bottom")))));
        const QPoint end(int(std::ceil(std::max(at(atlas, "left"), at(atlas, "right")))),
                         int(std::ceil(std::max(at(atlas, "top"), at(atlas, "bottom")))));
        cells[ids[0]] = {QRect(topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y())), pen};
    }
    return cells;
}

// The edge error over glyphs, measuring each glyph's field with field(glyph, error) on all threads.
template <typename Measure> test::EdgeError errorOf(std::size_t glyphs, Measure&& measure)
{
    const int threads = defaultThreadCount();
    std::vector<test::EdgeError> errors(static_cast<std::size_t>(threads));
    runOnThreads(threads, [&](int worker) {
        for (std::size_t i = std::size_t(worker); i < glyphs; i += std::size_t(threads))
            measure(i, errors[std::size_t(worker)]);
    });
    test::EdgeError total;
    for (const test::EdgeError& e : errors) {
        total.area += e.area;
        total.length += e.length;
        total.largest = std::max(total.largest, e.largest);
    }
    return total;
}

int printEdgeErrors(const QStringList& args)
{
    const QRawFont font(args.value(0), args.value(1).toDouble());
    const double pixels = args.value(1).toDouble();
    const double range = args.value(2).toDouble();
    if (!font.isValid() || !(pixels > 0) || !(range > 0)) {
        std::printf("Aufruf: glyfrax-field-bench error SCHRIFT PIXEL BEREICH ARTEN [ATLAS.json ATLAS.png]\n");
        return 1;
    }
    std::size_t characters = 0;
    std::vector<quint32> ids = mappedGlyphs(font, characters);
    const std::map<quint32, AtlasCell> cells = atlasCells(args.value(4), font, pixels);
    QImageReader::setAllocationLimit(0); // an atlas of all glyphs of a CJK font is larger than Qt allows by default
    const QImage atlas(args.value(5));
    if (args.size() > 4) {
        if (cells.empty() || atlas.isNull()) {
            std::printf("Atlas nicht lesbar: %s, %s\n", qPrintable(args.value(4)), qPrintable(args.value(5)));
            return 1;
        }
        std::erase_if(ids, [&](quint32 id) { return !cells.contains(id); });
    }
    std::vector<std::pair<QPainterPath, QRect>> glyphs;
    std::vector<quint32> inked;
    for (quint32 id : ids) {
        QPainterPath outline = font.pathForGlyph(id);
        const QRect box = fieldBox(outline, range);
        if (box.isEmpty())
            continue;
        glyphs.emplace_back(std::move(outline), box);
        inked.push_back(id);
    }
    std::printf("%s, %.0f px, range %.0f: edge error over %zu glyphs, mean and largest in pixels\n",
                qPrintable(font.familyName()), pixels, range, glyphs.size());
    for (const auto& [name, type] :
         {std::pair{"sdf", PageField::Sdf}, std::pair{"msdf", PageField::Msdf}, std::pair{"mtsdf", PageField::Mtsdf}}) {
        if (!args.value(3).split(u',').contains(QString::fromLatin1(name)))
            continue;
        const test::EdgeError error = errorOf(glyphs.size(), [&](std::size_t i, test::EdgeError& e) {
            const auto& [outline, box] = glyphs[i];
            QImage field(box.size(), QImage::Format_ARGB32);
            drawDistanceField(field, field.rect(), outline, -box.topLeft(), type, range);
            e.add(field, outline, -box.topLeft());
        });
        std::printf("  %-5s ours  %.4f  %.3f\n", name, error.mean(), error.largest);
    }
    if (!cells.empty()) {
        const test::EdgeError error = errorOf(glyphs.size(), [&](std::size_t i, test::EdgeError& e) {
            const AtlasCell& cell = cells.at(inked[i]);
            e.add(atlas.copy(cell.box).convertToFormat(QImage::Format_ARGB32), glyphs[i].first,
                  cell.pen - QPointF(cell.box.topLeft()));
        });
        std::printf("  atlas        %.4f  %.3f  (%s)\n", error.mean(), error.largest, qPrintable(args.value(4)));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QStringLiteral("error"))
        return printEdgeErrors(args.mid(1));
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
    std::size_t characters = 0;
    const std::vector<quint32> glyphIds = mappedGlyphs(font, characters);
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
         {std::pair{"sdf", PageField::Sdf}, std::pair{"msdf", PageField::Msdf}, std::pair{"mtsdf", PageField::Mtsdf}}) {
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
