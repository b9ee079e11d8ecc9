// Prints how long the layout and the whole export take, and the export's peak memory.
//   glyfrax-bench             everything
//   glyfrax-bench layout      the layout alone
//   glyfrax-bench export PT   one export in this process (used by the full run, which starts a
//                             fresh process per size so that each peak memory is its own)
//   glyfrax-bench startup     where a fresh process spends its time before and during a small export
//   glyfrax-bench bmfont [EXPORTER]
//                             whole BMFont exports of whole scripts (CJK with fallback, all of DejaVu
//                             Sans); with another glyfrax-export, both in turn, for a before and after
//   glyfrax-bench project     a project of 24 sets: built whole, against 24 separate exports one
//                             after another; rebuilt with nothing changed, and with one font changed
//   glyfrax-bench cancel      how soon a BMFont export of large glyphs with effects stops once cancelled

#include "base/Localization.h"
#include "export/bmfont/BmFontExport.h"
#include "export/classic/ClassicExport.h"
#include "layout/TextureLayout.h"
#include "render/FontMeasure.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
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
    Result<ExportedFiles> outcome = exportClassic(path, settings, {});
    const double first = double(timer.nsecsElapsed()) / 1e6;
    std::vector<double> times;
    for (int run = 0; run < 5 && outcome; ++run) {
        timer.restart();
        outcome = exportClassic(path, settings, {});
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
    if (!exportClassic(dir.filePath(QStringLiteral("f.bmp")), settings, {}))
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

// One run of a program: its wall time, its processor time and its peak memory.
struct ProcessRun
{
    double wallMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
    bool ok = false;
};

ProcessRun runProcess(const QString& program, const QStringList& arguments)
{
    std::vector<QByteArray> owned{program.toLocal8Bit()};
    for (const QString& argument : arguments)
        owned.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : owned)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    ProcessRun run;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        run.wallMs = double(timer.nsecsElapsed()) / 1e6;
        run.cpuMs = (double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
        run.peakMiB = double(usage.ru_maxrss) / 1024.0;
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

qint64 pagesBytes(const QString& folder)
{
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("*.png")}, QDir::Files))
        bytes += file.size();
    return bytes;
}

// Whole exports of whole scripts, as a build script runs them; with a second exporter, the two
// take turns, so that both meet the same load of a shared machine.
void benchWholeScripts(const QString& other)
{
    struct Work
    {
        const char* name;
        QStringList arguments;
    };
    const QStringList common{QStringLiteral("--format"), QStringLiteral("bmfont"), QStringLiteral("--size"),
                             QStringLiteral("24")}; // 32 pixels per em at 96 dpi; older exporters have no --pixels
    const std::vector<Work> works{
        {"CJK 32 px (WenQuanYi Micro Hei, ASCII + U+4E00-U+9FFF)",
         common + QStringList{QStringLiteral("--font"), QStringLiteral("WenQuanYi Micro Hei"),
                              QStringLiteral("--chars"), QStringLiteral("32-126,0x4E00-0x9FFF")}},
        {"DejaVu Sans 32 px, all of its characters up to U+FFFF",
         common + QStringList{QStringLiteral("--font"), QStringLiteral("DejaVu Sans"), QStringLiteral("--chars"),
                              QStringLiteral("32-0xFFFF")}},
        {"DejaVu Sans 32 px, Latin-1", common + QStringList{QStringLiteral("--font"), QStringLiteral("DejaVu Sans")}}};
    QStringList exporters{QStringLiteral(GLYFRAX_EXPORT_BINARY)};
    if (!other.isEmpty())
        exporters.append(other);
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("empty.ini")));
    config.open(QIODevice::WriteOnly);
    config.close();
    constexpr int kRuns = 7;
    std::printf("BMFont exports, whole process, median of %d (wall ms, processor ms, peak MiB, pages' bytes):\n",
                kRuns);
    for (const Work& work : works) {
        std::printf("  %s\n", work.name);
        std::vector<std::vector<ProcessRun>> runs(std::size_t(exporters.size()));
        std::vector<qint64> bytes(std::size_t(exporters.size()));
        for (int round = 0; round < kRuns; ++round) {
            for (qsizetype e = 0; e < exporters.size(); ++e) {
                const QString folder = dir.filePath(QString::number(e));
                QDir().mkpath(folder);
                runs[std::size_t(e)].push_back(
                    runProcess(exporters[e], QStringList{QStringLiteral("--config"), config.fileName()} +
                                                 work.arguments + QStringList{folder + QStringLiteral("/f.png")}));
                bytes[std::size_t(e)] = pagesBytes(folder);
            }
        }
        for (qsizetype e = 0; e < exporters.size(); ++e) {
            const std::vector<ProcessRun>& r = runs[std::size_t(e)];
            const auto median = [&r](double ProcessRun::*field) {
                std::vector<double> values;
                for (const ProcessRun& run : r)
                    values.push_back(run.*field);
                return medianOf(values);
            };
            const bool ok = std::all_of(r.begin(), r.end(), [](const ProcessRun& run) { return run.ok; });
            std::printf("    %-10s %8.0f ms %8.0f ms %7.1f MiB %10lld bytes%s\n", e == 0 ? "this" : "other",
                        median(&ProcessRun::wallMs), median(&ProcessRun::cpuMs), median(&ProcessRun::peakMiB),
                        static_cast<long long>(bytes[std::size_t(e)]), ok ? "" : "  (failed)");
        }
        std::fflush(stdout);
    }
}

// Each character's page and place in a text descriptor.
std::map<int, QString> cellPlaces(const QString& descriptor)
{
    std::map<int, QString> places;
    QFile file(descriptor);
    file.open(QIODevice::ReadOnly);
    static const QRegularExpression place(QStringLiteral(R"(^char id=(-?\d+)\s+x=(\d+)\s+y=(\d+).*page=(\d+))"));
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QRegularExpressionMatch match = place.match(QString::fromUtf8(line));
        if (match.hasMatch())
            places[match.captured(1).toInt()] = match.captured(2) + u',' + match.captured(3) + u',' + match.captured(4);
    }
    return places;
}

// DejaVu Sans's characters at 32 px on pages of 1024, then 64 more added with the layout kept: how
// many earlier cells moved, and which share of the pages' bytes changed.
void benchKeptLayout(const QString& exporter, const QString& config, const QTemporaryDir& dir)
{
    const QString image = dir.filePath(QStringLiteral("kept/set.png"));
    QDir().mkpath(QFileInfo(image).absolutePath());
    auto run = [&](const QString& chars) {
        return runProcess(exporter,
                          {QStringLiteral("--config"), config, QStringLiteral("--format"), QStringLiteral("bmfont"),
                           QStringLiteral("--font"), QStringLiteral("DejaVu Sans"), QStringLiteral("--pixels"),
                           QStringLiteral("32"), QStringLiteral("--max-texture"), QStringLiteral("1024"),
                           QStringLiteral("--keep-layout"), QStringLiteral("--chars"), chars, image});
    };
    auto pageBytes = [&] {
        std::map<QString, QByteArray> pages;
        for (const QFileInfo& page : QDir(QFileInfo(image).absolutePath()).entryInfoList({QStringLiteral("*.png")})) {
            QFile file(page.absoluteFilePath());
            file.open(QIODevice::ReadOnly);
            pages[page.fileName()] = file.readAll();
        }
        return pages;
    };
    run(QStringLiteral("32-0x2FF,0x340-0xFFFF"));
    const std::map<int, QString> before = cellPlaces(dir.filePath(QStringLiteral("kept/set.fnt")));
    const auto pagesBefore = pageBytes();
    const ProcessRun added = run(QStringLiteral("32-0xFFFF"));
    const std::map<int, QString> after = cellPlaces(dir.filePath(QStringLiteral("kept/set.fnt")));
    const auto pagesAfter = pageBytes();
    int moved = 0;
    for (const auto& [id, place] : before)
        moved += after.count(id) && after.at(id) != place ? 1 : 0;
    qint64 changed = 0;
    qint64 total = 0;
    for (const auto& [name, bytes] : pagesAfter) {
        total += bytes.size();
        if (!pagesBefore.count(name) || pagesBefore.at(name) != bytes)
            changed += bytes.size();
    }
    std::printf("--keep-layout, DejaVu Sans 32 px on 1024 pages: %zu characters, then %zu (%.0f ms): %d earlier cells "
                "moved, %zu of %zu pages changed, %.0f %% of the pages' bytes\n",
                before.size(), after.size(), added.wallMs, moved,
                std::size_t(std::count_if(pagesAfter.begin(), pagesAfter.end(),
                                          [&](const auto& page) {
                                              return !pagesBefore.count(page.first) ||
                                                     pagesBefore.at(page.first) != page.second;
                                          })),
                pagesAfter.size(), total ? 100.0 * double(changed) / double(total) : 0.0);
    std::fflush(stdout);
}

// A game's fonts: 3 faces x 4 sizes x 2 scales of Latin-1 and Cyrillic, as one project and as 24
// separate exports run one after another, as a build script without projects runs them.
void benchProject()
{
    QTemporaryDir dir;
    const QStringList faces{QStringLiteral("DejaVuSans"), QStringLiteral("DejaVuSerif"),
                            QStringLiteral("DejaVuSansMono")};
    const int sizes[] = {16, 24, 32, 48};
    const QString chars = QStringLiteral("32-126,160-255,0x400-0x4FF");
    QByteArray ini = "[defaults]\nChars=" + chars.toUtf8() + "\nScales=1,2\n";
    QStringList separate;
    for (const QString& face : faces) {
        QFile::copy(QStringLiteral("/usr/share/fonts/truetype/dejavu/%1.ttf").arg(face),
                    dir.filePath(face + QStringLiteral(".ttf")));
        for (const int size : sizes) {
            const QString name = QStringLiteral("%1-%2").arg(face).arg(size);
            ini += "\n[" + name.toUtf8() + "]\nFontFile=" + face.toUtf8() + ".ttf\nPixels=" + QByteArray::number(size) +
                   "\nOutput=project/" + name.toUtf8() + ".png\n";
            for (const int scale : {1, 2})
                separate.append(QStringLiteral("%1 %2 %3")
                                    .arg(face)
                                    .arg(size * scale)
                                    .arg(name + (scale == 2 ? QStringLiteral("@2x") : QString())));
        }
    }
    const QString project = dir.filePath(QStringLiteral("fonts.ini"));
    QFile file(project);
    file.open(QIODevice::WriteOnly);
    file.write(ini);
    file.close();
    QFile config(dir.filePath(QStringLiteral("empty.ini")));
    config.open(QIODevice::WriteOnly);
    config.close();
    QDir(dir.path()).mkpath(QStringLiteral("separate"));
    const QString exporter = QStringLiteral(GLYFRAX_EXPORT_BINARY);

    std::printf("A project of 24 sets (3 faces x 4 sizes x 2 scales, Latin-1 + Cyrillic), whole process "
                "(wall ms, processor ms):\n");
    const ProcessRun whole = runProcess(exporter, {QStringLiteral("--project"), project});
    std::printf("  project, full build        %8.0f ms %8.0f ms%s\n", whole.wallMs, whole.cpuMs,
                whole.ok ? "" : "  (failed)");
    double separateWall = 0;
    double separateCpu = 0;
    bool separateOk = true;
    for (const QString& job : separate) {
        const QStringList parts = job.split(u' ');
        const ProcessRun one =
            runProcess(exporter, {QStringLiteral("--config"), config.fileName(), QStringLiteral("--format"),
                                  QStringLiteral("bmfont"), QStringLiteral("--font-file"),
                                  dir.filePath(parts[0] + QStringLiteral(".ttf")), QStringLiteral("--pixels"), parts[1],
                                  QStringLiteral("--chars"), chars,
                                  dir.filePath(QStringLiteral("separate/") + parts[2] + QStringLiteral(".png"))});
        separateWall += one.wallMs;
        separateCpu += one.cpuMs;
        separateOk = separateOk && one.ok;
    }
    std::printf("  24 separate exports        %8.0f ms %8.0f ms%s\n", separateWall, separateCpu,
                separateOk ? "" : "  (failed)");
    std::vector<double> nothing;
    for (int round = 0; round < 7; ++round)
        nothing.push_back(runProcess(exporter, {QStringLiteral("--project"), project}).wallMs);
    std::printf("  rebuild, nothing changed   %8.0f ms (median of 7, the whole process)\n", medianOf(nothing));
    QFile font(dir.filePath(QStringLiteral("DejaVuSerif.ttf")));
    font.open(QIODevice::Append);
    font.write(QByteArray(4, '\0')); // new bytes, the same glyphs
    font.close();
    QProcess changed;
    changed.start(exporter, {QStringLiteral("--project"), project});
    QElapsedTimer timer;
    timer.start();
    changed.waitForFinished(-1);
    const double changedMs = double(timer.nsecsElapsed()) / 1e6;
    const int rebuilt = int(QString::fromUtf8(changed.readAllStandardOutput()).count(QStringLiteral(": gebaut")));
    std::printf("  rebuild, one font changed  %8.0f ms, %d of 24 sets built again\n", changedMs, rebuilt);
    std::fflush(stdout);
    benchKeptLayout(exporter, config.fileName(), dir);
}

// Cancels a BMFont export of Latin-1 at 1000 pixels with an outline and a blurred shadow after a
// while, and tells how long it then went on: the wait of a user who pressed Abbrechen.
void benchCancel()
{
    Settings settings;
    settings.font = dejaVu(12);
    settings.bmfont.pixels = 1000;
    settings.bmfont.outline = 32;
    settings.bmfont.shadow = GlyphShadow{8, 8, 32};
    std::printf("BMFont export, 1000 px, outline 32, shadow blurred over 32 px, cancelled after (ms): went on (ms)\n");
    for (const int after : {200, 1000, 3000}) {
        QTemporaryDir dir;
        std::atomic<bool> cancelled = false;
        QElapsedTimer timer;
        BmFontRun run;
        run.stillWanted = [&cancelled] { return !cancelled; };
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(after));
            timer.start();
            cancelled = true;
        });
        const bool done = bool(exportBmFont(dir.filePath(QStringLiteral("f.png")), settings, run, {}));
        canceller.join();
        std::printf("  %5d: %8.0f%s\n", after, double(timer.nsecsElapsed()) / 1e6, done ? "  (finished first)" : "");
        std::fflush(stdout);
    }
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
    if (args.value(0) == QStringLiteral("cancel")) {
        benchCancel();
        return 0;
    }
    if (args.value(0) == QStringLiteral("project")) {
        benchProject();
        return 0;
    }
    if (args.value(0) == QStringLiteral("bmfont")) {
        benchWholeScripts(args.value(1));
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
