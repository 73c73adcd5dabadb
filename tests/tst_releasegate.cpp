// When the release tick rests and when it runs again, how far apart its ticks are, and, in a
// real window fed through a real serial line, that a display with nothing to show stops
// waking up and that the next frame starts it again.
#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "comm/releasegate.h"
#include "levelframes.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "serialwindow.h"
#include "testsupport.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// The times this process's GUI thread went to sleep and was woken up again, or was taken off
// the processor: each is a wake-up of the event loop or worse.
qint64 contextSwitches()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    qint64 sum = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:")
            || line.startsWith("nonvoluntary_ctxt_switches:"))
            sum += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return sum;
}

// Runs the event loop as the program does, blocked until something is due; QTest::qWait
// would wake it every few milliseconds itself.
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class TestReleaseGate : public QObject
{
    Q_OBJECT

private slots:
    void settled_data();
    void settled();
    void mayRest_data();
    void mayRest();
    void intervalMs_data();
    void intervalMs();
    void delayMs_data();
    void delayMs();
    void idleDisplayRestsAndFrameWakesIt();
};

void TestReleaseGate::settled_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("minDb");
    QTest::addColumn<double>("maxDb");
    QTest::addColumn<bool>("settled");
    QTest::newRow("floor, target floor") << -50.0 << -50.0 << -50.0 << 5.0 << true;
    QTest::newRow("at its target") << -12.5 << -12.5 << -50.0 << 5.0 << true;
    QTest::newRow("falling") << 0.0 << -20.0 << -50.0 << 5.0 << false;
    QTest::newRow("last tiny fall") << -19.9999 << -20.0 << -50.0 << 5.0 << false;
    QTest::newRow("rising") << -30.0 << -3.0 << -50.0 << 5.0 << false;
    QTest::newRow("top, target above the scale") << 5.0 << 15.535 << -50.0 << 5.0 << true;
    QTest::newRow("below top, target above") << 4.0 << 15.535 << -50.0 << 5.0 << false;
    QTest::newRow("raised floor, target below it") << -40.0 << -50.0 << -40.0 << 5.0 << true;
    QTest::newRow("raised floor, falling to it") << -30.0 << -50.0 << -40.0 << 5.0 << false;
    QTest::newRow("lowered top, target at old top") << 0.0 << 5.0 << -50.0 << 0.0 << true;
    // The step is rounded to single precision, which still holds so small a distance.
    QTest::newRow("a hair away still moves") << -10.0 << -10.0 + 1e-12 << -50.0 << 5.0 << false;
}

void TestReleaseGate::settled()
{
    QFETCH(double, position);
    QFETCH(double, target);
    QFETCH(double, minDb);
    QFETCH(double, maxDb);
    QFETCH(bool, settled);
    QCOMPARE(ReleaseGate::settled(position, target, minDb, maxDb), settled);
}

void TestReleaseGate::mayRest_data()
{
    QTest::addColumn<int>("moving");
    QTest::addColumn<int>("peaks");
    QTest::addColumn<bool>("live");
    QTest::addColumn<bool>("rest");
    QTest::newRow("all still, no link") << 0 << 0 << false << true;
    QTest::newRow("one meter moves") << 1 << 0 << false << false;
    QTest::newRow("a peak mark falls") << 0 << 1 << false << false;
    QTest::newRow("live link, still levels") << 0 << 0 << true << false;
    QTest::newRow("everything") << 6 << 6 << true << false;
}

void TestReleaseGate::mayRest()
{
    QFETCH(int, moving);
    QFETCH(int, peaks);
    QFETCH(bool, live);
    QFETCH(bool, rest);
    QCOMPARE(ReleaseGate::mayRest(moving, peaks, live), rest);
}

void TestReleaseGate::intervalMs_data()
{
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("ms");
    QTest::newRow("60 Hz") << 60.0 << 17;
    QTest::newRow("just over 60 Hz") << 60.000001 << 17;
    QTest::newRow("59.94 Hz") << 59.94 << 17;
    QTest::newRow("50 Hz") << 50.0 << 20;
    QTest::newRow("75 Hz") << 75.0 << 14;
    QTest::newRow("120 Hz") << 120.0 << 9;
    QTest::newRow("144 Hz") << 144.0 << 7;
    QTest::newRow("30 Hz") << 30.0 << 34;
    QTest::newRow("unknown: 0") << 0.0 << 17;
    QTest::newRow("nonsense: negative") << -60.0 << 17;
    QTest::newRow("nonsense: NaN") << qQNaN() << 17;
    QTest::newRow("nonsense: infinite") << qInf() << 17;
    QTest::newRow("very fast") << 5000.0 << 1;
}

void TestReleaseGate::intervalMs()
{
    QFETCH(double, hz);
    QFETCH(int, ms);
    QCOMPARE(RepaintPacer::intervalMs(hz), ms);
}

void TestReleaseGate::delayMs_data()
{
    QTest::addColumn<qint64>("now");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("delay");
    const qint64 ms = 1000000;
    QTest::newRow("never ticked") << 5000 * ms << qint64(0) << 17 << 0;
    QTest::newRow("long ago") << 5000 * ms << 1000 * ms << 17 << 0;
    QTest::newRow("exactly one interval") << 5017 * ms << 5000 * ms << 17 << 0;
    QTest::newRow("just now") << 5000 * ms << 5000 * ms << 17 << 17;
    QTest::newRow("2 ms ago") << 5002 * ms << 5000 * ms << 17 << 15;
    QTest::newRow("part of a millisecond rounds up") << 5016 * ms + 1 << 5000 * ms << 17 << 1;
    QTest::newRow("clock went back") << 4000 * ms << 5000 * ms << 17 << 0;
}

void TestReleaseGate::delayMs()
{
    QFETCH(qint64, now);
    QFETCH(qint64, last);
    QFETCH(int, interval);
    QFETCH(int, delay);
    QCOMPARE(RepaintPacer::delayMs(now, last, interval), delay);
}

void TestReleaseGate::idleDisplayRestsAndFrameWakesIt()
{
    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));
    MainWindow window;
    QVERIFY(readSerialOnly(window, line.programEnd()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTimer *release = MainWindowTestAccess::releaseTimer(window);

    // Nothing moves and no frame comes: the tick stops, and the whole program wakes only for
    // its clocks, about once a second.
    QTRY_VERIFY_WITH_TIMEOUT(!release->isActive(), 5000);
    runEventLoop(500);
    const qint64 before = contextSwitches();
    QVERIFY(before >= 0);
    const int idleMs = 4000;
    runEventLoop(idleMs);
    const qint64 wakeUps = contextSwitches() - before;
    qInfo("idle: %lld wake-ups in %d ms", wakeUps, idleMs);
    // A tick a refresh apart would be 240 here, and clocks polling 100 ms another 40 to 80;
    // the second's wake and the odd stray leave about 5.
    QVERIFY2(wakeUps <= 20, qPrintable(QString::number(wakeUps)));

    // The next frame wakes it: the meters rise to it, and fall back once the line goes quiet.
    QVERIFY(line.write(frameAt(-10.0)));
    QTRY_VERIFY_WITH_TIMEOUT(allAt(window, -10.0), 2000);
    QVERIFY(release->isActive());
    // Quiet after the stale time: the targets drop to the floor, the meters follow at the
    // release rate (40 dB in about 3 s) and the tick rests again.
    QTRY_VERIFY_WITH_TIMEOUT(allAt(window, LevelFrame::FloorDb), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!release->isActive(), 2000);
}

ORVANE_TEST_MAIN(TestReleaseGate)
#include "tst_releasegate.moc"
