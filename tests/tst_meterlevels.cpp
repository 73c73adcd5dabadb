#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "comm/release.h"
#include "mainwindowprobe.h"
#include "paintcounter.h"
#include "testsupport.h"
#include "widgets/vexoppmmeter.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace {

// Counts the paints the meter really receives.
using CountingMeter = CountingPaints<VexoPPMMeter>;

// The largest fall of one tick as the release works it out: 0.133 dB in single precision.
const double FullStep = double(0.133f);

int barHeightOf(const VexoPPMMeter &meter)
{
    return VexoPPMMeter::barHeightFor(meter.dBPosition, meter.height(), meter.getMindBPosition(),
                                      meter.getMaxdBPosition(), meter.getDINCurve());
}

QByteArray frameWithRaw(const QVector<unsigned short> &raw)
{
    return LevelFrame::encode(raw.constData());
}

// A frame of six levels in dB, kept for the window to read.
unsigned char *frameAt(const QVector<double> &levels)
{
    static QByteArray frame;
    QVector<unsigned short> raw;
    for (double db : levels)
        raw.append(LevelFrame::rawFromDb(db));
    frame = frameWithRaw(raw);
    return reinterpret_cast<unsigned char *>(frame.data());
}

} // namespace

class TestMeterLevels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void rawLevelsToDb_data();
    void rawLevelsToDb();
    void releaseReachesTarget_data();
    void releaseReachesTarget();
    void restingAtFloorDoesNothing_data();
    void restingAtFloorDoesNothing();
    void targetAboveScaleHoldsTopWithoutRepaints();
    void tickTakesTheHighestFrame_data();
    void tickTakesTheHighestFrame();
    void fallForElapsedTime_data();
    void fallForElapsedTime();
    void fallFollowsTheClock();
    void windowPaintsWhatTheMetersWould_data();
    void windowPaintsWhatTheMetersWould();

private:
    // One tick for the standalone meter, then the repaints it asked for are delivered.
    void tick(CountingMeter &meter, double target);

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<CountingMeter> meter;
};

void TestMeterLevels::initTestCase()
{
    window = std::make_unique<MainWindow>();
    // The test drives every tick itself.
    MainWindowTestAccess::releaseTimer(*window)->stop();
    QVERIFY(!MainWindowTestAccess::commSettings(*window).is_server);
}

void TestMeterLevels::init()
{
    // A meter of its own window, of a meter's design size: nothing else repaints it.
    meter = std::make_unique<CountingMeter>();
    meter->resize(12, 415);
    QVERIFY(shownAndPainted(*meter, *meter));
}

void TestMeterLevels::tick(CountingMeter &m, double target)
{
    // A frame of an earlier test may have woken the window's own tick, which sets the fall
    // for the time it found: this tick is on time.
    MainWindowTestAccess::releaseTimer(*window)->stop();
    MainWindowTestAccess::releaseFallThisTick(*window)
        = MainWindowTestAccess::releasePerTick(*window);
    MainWindowTestAccess::calculatePPMRelease(*window, &m, &target);
    QCoreApplication::processEvents();
}

void TestMeterLevels::rawLevelsToDb_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<double>("db");
    QTest::newRow("raw 0 is the floor") << 0 << -50.0;
    QTest::newRow("raw 50000 is 0 dB") << 50000 << 0.0;
    QTest::newRow("raw 55000 is +5 dB") << 55000 << 5.0;
    QTest::newRow("raw 65535 is +15.535 dB") << 65535 << 15.535;
    QTest::newRow("raw 1 is a thousandth above the floor") << 1 << -49.999;
}

// Each channel gets its own level, so a swapped byte or channel shows.
void TestMeterLevels::rawLevelsToDb()
{
    QFETCH(int, raw);
    QFETCH(double, db);
    const QVector<unsigned short> raws
        = { 0, 10000, 20000, 30000, 40000, static_cast<unsigned short>(raw) };
    QByteArray frame = frameWithRaw(raws);
    MainWindowTestAccess::updateMeters(*window, reinterpret_cast<unsigned char *>(frame.data()));

    const double *levels = MainWindowTestAccess::meterLevels(*window);
    QCOMPARE(levels[0], -50.0);
    QCOMPARE(levels[1], -40.0);
    QCOMPARE(levels[2], -30.0);
    QCOMPARE(levels[3], -20.0);
    QCOMPARE(levels[4], -10.0);
    QCOMPARE(levels[5], db);
}

void TestMeterLevels::releaseReachesTarget_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("ticks");
    QTest::newRow("rise from the floor to 0 dB") << -50.0 << 0.0 << 1;
    QTest::newRow("fall from +5 dB to the floor") << 5.0 << -50.0 << 414;
    QTest::newRow("fall from 0 dB to -20 dB") << 0.0 << -20.0 << 151;
    // Distances that single precision holds exactly, so that the step lands on the target.
    QTest::newRow("fall smaller than one step") << -10.0 << -10.125 << 1;
    QTest::newRow("small rise") << -20.0 << -19.5 << 1;
}

// Ticks until the position stops moving: the target must be reached exactly after the given
// number of ticks, every fall step but the last must be the full step, and the meter must be
// repainted exactly when its bar height in pixels changes.
void TestMeterLevels::releaseReachesTarget()
{
    QFETCH(double, start);
    QFETCH(double, target);
    QFETCH(int, ticks);

    meter->dBPosition = start;
    meter->CalculateMeter();
    QCoreApplication::processEvents();
    meter->paints = 0;

    int moved = 0;
    int heightChanges = 0;
    int height = barHeightOf(*meter);
    QVector<double> steps;
    for (int i = 0; i < 2000; ++i) {
        const double before = meter->dBPosition;
        tick(*meter, target);
        if (meter->dBPosition == before)
            break;
        ++moved;
        steps.append(meter->dBPosition - before);
        const int now = barHeightOf(*meter);
        if (now != height)
            ++heightChanges;
        height = now;
    }

    QCOMPARE(moved, ticks);
    QCOMPARE(meter->dBPosition, target);
    if (target < start) {
        for (int i = 0; i + 1 < steps.size(); ++i)
            QVERIFY2(qAbs(steps.at(i) + FullStep) < 1e-9, qPrintable(QString::number(i)));
        QVERIFY(steps.last() < 0.0 && steps.last() >= -FullStep - 1e-9);
    }
    QVERIFY(heightChanges > 0);
    QCOMPARE(meter->paints, heightChanges);
}

void TestMeterLevels::restingAtFloorDoesNothing_data()
{
    QTest::addColumn<double>("target");
    QTest::newRow("target at the floor") << -50.0;
    QTest::newRow("target below the floor") << -70.0;
}

// A position below the scale would be pulled up to -50 dB by CalculateMeter: that it stays
// shows that the tick neither called it nor touched the meter.
void TestMeterLevels::restingAtFloorDoesNothing()
{
    QFETCH(double, target);
    meter->dBPosition = -60.0;
    QCoreApplication::processEvents();
    meter->paints = 0;

    for (int i = 0; i < 100; ++i)
        tick(*meter, target);
    QCOMPARE(meter->dBPosition, -60.0);
    QCOMPARE(meter->paints, 0);

    // Control: a repaint that is asked for does arrive here.
    meter->update();
    QTRY_COMPARE(meter->paints, 1);
}

void TestMeterLevels::targetAboveScaleHoldsTopWithoutRepaints()
{
    QVector<unsigned short> raw(LevelFrame::Channels, 65535);
    QByteArray frame = frameWithRaw(raw);
    MainWindowTestAccess::updateMeters(*window, reinterpret_cast<unsigned char *>(frame.data()));
    double *levels = MainWindowTestAccess::meterLevels(*window);
    QCOMPARE(levels[0], 15.535);

    meter->dBPosition = -50.0;
    meter->CalculateMeter();
    QCoreApplication::processEvents();
    meter->paints = 0;

    MainWindowTestAccess::calculatePPMRelease(*window, meter.get(), &levels[0]);
    QCoreApplication::processEvents();
    QCOMPARE(meter->dBPosition, meter->getMaxdBPosition());
    QCOMPARE(meter->paints, 1);

    for (int i = 0; i < 100; ++i) {
        MainWindowTestAccess::calculatePPMRelease(*window, meter.get(), &levels[0]);
        QCoreApplication::processEvents();
    }
    QCOMPARE(meter->dBPosition, 5.0);
    QCOMPARE(meter->paints, 1);
}

void TestMeterLevels::tickTakesTheHighestFrame_data()
{
    // Events in order: a frame's six levels, or an empty list for a release tick. Then each
    // meter's position and its peak mark's level, the meters having started at `start`.
    QTest::addColumn<double>("start");
    QTest::addColumn<QList<QVector<double>>>("events");
    QTest::addColumn<QVector<double>>("bars");
    QTest::addColumn<QVector<double>>("peaks");

    const QVector<double> tick;
    const auto all = [](double db) { return QVector<double>(LevelFrame::Channels, db); };
    QTest::newRow("a short peak between two ticks reaches the bar and its mark")
        << -50.0 << QList<QVector<double>> { all(-50.0), all(0.0), all(-50.0), tick } << all(0.0)
        << all(0.0);
    QTest::newRow("the last frame is the highest")
        << -50.0 << QList<QVector<double>> { all(-30.0), all(-20.0), tick } << all(-20.0)
        << all(-20.0);
    QTest::newRow("each meter takes its own channel's highest")
        << -50.0
        << QList<QVector<double>> { { -40.0, -30.0, -20.0, -10.0, -5.0, 2.5 },
                                    { -45.0, -25.0, -35.0, -15.0, -5.5, 3.0 },
                                    tick }
        << QVector<double> { -40.0, -25.0, -20.0, -10.0, -5.0, 3.0 }
        << QVector<double> { -40.0, -25.0, -20.0, -10.0, -5.0, 3.0 };
    QTest::newRow("frames below the bar: one step of the fall")
        << 0.0 << QList<QVector<double>> { all(-40.0), all(-30.0), tick } << all(-FullStep)
        << all(0.0);
    QTest::newRow("after the peak the meter falls towards the last frame")
        << -50.0 << QList<QVector<double>> { all(0.0), all(-10.0), tick, tick, tick }
        << all(-2.0 * FullStep) << all(0.0);
    QTest::newRow("a peak of an earlier tick is not shown again")
        << -50.0 << QList<QVector<double>> { all(-6.0), tick, all(-30.0), tick }
        << all(-6.0 - FullStep) << all(-6.0);
}

// Between two ticks a meter's target is the highest level of every frame since the tick
// before, each meter its own channel's: a short peak reaches the bar and its mark.
void TestMeterLevels::tickTakesTheHighestFrame()
{
    QFETCH(double, start);
    QFETCH(QList<QVector<double>>, events);
    QFETCH(QVector<double>, bars);
    QFETCH(QVector<double>, peaks);

    const char *const names[]
        = { "ProgLeft", "ProgRight", "SubLeft", "SubRight", "CrmLeft", "CrmRight" };
    QVector<VexoPPMMeter *> meters;
    for (const char *name : names) {
        auto *m = window->findChild<VexoPPMMeter *>(QLatin1String(name));
        QVERIFY2(m, name);
        meters.append(m);
    }
    // Every tick on time; the meters at `start` with their marks there too, and targets that
    // keep them there.
    qint64 now = 7000000000;
    ReleaseClock &clock = MainWindowTestAccess::releaseClock(*window);
    clock.setSource([&now] { return now; });
    MainWindowTestAccess::updateMeters(*window, frameAt(QVector<double>(meters.size(), start)));
    for (VexoPPMMeter *m : meters) {
        m->dBPosition = start;
        m->resetPeak();
        m->CalculateMeter();
    }
    MainWindowTestAccess::meterRelease(*window);

    for (const QVector<double> &event : events) {
        if (event.isEmpty()) {
            now += 10000000;
            MainWindowTestAccess::meterRelease(*window);
        } else {
            MainWindowTestAccess::updateMeters(*window, frameAt(event));
        }
    }
    clock.setSource(ReleaseClock::monotonicNs);
    for (int i = 0; i < meters.size(); ++i) {
        QVERIFY2(
            qAbs(meters.at(i)->dBPosition - bars.at(i)) < 1e-6,
            qPrintable(QStringLiteral("meter %1 at %2 dB").arg(i).arg(meters.at(i)->dBPosition)));
        QVERIFY2(
            qAbs(meters.at(i)->peakdB() - peaks.at(i)) < 1e-6,
            qPrintable(QStringLiteral("mark %1 at %2 dB").arg(i).arg(meters.at(i)->peakdB())));
    }
}

void TestMeterLevels::fallForElapsedTime_data()
{
    QTest::addColumn<qint64>("elapsedNs");
    QTest::addColumn<double>("fall");
    QTest::newRow("on time") << qint64(10000000) << 0.133;
    QTest::newRow("twice the interval") << qint64(20000000) << 0.266;
    QTest::newRow("half the interval") << qint64(5000000) << 0.0665;
    QTest::newRow("a second late") << qint64(1010000000) << 13.433;
    QTest::newRow("a second") << qint64(1000000000) << 13.3;
    QTest::newRow("no time") << qint64(0) << 0.0;
    QTest::newRow("clock went back") << qint64(-5000000) << 0.0;
}

// 13.3 dB per second of time: a tick on time falls exactly 0.133 dB.
void TestMeterLevels::fallForElapsedTime()
{
    QFETCH(qint64, elapsedNs);
    QFETCH(double, fall);
    const double got = releaseFall(elapsedNs, 0.133, 10);
    if (elapsedNs == 10000000)
        QCOMPARE(got, 0.133);
    else
        QVERIFY2(qAbs(got - fall) < 1e-12, qPrintable(QString::number(got, 'g', 17)));
}

// A window's meters on a clock of the test's own: ticks on time fall the full step each; a
// display that stalls for a second falls 13.3 dB at its next tick.
void TestMeterLevels::fallFollowsTheClock()
{
    qint64 now = 5000000000;
    ReleaseClock &clock = MainWindowTestAccess::releaseClock(*window);
    clock.setSource([&now] { return now; });
    double *levels = MainWindowTestAccess::meterLevels(*window);
    auto *prog = window->findChild<VexoPPMMeter *>(QStringLiteral("ProgLeft"));
    QVERIFY(prog);
    levels[0] = -50.0;
    prog->dBPosition = 0.0;

    // The first tick counts as on time.
    MainWindowTestAccess::meterRelease(*window);
    QCOMPARE(prog->dBPosition, -FullStep);
    for (int i = 2; i <= 10; ++i) {
        now += 10000000;
        MainWindowTestAccess::meterRelease(*window);
        QVERIFY2(qAbs(prog->dBPosition + i * FullStep) < 1e-9, qPrintable(QString::number(i)));
    }
    const double beforeStall = prog->dBPosition;
    now += 1000000000;
    MainWindowTestAccess::meterRelease(*window);
    QCOMPARE(prog->dBPosition, beforeStall - double(13.3f));

    clock.setSource(ReleaseClock::monotonicNs);
}

void TestMeterLevels::windowPaintsWhatTheMetersWould_data()
{
    // Events as in tickTakesTheHighestFrame, on a window on show; `colour`, when valid, is the
    // bar's top colour given to every meter through its property before the events.
    QTest::addColumn<QList<QVector<double>>>("events");
    QTest::addColumn<QColor>("colour");

    const QVector<double> tick;
    const auto all = [](double db) { return QVector<double>(LevelFrame::Channels, db); };
    const QVector<double> mixed = { -40.0, -30.0, -20.0, -10.0, -5.0, 2.5 };
    QTest::newRow("a short peak between two ticks, then the fall")
        << QList<QVector<double>> { all(-50.0), all(0.0), all(-50.0), tick, tick, tick, tick }
        << QColor();
    QTest::newRow("each meter its own level, rising and falling")
        << QList<QVector<double>> { mixed, tick, all(-12.0), tick, tick, all(-49.0), tick, tick }
        << QColor();
    QTest::newRow("a colour changed from outside paints the moved rows")
        << QList<QVector<double>> { all(-6.0), tick, all(-30.0), tick, tick }
        << QColor(40, 20, 10);
}

// The release tick paints the rows the six meters moved over itself, straight into the
// window: the window must then show exactly what the meters' own painting shows, with the
// meters' own colours, and none of them repaints itself for it.
void TestMeterLevels::windowPaintsWhatTheMetersWould()
{
    QFETCH(QList<QVector<double>>, events);
    QFETCH(QColor, colour);

    // The fall follows a clock of the test's own, a tenth of a second a reading, so that the bars
    // move at every tick however quickly a fast machine runs them one after the other.
    qint64 nowNs = 5000000000;
    MainWindow shown;
    MainWindowTestAccess::releaseTimer(shown)->stop();
    MainWindowTestAccess::releaseClock(shown).setSource([&nowNs] { return nowNs += 100000000; });
    std::array<PaintCounter *, LevelFrame::Channels> counters {};
    std::vector<std::unique_ptr<PaintCounter>> owned;
    const char *const names[]
        = { "ProgLeft", "ProgRight", "SubLeft", "SubRight", "CrmLeft", "CrmRight" };
    std::array<VexoPPMMeter *, LevelFrame::Channels> meters {};
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        meters[i] = shown.findChild<VexoPPMMeter *>(QLatin1String(names[i]));
        QVERIFY(meters[i]);
        owned.push_back(std::make_unique<PaintCounter>(meters[i]));
        counters[i] = owned.back().get();
    }
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QTRY_VERIFY(!MainWindowTestAccess::resized(shown) && counters[0]->paints > 0);
    if (colour.isValid()) {
        for (VexoPPMMeter *m : meters)
            m->setMaxColor(colour);
    }
    // Frames coming: the link legend that lay over the meters has gone.
    MainWindowTestAccess::updateMeters(shown,
                                       frameAt(QVector<double>(LevelFrame::Channels, -50.0)));
    flushPaints();

    // What the window's store holds, against the widgets painting the whole window afresh (the
    // paints of that rendering are not the window's and are not counted).
    const auto sameAsOwnPaint = [&](const char *when) {
        const QImage store = shown.windowHandle()
                                 ->screen()
                                 ->grabWindow(shown.winId())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        std::array<int, LevelFrame::Channels> paints {};
        for (int i = 0; i < LevelFrame::Channels; ++i)
            paints[i] = counters[i]->paints;
        const QImage own = shown.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (int i = 0; i < LevelFrame::Channels; ++i)
            counters[i]->paints = paints[i];
        for (int i = 0; i < LevelFrame::Channels; ++i) {
            const QRect r(meters[i]->mapTo(&shown, QPoint()), meters[i]->size());
            QVERIFY2(store.copy(r) == own.copy(r),
                     qPrintable(QStringLiteral("meter %1 %2").arg(i).arg(QLatin1String(when))));
        }
    };
    sameAsOwnPaint("at the start");
    for (PaintCounter *c : counters)
        c->paints = 0;

    int moves = 0;
    for (const QVector<double> &event : events) {
        if (!event.isEmpty()) {
            MainWindowTestAccess::updateMeters(shown, frameAt(event));
            continue;
        }
        const int before = meters[0]->barHeight();
        MainWindowTestAccess::meterRelease(shown);
        moves += meters[0]->barHeight() != before;
        // Nothing but the tick has painted yet: the store must already show the move.
        sameAsOwnPaint("after a tick");
        flushPaints();
        sameAsOwnPaint("after the window's repaints");
    }
    QVERIFY(moves >= 2);
    for (int i = 0; i < LevelFrame::Channels; ++i)
        QCOMPARE(counters[i]->paints, 0);
}

ORVANE_TEST_MAIN(TestMeterLevels)

#include "tst_meterlevels.moc"
