// The rules behind the panel's trust-on-air lamps, each over times and levels the test
// chooses: the link state, the peak mark, the over latch, the silence detector, what the header
// lamp shows of them, and what a hand-edited [display] group reads as.
#include "dialogs/displaysettings.h"
#include "onair/headerrule.h"
#include "onair/linkwatch.h"
#include "onair/overlatch.h"
#include "onair/silencedetector.h"
#include "testsupport.h"
#include "widgets/peakhold.h"

#include <QSettings>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(LinkWatch::State)

class TestOnAirRules : public QObject
{
    Q_OBJECT

private slots:
    void linkState_data();
    void linkState();
    void peakHoldStep_data();
    void peakHoldStep();
    void overLatch_data();
    void overLatch();
    void silence_data();
    void silence();
    void headerShowsTheWorst_data();
    void headerShowsTheWorst();
    void displaySettingsRead_data();
    void displaySettingsRead();
};

// Events as text, one per step: "open@T", "fail@T", "frame@T", "stale=MS"; then the state and
// the silent time asked at `at`.
void TestOnAirRules::linkState_data()
{
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<LinkWatch::State>("state");
    QTest::addColumn<qint64>("silentMs");

    QTest::newRow("never opened") << QStringList() << qint64(5000) << LinkWatch::NoLink
                                  << qint64(0);
    QTest::newRow("open, no frame yet")
        << QStringList{"open@1000"} << qint64(4500) << LinkWatch::NoData << qint64(3500);
    QTest::newRow("frame just now") << QStringList{"open@0", "frame@2000"} << qint64(2000)
                                    << LinkWatch::Live << qint64(0);
    QTest::newRow("last moment of the stale time")
        << QStringList{"open@0", "frame@2000"} << qint64(2999) << LinkWatch::Live << qint64(999);
    QTest::newRow("stale time reached")
        << QStringList{"open@0", "frame@2000"} << qint64(3000) << LinkWatch::NoData
        << qint64(1000);
    QTest::newRow("longer stale time")
        << QStringList{"stale=5000", "open@0", "frame@2000"} << qint64(6999) << LinkWatch::Live
        << qint64(4999);
    QTest::newRow("stale time below the range is 0.2 s")
        << QStringList{"stale=10", "open@0", "frame@1000"} << qint64(1199) << LinkWatch::Live
        << qint64(199);
    QTest::newRow("stale time above the range is 60 s")
        << QStringList{"stale=999999", "open@0", "frame@0"} << qint64(60000)
        << LinkWatch::NoData << qint64(60000);
    QTest::newRow("port vanished after frames")
        << QStringList{"open@0", "frame@100", "fail@150"} << qint64(160) << LinkWatch::NoLink
        << qint64(0);
    QTest::newRow("port back: no data until a frame")
        << QStringList{"open@0", "frame@100", "fail@150", "open@4000"} << qint64(4100)
        << LinkWatch::NoData << qint64(100);
    QTest::newRow("a frame proves a failed input back")
        << QStringList{"fail@0", "frame@50"} << qint64(60) << LinkWatch::Live << qint64(10);
}

void TestOnAirRules::linkState()
{
    QFETCH(QStringList, events);
    QFETCH(qint64, at);
    LinkWatch watch;
    for (const QString &event : events) {
        const QStringList parts = event.split(QRegularExpression(QStringLiteral("[@=]")));
        const qint64 t = parts.at(1).toLongLong();
        if (parts.at(0) == QLatin1String("open"))
            watch.inputOpened(t);
        else if (parts.at(0) == QLatin1String("fail"))
            watch.inputFailed();
        else if (parts.at(0) == QLatin1String("frame"))
            watch.frameAccepted(t);
        else
            watch.setStaleMs(t);
    }
    QTEST(watch.state(at), "state");
    QTEST(watch.silentForMs(at), "silentMs");
}

// A bar history (time:level pairs) is stepped through; the mark is read after the last step.
void TestOnAirRules::peakHoldStep_data()
{
    QTest::addColumn<QString>("history");
    QTest::addColumn<qint64>("holdMs");
    QTest::addColumn<double>("peakDb");

    QTest::newRow("rises with the bar") << "0:-30 10:-20 20:-10" << qint64(1500) << -10.0;
    QTest::newRow("holds while the bar falls")
        << "0:-10 500:-20 1500:-25" << qint64(1500) << -10.0;
    QTest::newRow("falls at 13.3 dB/s after the hold")
        << "0:-10 1500:-40 2500:-40" << qint64(1500) << -23.3;
    QTest::newRow("counts only the time after the hold")
        << "0:-10 1000:-40 2000:-40" << qint64(1500) << -16.65;
    QTest::newRow("stops at the bar") << "0:-10 1500:-15 4000:-15" << qint64(1500) << -15.0;
    QTest::newRow("a new peak starts a new hold")
        << "0:-10 1000:-5 2400:-40" << qint64(1500) << -5.0;
    QTest::newRow("a late step falls as far as on-time steps")
        << "0:-10 1500:-40 1510:-40 1520:-40 2500:-40" << qint64(1500) << -23.3;
    QTest::newRow("until reset never falls") << "0:-10 100000:-50" << qint64(-1) << -10.0;
    QTest::newRow("a clock that steps back does not lift the mark")
        << "0:-10 3000:-40 2000:-40" << qint64(1500) << -29.95;
}

void TestOnAirRules::peakHoldStep()
{
    QFETCH(QString, history);
    QFETCH(qint64, holdMs);
    PeakHoldState peak;
    for (const QString &step : history.split(QLatin1Char(' '))) {
        const QStringList parts = step.split(QLatin1Char(':'));
        peak = stepPeakHold(peak, parts.at(1).toDouble(), parts.at(0).toLongLong(), holdMs, 13.3);
    }
    QFETCH(double, peakDb);
    QVERIFY2(std::fabs(peak.db - peakDb) < 1e-9,
             qPrintable(QStringLiteral("mark at %1 dB").arg(peak.db, 0, 'f', 6)));
}

// Frames as "left,right" pairs, "reset" between them; then the count and whether it is lit.
void TestOnAirRules::overLatch_data()
{
    QTest::addColumn<double>("threshold");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<int>("overs");
    QTest::addColumn<qint64>("lastMs");

    QTest::newRow("below the top of the scale") << 5.0 << "-10,-10 4.99,0" << 0 << qint64(0);
    QTest::newRow("reaching the threshold is an over") << 5.0 << "-10,-10 5,0" << 1 << qint64(2);
    QTest::newRow("either side counts") << 5.0 << "0,12 0,0" << 1 << qint64(1);
    QTest::newRow("a long over counts once") << 5.0 << "6,6 7,7 15.5,15.5" << 1 << qint64(1);
    QTest::newRow("two overs") << 5.0 << "6,0 0,0 0,6 0,0" << 2 << qint64(3);
    QTest::newRow("beyond the bar's reach") << 12.0 << "11,11 13,0" << 1 << qint64(2);
    QTest::newRow("reset clears the count") << 5.0 << "6,0 reset 0,0" << 0 << qint64(0);
    QTest::newRow("an over still standing at the reset is not counted again")
        << 5.0 << "6,0 reset 7,0" << 0 << qint64(0);
    QTest::newRow("a new over after the reset") << 5.0 << "6,0 reset 0,0 6,0" << 1 << qint64(4);
    QTest::newRow("threshold out of range is clamped to +15.5")
        << 99.0 << "15.4,0 15.5,0" << 1 << qint64(2);
    QTest::newRow("a NaN level is no over") << 5.0 << "nan,nan" << 0 << qint64(0);
}

void TestOnAirRules::overLatch()
{
    QFETCH(double, threshold);
    QFETCH(QString, frames);
    OverLatch latch;
    latch.setThresholdDb(threshold);
    qint64 wallMs = 0;
    for (const QString &frame : frames.split(QLatin1Char(' '))) {
        ++wallMs;
        if (frame == QLatin1String("reset")) {
            latch.reset();
            continue;
        }
        const QStringList lr = frame.split(QLatin1Char(','));
        latch.feed(lr.at(0).toDouble(), lr.at(1).toDouble(), wallMs);
    }
    QTEST(latch.overs(), "overs");
    QFETCH(int, overs);
    QCOMPARE(latch.latched(), overs > 0);
    if (overs > 0)
        QTEST(latch.lastOverMs(), "lastMs");
}

// Steps "time:left,right" or "time:suspend"; then whether the alarm stands.
void TestOnAirRules::silence_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("alarm");

    QTest::newRow("quiet for the whole time")
        << true << "0:-45,-45 5000:-45,-45 10000:-45,-45" << true;
    QTest::newRow("quiet, not yet long enough") << true << "0:-45,-45 9999:-45,-45" << false;
    QTest::newRow("one side has sound") << true << "0:-45,-20 10000:-45,-20" << false;
    QTest::newRow("the threshold itself is sound") << true << "0:-40,-40 20000:-40,-40" << false;
    QTest::newRow("a burst restarts the time")
        << true << "0:-45,-45 8000:-10,-10 9000:-45,-45 18000:-45,-45" << false;
    QTest::newRow("the first level above clears it")
        << true << "0:-45,-45 10000:-45,-45 10010:-39,-45" << false;
    QTest::newRow("no link: no silence") << true << "0:-45,-45 5000:suspend 10000:suspend"
                                         << false;
    QTest::newRow("after the link is back the time starts again")
        << true << "0:-45,-45 5000:suspend 6000:-45,-45 15000:-45,-45" << false;
    QTest::newRow("off never alarms") << false << "0:-50,-50 60000:-50,-50" << false;
}

void TestOnAirRules::silence()
{
    QFETCH(bool, enabled);
    QFETCH(QString, steps);
    SilenceDetector detector;
    detector.setEnabled(enabled);
    for (const QString &step : steps.split(QLatin1Char(' '))) {
        const QStringList parts = step.split(QLatin1Char(':'));
        if (parts.at(1) == QLatin1String("suspend")) {
            detector.suspend();
            continue;
        }
        const QStringList lr = parts.at(1).split(QLatin1Char(','));
        detector.feed(lr.at(0).toDouble(), lr.at(1).toDouble(), parts.at(0).toLongLong());
    }
    QTEST(detector.alarm(), "alarm");
}

// A [display] group written by hand: each line as it stands in the file, and what it reads as.
void TestOnAirRules::headerShowsTheWorst_data()
{
    QTest::addColumn<bool>("inputChosen");
    QTest::addColumn<LinkWatch::State>("link");
    QTest::addColumn<QVector<qint64>>("silentMs"); // per pair, -1: no silence alarm
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("pair");

    using S = LampStyle::State;
    const QVector<qint64> none { -1, -1, -1 };
    QTest::newRow("live, nothing silent") << true << LinkWatch::Live << none << int(S::Live) << -1;
    QTest::newRow("live with dead air on the programme: not a plain LIVE")
        << true << LinkWatch::Live << QVector<qint64> { 13000, -1, -1 } << int(S::Silence) << 0;
    QTest::newRow("two pairs silent: the one silent longest")
        << true << LinkWatch::Live << QVector<qint64> { 12000, -1, 40000 } << int(S::Silence)
        << 2;
    QTest::newRow("two pairs silent as long: the programme first")
        << true << LinkWatch::Live << QVector<qint64> { 20000, 20000, -1 } << int(S::Silence)
        << 0;
    QTest::newRow("no data outranks silence")
        << true << LinkWatch::NoData << QVector<qint64> { 13000, -1, -1 } << int(S::NoData)
        << -1;
    QTest::newRow("no link outranks no data") << true << LinkWatch::NoLink << none
                                              << int(S::NoLink) << -1;
    QTest::newRow("no input chosen: says so, not NO LINK")
        << false << LinkWatch::NoLink << none << int(S::NoInput) << -1;
    QTest::newRow("no input chosen outranks all")
        << false << LinkWatch::Live << QVector<qint64> { 13000, 5000, -1 } << int(S::NoInput)
        << -1;
}

void TestOnAirRules::headerShowsTheWorst()
{
    QFETCH(bool, inputChosen);
    QFETCH(LinkWatch::State, link);
    QFETCH(QVector<qint64>, silentMs);
    QFETCH(int, state);
    QFETCH(int, pair);
    const HeaderRule::Worst worst
        = HeaderRule::worst(inputChosen, link, { silentMs[0], silentMs[1], silentMs[2] });
    QCOMPARE(int(worst.state), state);
    QCOMPARE(worst.pair, pair);
}

void TestOnAirRules::displaySettingsRead_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<double>("stale");
    QTest::addColumn<bool>("peakHold");
    QTest::addColumn<double>("over");
    QTest::addColumn<bool>("subSilence");
    QTest::addColumn<double>("progSilenceDb");
    QTest::addColumn<bool>("fullScreen");

    QTest::newRow("missing: defaults") << "" << 1.0 << true << 5.0 << false << -40.0 << false;
    QTest::newRow("in range") << "stale_time=2.5\npeak_hold=false\nover_threshold=9\n"
                                 "silence_sub=true\nsilence_prog_threshold=-30\n"
                                 "start_full_screen=true"
                              << 2.5 << false << 9.0 << true << -30.0 << true;
    QTest::newRow("out of range: defaults")
        << "stale_time=0.1\nover_threshold=16\nsilence_prog_threshold=3" << 1.0 << true << 5.0
        << false << -40.0 << false;
    QTest::newRow("not numbers or flags: defaults")
        << "stale_time=abc\npeak_hold=yes\nover_threshold=nan\nsilence_sub=1\n"
           "silence_prog_threshold=inf\nstart_full_screen=1"
        << 1.0 << true << 5.0 << false << -40.0 << false;
    QTest::newRow("range ends are kept") << "stale_time=60\nover_threshold=15.5"
                                         << 60.0 << true << 15.5 << false << -40.0 << false;
}

void TestOnAirRules::displaySettingsRead()
{
    QFETCH(QString, lines);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\nlabelMeter1=Prog\n\n[display]\n" + lines.toUtf8() + "\n");
    file.close();

    QSettings settings(path, QSettings::IniFormat);
    const DisplaySettings d = DisplaySettings::read(settings);
    QTEST(d.staleSeconds, "stale");
    QTEST(d.peakHold, "peakHold");
    QTEST(d.overThresholdDb, "over");
    QTEST(d.silence[DisplaySettings::Sub].enabled, "subSilence");
    QTEST(d.silence[DisplaySettings::Programme].thresholdDb, "progSilenceDb");
    QTEST(d.startFullScreen, "fullScreen");
    // Reading leaves the caller at the top level.
    QCOMPARE(settings.value(QStringLiteral("labelMeter1")).toString(), QStringLiteral("Prog"));

    // What is written reads back the same.
    DisplaySettings changed = d;
    changed.peakHoldUntilReset = true;
    changed.silence[DisplaySettings::ControlRoom] = { true, -35.5, 42.0 };
    changed.startFullScreen = !d.startFullScreen;
    changed.write(settings);
    settings.sync();
    QSettings again(path, QSettings::IniFormat);
    QVERIFY(DisplaySettings::read(again) == changed);
}

ORVANE_TEST_GUILESS_MAIN(TestOnAirRules)
#include "tst_onairrules.moc"
