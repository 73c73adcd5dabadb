#pragma once

#include <QString>
#include <QtGlobal>

// A count-down to a moment: to air, to the news. It keeps step with the clock: it starts at
// the nearest whole second of the wall clock, so that its seconds change together with the
// clock's, from the window's one wake a second, and it needs no timer of its own. At zero it
// says "time up" for `TimeUpSeconds`, then ends by itself.
class CountDown
{
public:
    enum State { Idle, Running, TimeUp };

    static constexpr int TimeUpSeconds = 5;

    // From `nowMs` (the wall clock, ms since the epoch), `seconds` long.
    void start(int seconds, qint64 nowMs);
    void cancel();
    // Brings the state up to `nowMs`; returns true when what it shows has changed.
    bool update(qint64 nowMs);

    State state() const { return current; }
    int length() const { return lengthSeconds; }
    // Whole seconds still to go while running; 0 when time is up.
    int secondsLeft() const { return left; }
    // The wall clock's second (since the epoch) at which it reaches zero; meaningful while
    // not idle.
    qint64 endsAtSecond() const { return endSecond; }
    // "0:10", "3:00", "1:00:00"; "TIME UP" when time is up, empty when idle.
    QString text() const;

private:
    State current = Idle;
    int lengthSeconds = 0;
    qint64 endSecond = 0;
    int left = 0;
};
