// The panel as the real window paints it at three sizes, read back from the window's own
// pixels: every printed mark on the row where its meter's bar ends at that level, the numbers
// on their marks, and edges that go from metal to ink at once rather than over a blur.

#include "mainwindowprobe.h"
#include "panel/designlayout.h"
#include "panel/panellayout.h"
#include "panelpixels.h"
#include "testsupport.h"

#include <QImage>
#include <QPixmap>
#include <QtTest>

#include <cmath>
#include <vector>

using namespace PictureLayout;

namespace {

using Access = MainWindowTestAccess;

const char *const PanelVariable = "ORVANE_PANEL";

// Printed ink, fully covering its pixel.
bool isSolidInk(QRgb c)
{
    return std::max({qRed(c), qGreen(c), qBlue(c)}) <= 40;
}

// A window shown and laid out at `size`, and what it shows, in device pixels.
struct Shown
{
    QImage image;
    qreal ratio = 1.0;
    double factor = 1.0;    // device pixels per design pixel
    QRect meters[6];        // in the window's pixels

    // A design meter's widget in the window: its name is the design's.
    const QRect &meter(const MeterScale &scale) const
    {
        const char *const names[6] = {"ProgLeft", "ProgRight", "SubLeft",
                                      "SubRight", "CrmLeft",   "CrmRight"};
        for (int i = 0; i < 6; ++i) {
            if (qstrcmp(names[i], scale.name) == 0)
                return meters[i];
        }
        return meters[0];
    }
    int device(int windowPixels) const { return int(std::lround(windowPixels * ratio)); }
    QRgb at(int x, int y) const { return image.pixel(x, y); }
};

bool show(QSize size, Shown &shown)
{
    MainWindow window;
    window.resize(size);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)
        || !QTest::qWaitFor([&window] { return !Access::resized(window); }, 10000)
        || window.size() != size)
        return false;
    const char *const names[6] = {"ProgLeft", "ProgRight", "SubLeft",
                                  "SubRight", "CrmLeft",   "CrmRight"};
    for (int i = 0; i < 6; ++i) {
        const auto *meter = window.findChild<QWidget *>(QString::fromLatin1(names[i]));
        if (!meter)
            return false;
        shown.meters[i] = QRect(meter->mapTo(&window, QPoint(0, 0)), meter->size());
    }
    // The window's own painting without the widgets on it: the link legend, for one, lies
    // across the control-room scale while no frames arrive.
    shown.ratio = window.devicePixelRatioF();
    shown.image = QImage(size * shown.ratio, QImage::Format_RGB32);
    shown.image.setDevicePixelRatio(shown.ratio);
    shown.image.fill(Qt::magenta);
    window.render(&shown.image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    shown.factor = DesignLayout::fitDesign(size).scale * shown.ratio;
    return true;
}

// The column through the middle of a meter's ticks: they face the partner, a gap off the
// meter, and the red zone keeps to the part next to the meter.
int tickProbeColumn(const Shown &shown, const MeterScale &scale)
{
    const QRect meter = shown.meter(scale);
    const int tickLength = scale.tickRight - scale.tickLeft + 1;
    const double offset = (TickGap + (RedZoneWidth + tickLength) / 2.0) * shown.factor;
    if (scale.tickLeft > scale.x)
        return shown.device(meter.right() + 1) + int(offset);
    return shown.device(meter.left()) - 1 - int(offset);
}

struct InkRun
{
    int first;
    int last;
};

// The runs of ink down one column between two rows.
std::vector<InkRun> inkRuns(const Shown &shown, int x, int top, int bottom)
{
    std::vector<InkRun> runs;
    for (int y = top; y <= bottom; ++y) {
        if (!isInk(shown.at(x, y)))
            continue;
        if (!runs.empty() && runs.back().last == y - 1)
            runs.back().last = y;
        else
            runs.push_back({y, y});
    }
    return runs;
}

// Rows of neither metal nor solid ink between the metal and the tick's solid ink, above and
// below it: the blur of its edges.
int edgeBlur(const Shown &shown, int x, const InkRun &run)
{
    int worst = 0;
    for (int step : {-1, 1}) {
        int y = step < 0 ? run.first : run.last;
        while (isInk(shown.at(x, y)) && !isSolidInk(shown.at(x, y)))
            y -= step;
        int blurred = 0;
        for (int v = y + step; !isGround(shown.at(x, v)) && blurred < 10; v += step)
            ++blurred;
        // The ink's own partly covered rows count too.
        blurred += std::abs(y - (step < 0 ? run.first : run.last));
        worst = std::max(worst, blurred);
    }
    return worst;
}

const QSize Sizes[] = {QSize(986, 580), QSize(1920, 1080), QSize(3840, 2160)};

QString sizeName(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

} // namespace

Q_DECLARE_METATYPE(PictureLayout::MeterScale)

class TestPanelSizes : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void marksOnTheMetersRows_data();
    void marksOnTheMetersRows();
    void numbersOnTheirMarks_data();
    void numbersOnTheirMarks();
    void edgesAreSharpAt4K_data();
    void edgesAreSharpAt4K();
    void panelOfAnotherRatioIsDrawnAgain();

private:
    // The sizes whose device pixels stay within 4K, at the ratio this run has.
    static std::vector<QSize> sizes();
};

void TestPanelSizes::init()
{
    OrvaneTest::isolatedSettings().clear();
    qunsetenv(PanelVariable);
}

std::vector<QSize> TestPanelSizes::sizes()
{
    std::vector<QSize> fitting;
    const qreal ratio = qApp->devicePixelRatio();
    for (QSize size : Sizes) {
        if (size.width() * ratio <= 3840 && size.height() * ratio <= 2160)
            fitting.push_back(size);
    }
    return fitting;
}

void TestPanelSizes::marksOnTheMetersRows_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<MeterScale>("meter");
    for (QSize size : sizes()) {
        for (const ScalePair &pair : ScalePairs) {
            for (const MeterScale &meter : {pair.left, pair.right})
                QTest::newRow(qPrintable(sizeName(size) + QLatin1Char(' ')
                                         + QLatin1String(meter.name)))
                    << size << meter;
        }
    }
}

// Down the middle of a meter's ticks there are exactly the eleven marks, each a run of solid
// ink centred on the edge where the window's meter, at its real height, ends its bar at that
// level, with clean metal a row off either side.
void TestPanelSizes::marksOnTheMetersRows()
{
    QFETCH(QSize, size);
    QFETCH(MeterScale, meter);
    Shown shown;
    QVERIFY(show(size, shown));

    const QRect widget = shown.meter(meter);
    const int x = tickProbeColumn(shown, meter);
    const int margin = int(12 * shown.factor);
    const std::vector<InkRun> runs = inkRuns(shown, x, shown.device(widget.top()) - margin,
                                             shown.device(widget.bottom() + 1) + margin);
    QCOMPARE(int(runs.size()), int(ScaleMarks.size()));

    const int thickness = 2 * std::max(1, int(std::lround(shown.factor)));
    for (std::size_t i = 0; i < ScaleMarks.size(); ++i) {
        const double db = ScaleMarks[i];
        const int row = shown.device(barTopRow(widget.top(), widget.height(), db));
        const InkRun &run = runs[i];
        const QString where = QStringLiteral("%1 dB: ink rows %2..%3, bar edge at %4")
                                  .arg(db)
                                  .arg(run.first)
                                  .arg(run.last)
                                  .arg(row);
        // Centred on the edge between the bar's top row and the row above it.
        QVERIFY2(run.first + run.last + 1 == 2 * row, qPrintable(where));
        QVERIFY2(run.last - run.first + 1 == thickness, qPrintable(where));
        for (int y = run.first; y <= run.last; ++y)
            QVERIFY2(isSolidInk(shown.at(x, y)),
                     qPrintable(where + QLatin1String(": ") + describe(shown.at(x, y))));
        for (int y : {run.first - 1, run.last + 1})
            QVERIFY2(isGround(shown.at(x, y)) || isRed(shown.at(x, y)),
                     qPrintable(where + QLatin1String(": ") + describe(shown.at(x, y))));
    }
}

void TestPanelSizes::numbersOnTheirMarks_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("pair");
    const char *const names[3] = {"programme", "sub", "control room"};
    for (QSize size : sizes()) {
        for (int pair = 0; pair < 3; ++pair)
            QTest::newRow(qPrintable(sizeName(size) + QLatin1Char(' ')
                                     + QLatin1String(names[pair])))
                << size << pair;
    }
}

// Between a pair's tick columns each mark has its number, its ink centred on the mark's row:
// red for +5, ink below.
void TestPanelSizes::numbersOnTheirMarks()
{
    QFETCH(QSize, size);
    QFETCH(int, pair);
    Shown shown;
    QVERIFY(show(size, shown));
    const ScalePair &scale = ScalePairs[std::size_t(pair)];
    const QRect left = shown.meter(scale.left);
    const QRect right = shown.meter(scale.right);
    const int tickLength = scale.left.tickRight - scale.left.tickLeft + 1;
    const int inner = int(std::ceil((TickGap + tickLength + 1) * shown.factor));
    const int from = shown.device(left.right() + 1) + inner;
    const int to = shown.device(right.left()) - inner;
    QVERIFY(to - from > 10);

    for (double db : ScaleMarks) {
        const int row = shown.device(barTopRow(left.top(), left.height(), db));
        const bool red = db > 0.0;
        int top = -1;
        int bottom = -1;
        const int reach = int(9 * shown.factor);
        for (int y = row - reach; y <= row + reach; ++y) {
            for (int x = from; x < to; ++x) {
                if (red ? isRed(shown.at(x, y)) : isInk(shown.at(x, y))) {
                    top = top < 0 ? y : top;
                    bottom = y;
                }
            }
        }
        const QString where = QStringLiteral("%1 dB: ink rows %2..%3, mark at %4")
                                  .arg(db)
                                  .arg(top)
                                  .arg(bottom)
                                  .arg(row);
        QVERIFY2(top >= 0, qPrintable(where));
        // Digits are some 8 design rows high.
        QVERIFY2(bottom - top + 1 >= 7 * shown.factor, qPrintable(where));
        const double middle = (top + bottom + 1) / 2.0;
        QVERIFY2(std::abs(middle - row) <= std::max(1.0, shown.factor), qPrintable(where));
    }
}

void TestPanelSizes::edgesAreSharpAt4K_data()
{
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<int>("leastBlur");
    QTest::addColumn<int>("mostBlur");
    QTest::newRow("panel drawn at the size") << true << 0 << 1;
    // The check itself tells a sharp edge from a soft one: the design picture, blown up.
    QTest::newRow("design picture scaled") << false << 3 << 10;
}

// At 3840 x 2160 a tick goes from metal to solid ink within a row; the design picture scaled
// to that size, which the window shows where it may not draw, smears it over several.
void TestPanelSizes::edgesAreSharpAt4K()
{
    QFETCH(bool, drawn);
    QFETCH(int, leastBlur);
    QFETCH(int, mostBlur);
    if (qApp->devicePixelRatio() != 1.0)
        QSKIP("3840 x 2160 is beyond 4K at this pixel ratio");
    if (!drawn)
        qputenv(PanelVariable, "picture");
    Shown shown;
    QVERIFY(show(QSize(3840, 2160), shown));

    int least = 1000;
    int most = 0;
    for (const ScalePair &pair : ScalePairs) {
        for (const MeterScale &meter : {pair.left, pair.right}) {
            const QRect widget = shown.meter(meter);
            const int x = tickProbeColumn(shown, meter);
            for (const InkRun &run : inkRuns(shown, x, shown.device(widget.top()) - 40,
                                             shown.device(widget.bottom()) + 40)) {
                const int blur = edgeBlur(shown, x, run);
                least = std::min(least, blur);
                most = std::max(most, blur);
            }
        }
    }
    QVERIFY2(least >= leastBlur && most <= mostBlur,
             qPrintable(QStringLiteral("edges blurred over %1 to %2 rows").arg(least).arg(most)));
}

// A window that moves to a screen of another pixel ratio is not resized; its next paint still
// draws the panel anew, at the ratio it now has.
void TestPanelSizes::panelOfAnotherRatioIsDrawnAgain()
{
    MainWindow window;
    window.resize(1920, 1080);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!Access::resized(window));
    const qreal ratio = window.devicePixelRatioF();
    auto *panel = const_cast<QPixmap *>(Access::scaledBackground(window));
    QCOMPARE(panel->devicePixelRatioF(), ratio);
    QCOMPARE(panel->size(), QSize(1836, 1080) * ratio);
    // As the window finds it after the move: drawn for a ratio it no longer has.
    panel->setDevicePixelRatio(ratio * 1.5);
    const qint64 stale = panel->cacheKey();

    window.repaint();
    QVERIFY(!Access::resized(window));
    QVERIFY(Access::scaledBackground(window)->cacheKey() != stale);
    QCOMPARE(Access::scaledBackground(window)->devicePixelRatioF(), ratio);
    QCOMPARE(Access::scaledBackground(window)->size(), QSize(1836, 1080) * ratio);
}

ORVANE_TEST_MAIN(TestPanelSizes)
#include "tst_panelsizes.moc"
