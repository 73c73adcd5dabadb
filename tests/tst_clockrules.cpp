// The studio clock's rules with an injected clock: when the second wake comes, how long to the
// end time, what a count-down shows, when the system clock counts as synchronised, and how the
// [clock] group reads back.
#include "studioclock/clocksync.h"
#include "studioclock/countdown.h"
#include "studioclock/endtime.h"
#include "studioclock/secondticker.h"
#include "testsupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/timex.h>

class TestClockRules : public QObject
{
    Q_OBJECT

private slots:
    void nextWake_data();
    void nextWake();
    void tickerFollowsAStep();
    void endTimeLeft_data();
    void endTimeLeft();
    void endTimeLegend_data();
    void endTimeLegend();
    void countDown_data();
    void countDown();
    void clockSync_data();
    void clockSync();
    void syncIsAskedEveryFewSeconds();
    void clockGroupReadsBack_data();
    void clockGroupReadsBack();
};

namespace {

// 2026-12-08 12:00:00 UTC.
constexpr qint64 Noon = 1796731200000;
constexpr qint64 Lead = SecondTicker::LeadMs;

} // namespace

void TestClockRules::nextWake_data()
{
    QTest::addColumn<qint64>("now");
    QTest::addColumn<int>("delay");

    QTest::newRow("on the boundary") << Noon << int(1000 + Lead);
    QTest::newRow("just after the wake") << Noon + Lead << 1000;
    QTest::newRow("a late wake") << Noon + 40 << int(960 + Lead);
    QTest::newRow("an early wake waits for its boundary") << Noon - 1 << int(1 + Lead);
    QTest::newRow("last ms of a minute") << Noon + 59999 << int(1 + Lead);
    QTest::newRow("last ms of a day") << Noon + 12 * 3600000 - 1 << int(1 + Lead);
    QTest::newRow("midnight") << Noon + 12 * 3600000 << int(1000 + Lead);
    // Set back by 3.5 s just before the wake: the wake lands mid-second, and the next one is
    // on the boundary again.
    QTest::newRow("after a step back to mid-second") << Noon - 3500 << int(500 + Lead);
    QTest::newRow("before 1970") << qint64(-250) << int(250 + Lead);
    QTest::newRow("one ms before 1970") << qint64(-1) << int(1 + Lead);
}

void TestClockRules::nextWake()
{
    QFETCH(qint64, now);
    QFETCH(int, delay);
    QCOMPARE(SecondTicker::delayToNextSecond(now), delay);
    // Whatever the reading, the wake lands just after a boundary.
    QCOMPARE(((now + delay) % 1000 + 1000) % 1000, Lead);
}

// A real ticker on a wall clock that runs ahead of the system's by an offset the test then
// steps: every wake lands just after that clock's boundary, and after the step at most one
// wake is off before they are on the boundary again.
void TestClockRules::tickerFollowsAStep()
{
    qint64 offset = 300;
    SecondTicker ticker;
    ticker.setWallClock([&offset] { return QDateTime::currentMSecsSinceEpoch() + offset; });
    QVector<qint64> phases;
    connect(&ticker, &SecondTicker::ticked, this, [&] {
        phases << (QDateTime::currentMSecsSinceEpoch() + offset) % 1000;
        // Between two wakes the clock is stepped forward by 1.65 s.
        if (phases.size() == 2)
            QTimer::singleShot(400, this, [&offset] { offset += 1650; });
    });
    ticker.start();
    QTRY_VERIFY_WITH_TIMEOUT(phases.size() >= 5, 8000);
    ticker.stop();
    // Under a loaded machine a wake may come late, never early; 60 ms is a generous bound
    // for the timer, where a 100 ms poll would be off by up to 100.
    const auto onBoundary = [](qint64 phase) { return phase >= 0 && phase < 60; };
    QVERIFY2(onBoundary(phases[0]) && onBoundary(phases[1]), qPrintable(QString::number(phases[1])));
    // phases[2] came from a timer armed before the step: off the new clock's boundary.
    for (int i = 3; i < phases.size(); ++i)
        QVERIFY2(onBoundary(phases[i]), qPrintable(QStringLiteral("wake %1 at %2 ms past")
                                                        .arg(i)
                                                        .arg(phases[i])));
}

void TestClockRules::endTimeLeft_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QTime>("end");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("text");

    const int daily = ClockSettings::EndDaily;
    const int hourly = ClockSettings::EndHourly;
    QTest::newRow("off") << int(ClockSettings::EndOff) << QTime(12, 0) << QTime(11, 59, 0) << -1
                         << QString();
    QTest::newRow("daily, 2:37 before") << daily << QTime(18, 0, 0) << QTime(17, 57, 23) << 157
                                        << QStringLiteral("02:37");
    QTest::newRow("daily, at the end") << daily << QTime(18, 0, 0) << QTime(18, 0, 0) << 0
                                       << QStringLiteral("00:00");
    QTest::newRow("daily, just passed: tomorrow")
        << daily << QTime(18, 0, 0) << QTime(18, 0, 1) << 86399 << QString();
    QTest::newRow("daily, across midnight")
        << daily << QTime(0, 0, 10) << QTime(23, 59, 50) << 20 << QStringLiteral("00:20");
    QTest::newRow("daily, ten minutes before")
        << daily << QTime(6, 0, 0) << QTime(5, 50, 0) << 600 << QStringLiteral("10:00");
    QTest::newRow("daily, hours before") << daily << QTime(6, 0, 0) << QTime(3, 30, 0) << 9000
                                         << QString();
    QTest::newRow("hourly, news join") << hourly << QTime(0, 59, 50) << QTime(14, 57, 13) << 157
                                       << QStringLiteral("02:37");
    QTest::newRow("hourly, across the hour")
        << hourly << QTime(0, 0, 30) << QTime(14, 59, 45) << 45 << QStringLiteral("00:45");
    QTest::newRow("hourly, across midnight")
        << hourly << QTime(0, 0, 5) << QTime(23, 59, 59) << 6 << QStringLiteral("00:06");
    QTest::newRow("hourly, just passed") << hourly << QTime(0, 59, 50) << QTime(9, 59, 51) << 3599
                                         << QString();
}

void TestClockRules::endTimeLeft()
{
    QFETCH(int, mode);
    QFETCH(QTime, end);
    QFETCH(QTime, now);
    QFETCH(int, left);
    QFETCH(QString, text);
    ClockSettings s;
    s.endMode = ClockSettings::EndMode(mode);
    s.endDaily = end;
    s.endHourly = end;
    const int got = EndTime::secondsLeft(s, now);
    QCOMPARE(got, left);
    const bool announced = got >= 0 && got <= EndTime::AnnounceSeconds;
    QCOMPARE(announced ? EndTime::leftText(got) : QString(), text);
}

// One format for the time to the end time, and a missed join counted up in red for a minute.
void TestClockRules::endTimeLegend_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QTime>("end");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");

    using S = LampStyle::State;
    const int daily = ClockSettings::EndDaily;
    const int hourly = ClockSettings::EndHourly;
    QTest::newRow("off") << int(ClockSettings::EndOff) << QTime(12, 0) << QTime(12, 0, 5)
                         << QString() << int(S::EndNear);
    QTest::newRow("ten minutes before") << daily << QTime(18, 0) << QTime(17, 50, 0)
                                        << QStringLiteral("10:00") << int(S::EndNear);
    QTest::newRow("sixteen seconds before") << daily << QTime(18, 0) << QTime(17, 59, 44)
                                            << QStringLiteral("00:16") << int(S::EndNear);
    QTest::newRow("fifteen seconds before: red") << daily << QTime(18, 0) << QTime(17, 59, 45)
                                                 << QStringLiteral("00:15") << int(S::EndClose);
    QTest::newRow("at the end time") << daily << QTime(18, 0) << QTime(18, 0, 0)
                                     << QStringLiteral("00:00") << int(S::EndClose);
    QTest::newRow("a second after: counted up")
        << daily << QTime(18, 0) << QTime(18, 0, 1) << QStringLiteral("+00:01")
        << int(S::Overrun);
    QTest::newRow("a minute after: still counted up")
        << daily << QTime(18, 0) << QTime(18, 1, 0) << QStringLiteral("+01:00")
        << int(S::Overrun);
    QTest::newRow("past the minute: nothing") << daily << QTime(18, 0) << QTime(18, 1, 1)
                                              << QString() << int(S::EndNear);
    QTest::newRow("daily, after midnight")
        << daily << QTime(23, 59, 50) << QTime(0, 0, 5) << QStringLiteral("+00:15")
        << int(S::Overrun);
    QTest::newRow("hourly news join missed")
        << hourly << QTime(0, 59, 50) << QTime(15, 0, 20) << QStringLiteral("+00:30")
        << int(S::Overrun);
    QTest::newRow("hourly, across the hour")
        << hourly << QTime(0, 0, 30) << QTime(14, 59, 45) << QStringLiteral("00:45")
        << int(S::EndNear);
}

void TestClockRules::endTimeLegend()
{
    QFETCH(int, mode);
    QFETCH(QTime, end);
    QFETCH(QTime, now);
    QFETCH(QString, text);
    QFETCH(int, state);
    ClockSettings s;
    s.endMode = ClockSettings::EndMode(mode);
    s.endDaily = end;
    s.endHourly = end;
    const EndTime::Legend legend = EndTime::legend(s, now);
    QCOMPARE(legend.text, text);
    if (!text.isEmpty())
        QCOMPARE(int(legend.state), state);
}

void TestClockRules::countDown_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<qint64>("startAt");
    QTest::addColumn<qint64>("at"); // on the elapsed-time clock, which runs with the wall clock
    QTest::addColumn<qint64>("wallStep"); // how far the wall clock was set since the start
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("text");

    const int running = CountDown::Running;
    const int up = CountDown::TimeUp;
    const int idle = CountDown::Idle;
    QTest::newRow("just started") << 10 << Noon << Noon << 0LL << running << 10
                                  << QStringLiteral("0:10");
    QTest::newRow("a second later") << 10 << Noon << Noon + 1001 << 0LL << running << 9
                                    << QStringLiteral("0:09");
    QTest::newRow("last second") << 10 << Noon << Noon + 9001 << 0LL << running << 1
                                 << QStringLiteral("0:01");
    QTest::newRow("zero: time up") << 10 << Noon << Noon + 10001 << 0LL << up << 0
                                   << QStringLiteral("TIME UP");
    QTest::newRow("still time up") << 10 << Noon << Noon + 14001 << 0LL << up << 0
                                   << QStringLiteral("TIME UP");
    QTest::newRow("then it ends") << 10 << Noon << Noon + 15001 << 0LL << idle << 0 << QString();
    // It keeps step with the clock: started at .4 it counts from the second before, at .6
    // from the second after.
    QTest::newRow("started at .4") << 10 << Noon + 400 << Noon + 10001 << 0LL << up << 0
                                   << QStringLiteral("TIME UP");
    QTest::newRow("started at .6") << 10 << Noon + 600 << Noon + 10001 << 0LL << running << 1
                                   << QStringLiteral("0:01");
    QTest::newRow("three minutes") << 180 << Noon << Noon + 23001 << 0LL << running << 157
                                   << QStringLiteral("2:37");
    QTest::newRow("over an hour") << 3700 << Noon << Noon + 1 << 0LL << running << 3700
                                  << QStringLiteral("1:01:40");
    // A count-down measures elapsed time: setting the clock changes nothing of what is left.
    QTest::newRow("clock set back a minute at the start: no longer than its length")
        << 10 << Noon << Noon << -60000LL << running << 10 << QStringLiteral("0:10");
    QTest::newRow("clock set back an hour with 2:52 left")
        << 180 << Noon << Noon + 8001 << -3600000LL << running << 172 << QStringLiteral("2:52");
    QTest::newRow("clock set back 2 s with 2:52 left")
        << 180 << Noon << Noon + 8001 << -2000LL << running << 172 << QStringLiteral("2:52");
    QTest::newRow("clock set an hour ahead with 2:52 left")
        << 180 << Noon << Noon + 8001 << 3600000LL << running << 172 << QStringLiteral("2:52");
}

void TestClockRules::countDown()
{
    QFETCH(int, length);
    QFETCH(qint64, startAt);
    QFETCH(qint64, at);
    QFETCH(qint64, wallStep);
    QFETCH(int, state);
    QFETCH(int, left);
    QFETCH(QString, text);
    CountDown c;
    c.start(length, startAt, startAt);
    QCOMPARE(c.state(), CountDown::Running);
    c.update(at + wallStep, at);
    QCOMPARE(int(c.state()), state);
    QCOMPARE(c.secondsLeft(), left);
    QCOMPARE(c.text(), text);
    c.cancel();
    QCOMPARE(c.state(), CountDown::Idle);
    QVERIFY(!c.update(at + wallStep + 1000, at + 1000));
}

void TestClockRules::clockSync_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("status");
    QTest::addColumn<long>("maxError");
    QTest::addColumn<long>("estError");
    QTest::addColumn<bool>("synced");
    QTest::addColumn<QString>("legend");

    QTest::newRow("no answer") << false << 0 << 0L << 0L << false << QStringLiteral("NOT SYNCED");
    QTest::newRow("free running") << true << int(STA_UNSYNC) << 16000000L << 16000000L << false
                                  << QStringLiteral("NOT SYNCED");
    QTest::newRow("just below 16 s") << true << 0 << 15999999L << 3000L << true
                                     << QStringLiteral("SYNC \u00b13 ms");
    QTest::newRow("unsync bit alone does not decide")
        << true << int(STA_UNSYNC) << 250000L << 3000L << true
        << QStringLiteral("SYNC \u00b13 ms");
    QTest::newRow("rounded up, never smaller") << true << 0 << 100000L << 3200L << true
                                               << QStringLiteral("SYNC \u00b14 ms");
    QTest::newRow("below a millisecond") << true << 0 << 1000L << 350L << true
                                         << QStringLiteral("SYNC \u00b10.4 ms");
    QTest::newRow("no estimate") << true << 0 << 1000L << 0L << true
                                 << QStringLiteral("SYNC \u00b10.1 ms");
    QTest::newRow("seconds") << true << 0 << 5000000L << 1200000L << true
                             << QStringLiteral("SYNC \u00b11.2 s");
    QTest::newRow("a broken answer") << true << 0 << -1L << 0L << false
                                     << QStringLiteral("NOT SYNCED");
}

void TestClockRules::clockSync()
{
    QFETCH(bool, answered);
    QFETCH(int, status);
    QFETCH(long, maxError);
    QFETCH(long, estError);
    QFETCH(bool, synced);
    QFETCH(QString, legend);
    KernelClock k;
    k.answered = answered;
    k.status = status;
    k.maxErrorUs = maxError;
    k.estErrorUs = estError;
    QCOMPARE(ClockSync::synchronised(k), synced);
    QCOMPARE(ClockSync::legend(k), legend);
}

// Once a second costs a system call each time; every few seconds is enough and still follows
// a change within that time.
void TestClockRules::syncIsAskedEveryFewSeconds()
{
    int asked = 0;
    KernelClock answer;
    ClockSyncWatch watch;
    watch.setReader([&] {
        ++asked;
        return answer;
    });
    QVERIFY(!watch.tick()); // the same "not synced" as before
    QCOMPARE(asked, 1);
    answer = KernelClock { true, 0, 1000, 3000 };
    for (int second = 1; second < ClockSyncWatch::IntervalSeconds; ++second)
        QVERIFY(!watch.tick());
    QCOMPARE(asked, 1);
    QVERIFY(watch.tick());
    QCOMPARE(asked, 2);
    QVERIFY(watch.synchronised());
}

void TestClockRules::clockGroupReadsBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QTime>("daily");
    QTest::addColumn<QTime>("hourly");
    QTest::addColumn<int>("countDown");
    QTest::addColumn<bool>("endUnreadable");

    const ClockSettings d;
    const int off = ClockSettings::EndOff;
    const int daily = ClockSettings::EndDaily;
    QTest::newRow("missing") << QString() << int(d.endMode) << d.endDaily << d.endHourly
                             << d.countDownSeconds << false;
    QTest::newRow("daily") << QStringLiteral("end_mode=daily\nend_daily=17:59:50\ncount_down=180\n")
                           << daily << QTime(17, 59, 50) << d.endHourly << 180 << false;
    QTest::newRow("hourly") << QStringLiteral("end_mode=hourly\nend_hourly=59:50\n")
                            << int(ClockSettings::EndHourly) << d.endDaily << QTime(0, 59, 50)
                            << d.countDownSeconds << false;
    QTest::newRow("nonsense") << QStringLiteral("end_mode=weekly\nend_daily=25:00:00\n"
                                                "end_hourly=61:00\ncount_down=-5\n")
                              << off << d.endDaily << d.endHourly << d.countDownSeconds << false;
    QTest::newRow("count-down too long") << QStringLiteral("count_down=86400\n") << int(d.endMode)
                                         << d.endDaily << d.endHourly << d.countDownSeconds
                                         << false;
    QTest::newRow("midnight as schedules write it")
        << QStringLiteral("end_mode=daily\nend_daily=24:00:00\n") << daily << QTime(0, 0, 0)
        << d.endHourly << d.countDownSeconds << false;
    QTest::newRow("single-digit hour") << QStringLiteral("end_mode=daily\nend_daily=7:05:09\n")
                                       << daily << QTime(7, 5, 9) << d.endHourly
                                       << d.countDownSeconds << false;
    // Never an invented end time: off, and said.
    QTest::newRow("daily end time that cannot be read")
        << QStringLiteral("end_mode=daily\nend_daily=23:59:60\n") << off << d.endDaily
        << d.endHourly << d.countDownSeconds << true;
}

void TestClockRules::clockGroupReadsBack()
{
    QFETCH(QString, file);
    QFETCH(int, mode);
    QFETCH(QTime, daily);
    QFETCH(QTime, hourly);
    QFETCH(int, countDown);
    QFETCH(bool, endUnreadable);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clock.conf"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[clock]\n" + file.toUtf8());
    }
    QSettings settings(path, QSettings::IniFormat);
    bool unreadable = !endUnreadable;
    const ClockSettings c = ClockSettings::read(settings, &unreadable);
    QCOMPARE(int(c.endMode), mode);
    QCOMPARE(c.endDaily, daily);
    QCOMPARE(c.endHourly, hourly);
    QCOMPARE(c.countDownSeconds, countDown);
    QCOMPARE(unreadable, endUnreadable);
    // What it writes, it reads back the same.
    c.write(settings);
    settings.sync();
    QSettings again(path, QSettings::IniFormat);
    QVERIFY(ClockSettings::read(again) == c);
}

ORVANE_TEST_GUILESS_MAIN(TestClockRules)
#include "tst_clockrules.moc"
