#pragma once

#include <QString>
#include <QtGlobal>

// A count-down to a moment: to air, to the news. It measures elapsed time, on a clock that no
// setting of the time moves (`elapsedMs`), so that an NTP step or a clock set by hand changes
// nothing of how long is left. It keeps step with the wall clock all the same: it starts at the
// nearest whole second of the wall clock, and its seconds are counted against the wall clock's
// seconds (`wallMs`, ms since the epoch), so that they change together with the clock's, from
// the window's one wake a second; it needs no timer of its own. At zero it says "time up" for
// `TimeUpSeconds`, then ends by itself.
class CountDown
{
public:
    enum State { Idle, Running, TimeUp };

    static constexpr int TimeUpSeconds = 5;

    // From now, `seconds` long.
    void start(int seconds, qint64 wallMs, qint64 elapsedMs);
    void cancel();
    // Brings the state up to now; returns true when what it shows has changed.
    bool update(qint64 wallMs, qint64 elapsedMs);

    State state() const { return current; }
    int length() const { return lengthSeconds; }
    // Whole seconds still to go while running; 0 when time is up.
    int secondsLeft() const { return left; }
    // The wall clock's second (since the epoch) at which it reaches zero, as the wall clock read
    // at the last update; meaningful while not idle.
    qint64 endsAtSecond() const { return endSecond; }
    // "0:10", "3:00", "1:00:00"; "TIME UP" when time is up, empty when idle.
    QString text() const;

private:
    State current = Idle;
    int lengthSeconds = 0;
    // When it ends, on the elapsed-time clock.
    qint64 endMs = 0;
    qint64 endSecond = 0;
    int left = 0;
};
