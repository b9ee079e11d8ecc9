// Prints how long the texture view takes from a change of the font until it shows the new pages,
// how long the window's thread was kept busy meanwhile, and what a page of 4096 x 4096 holds.
//   glyfrax-viewbench                                   the figures
//   glyfrax-viewbench show FACE PT PROFILE ZOOM [CHARS] the window and its view for a screenshot,
//                                                       PROFILE classic or bmfont, ZOOM in percent,
//                                                       cell outlines on and the third cell chosen;
//                                                       closes after 30 seconds

#include "app/shared/DialogService.h"
#include "app/view/TextureView.h"
#include "app/window/MainWindow.h"
#include "base/Localization.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace glyfrax;

namespace {

Settings fontSettings(const QString& face, float size, const QString& chars = {})
{
    Settings settings;
    settings.font = {face, size, false, false, 0xFFFFFF, 0};
    settings.options.xDist = 1;
    settings.options.yDist = 1;
    settings.bmfont.chars = chars;
    return settings;
}

// Waits for the view's next picture; returns the milliseconds, and the longest time the event
// loop did not turn meanwhile.
std::pair<double, double> timeUntilShown(TextureView& view)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QObject::connect(&view, &TextureView::pictureShown, &loop, &QEventLoop::quit);
    QTimer tick;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = timer.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    tick.start(5);
    loop.exec();
    longestGap = std::max(longestGap, timer.nsecsElapsed() - lastTick);
    return {double(timer.nsecsElapsed()) / 1e6, double(longestGap) / 1e6};
}

void benchFontChange(const char* title, const Settings& base, TextureProfile profile, int runs)
{
    QElapsedTimer timer;
    timer.start();
    TextureView view(base);
    view.setProfile(profile);
    timeUntilShown(view);
    const double first = double(timer.nsecsElapsed()) / 1e6; // the view's and the font's first use included
    std::vector<double> times;
    double longestGap = 0;
    for (int run = 0; run < runs; ++run) {
        Settings changed = base;
        changed.font.size = base.font.size + float(run % 2 == 0 ? 1 : 0);
        view.setSettings(changed);
        const auto [time, gap] = timeUntilShown(view);
        times.push_back(time);
        longestGap = std::max(longestGap, gap);
    }
    std::sort(times.begin(), times.end());
    // Ten changes in a row, as fast as a user can make them: only the last one is drawn.
    timer.restart();
    for (int step = 1; step <= 10; ++step) {
        Settings changed = base;
        changed.font.size = base.font.size + float(step) / 4;
        view.setSettings(changed);
        QCoreApplication::processEvents();
    }
    const double lastGap = timeUntilShown(view).second;
    const double tenChanges = double(timer.nsecsElapsed()) / 1e6;
    const ViewPicture& picture = *view.picture();
    std::printf("  %s: %zu characters, %dx%d x%d\n    %.1f ms (median of %d; the first %.1f ms), ten changes in a "
                "row %.1f ms; the window's thread busy at most %.1f ms at a time\n",
                title, picture.descriptor->chars.size(), picture.shown.size().width(), picture.shown.size().height(),
                picture.pageCount, times[times.size() / 2], runs, first, tenChanges, std::max(longestGap, lastGap));
    if (picture.shown.size() == QSize(4096, 4096))
        std::printf("  a 4096x4096 page as the view holds it: %.1f MiB (page %.1f MiB, copies at 1/2 and 1/4 "
                    "%.1f MiB), sample line %.2f MiB\n",
                    double(picture.shown.bytes()) / 1048576.0, double(picture.shown.page().sizeInBytes()) / 1048576.0,
                    double(picture.shown.bytes() - picture.shown.page().sizeInBytes()) / 1048576.0,
                    double(picture.sample.bytes()) / 1048576.0);
}

// Closing the view waits for its thread: at worst until the page under way is drawn.
void benchClosingWhileDrawing(const Settings& settings)
{
    for (const int delay : {50, 150, 250, 350, 450, 550}) {
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            auto view = std::make_unique<TextureView>(settings);
            view->setProfile(TextureProfile::BmFont);
            QThread::msleep(delay);
            QElapsedTimer timer;
            timer.start();
            view.reset();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        std::printf("  closing the view %d ms into drawing 20,000 characters: %.1f ms (median of 3)\n", delay,
                    times[1]);
    }
}

int show(const QStringList& args)
{
    QTemporaryDir folder;
    QtDialogService dialogs;
    MainWindow window(folder.path(), fontSettings(args.value(1), args.value(2).toFloat(), args.value(5)), dialogs);
    window.move(10, 10);
    window.show();
    window.showTextureView();
    TextureView* view = window.textureView();
    view->move(window.frameGeometry().right() + 20, 10);
    view->setProfile(args.value(3) == QStringLiteral("bmfont") ? TextureProfile::BmFont : TextureProfile::Classic);
    view->setZoom(args.value(4).toDouble() / 100.0, QPoint(0, 0));
    // Cell outlines on, and the third cell chosen with the arrow keys, once the pages are there.
    QObject::connect(view, &TextureView::pictureShown, view, [view] {
        view->findChild<QCheckBox*>(QStringLiteral("OutlinesBox"))->setChecked(true);
        auto* canvas = view->findChild<QWidget*>(QStringLiteral("PageCanvas"));
        canvas->setFocus();
        for (int step = 0; step < 3; ++step) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
            QCoreApplication::sendEvent(canvas, &press);
        }
    });
    QTimer::singleShot(30000, qApp, &QCoreApplication::quit);
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installGermanTranslations(app);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QStringLiteral("show"))
        return show(args);
    std::printf("Texture view, from a change of the font size until the new pages are shown:\n");
    benchFontChange("classic, DejaVu Sans 14 pt", fontSettings(QStringLiteral("DejaVu Sans"), 14),
                    TextureProfile::Classic, 9);
    benchFontChange("BMFont, DejaVu Sans 14 pt", fontSettings(QStringLiteral("DejaVu Sans"), 14),
                    TextureProfile::BmFont, 9);
    benchFontChange("BMFont, WenQuanYi Micro Hei 12 pt",
                    fontSettings(QStringLiteral("WenQuanYi Micro Hei"), 12, QStringLiteral("0x4E00-0x9FFF")),
                    TextureProfile::BmFont, 3);
    benchClosingWhileDrawing(fontSettings(QStringLiteral("WenQuanYi Micro Hei"), 12, QStringLiteral("0x4E00-0x9FFF")));
    return 0;
}
