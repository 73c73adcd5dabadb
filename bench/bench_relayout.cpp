// Times the main window's relayout (the first paint after a burst of resizes: the panel drawn
// at the window's size, the margin texture scaled around it, fourteen widgets moved, fonts and
// meter bars recomputed) and an ordinary paint afterwards, at a few window sizes.
//
//   bench_relayout [iterations]
//
// Runs on the offscreen platform unless a platform is chosen; the settings store is a
// temporary folder, so the window never starts in a stored server role.

#include "app/mainwindow.h"
#include "benchapp.h"
#include "mainwindowprobe.h"
#include "paintcounter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures
{
    double median;
    double min;
};

Figures figures(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms.front() };
}

double timedRepaint(MainWindow &window)
{
    QElapsedTimer timer;
    timer.start();
    window.repaint();
    return timer.nsecsElapsed() / 1e6;
}

// The window's own drawing alone, without the widgets on it: the panel and margins copied.
double timedOwnPaint(MainWindow &window, QImage &target)
{
    QElapsedTimer timer;
    timer.start();
    window.render(&target, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    const int iterations = countArgument(argc, argv, 1, 15);

    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was never exposed\n");
        return 1;
    }
    flushPaints();

    std::printf("platform %s, %d iterations, times in ms\n",
                qPrintable(QGuiApplication::platformName()), iterations);
    std::printf("%-11s %18s %18s %18s\n", "size", "relayout med/min", "paint med/min",
                "own paint med/min");
    for (const QSize size : { QSize(1920, 1080), QSize(3840, 2160) }) {
        std::vector<double> relayouts;
        std::vector<double> paints;
        std::vector<double> ownPaints;
        QImage target(size, QImage::Format_ARGB32_Premultiplied);
        for (int i = 0; i < iterations; ++i) {
            // A burst of two resizes, then the paint that lays the window out once.
            window.resize(size - QSize(1, 0));
            window.resize(size);
            if (!MainWindowTestAccess::resized(window)) {
                std::fprintf(stderr, "no relayout due after resizing\n");
                return 1;
            }
            relayouts.push_back(timedRepaint(window));
            if (MainWindowTestAccess::resized(window)
                || MainWindowTestAccess::scaledBackground(window)->height() != size.height()) {
                std::fprintf(stderr, "the paint did not lay the window out\n");
                return 1;
            }
            // The relayout asks for one more paint; let it happen before the next round.
            flushPaints();

            const qint64 key = MainWindowTestAccess::scaledBackground(window)->cacheKey();
            paints.push_back(timedRepaint(window));
            ownPaints.push_back(timedOwnPaint(window, target));
            if (MainWindowTestAccess::scaledBackground(window)->cacheKey() != key) {
                std::fprintf(stderr, "an ordinary paint scaled the pictures again\n");
                return 1;
            }
        }
        const Figures relayout = figures(relayouts);
        const Figures paint = figures(paints);
        const Figures own = figures(ownPaints);
        std::printf("%4dx%-6d %9.2f/%-8.2f %9.2f/%-8.2f %9.2f/%-8.2f\n", size.width(),
                    size.height(), relayout.median, relayout.min, paint.median, paint.min,
                    own.median, own.min);
    }
    return 0;
}
