#pragma once

#include "widgets/clocksource.h"

#include <QDateTime>

// A clock that stands at a chosen moment until the test moves it.
class FixedClock : public ClockSource
{
public:
    explicit FixedClock(const QDateTime &start = QDateTime())
        : moment(start)
    {
    }

    QDateTime now() const override
    {
        ++readings;
        return moment;
    }

    void set(const QDateTime &m) { moment = m; }
    void set(const QTime &t) { moment = QDateTime(QDate(2026, 12, 7), t); }
    void advance(int ms) { moment = moment.addMSecs(ms); }
    int readingCount() const { return readings; }

private:
    QDateTime moment;
    mutable int readings = 0;
};

// Moves one step forward at every reading: a clock whose timer ticks are also its time steps.
class SteppingClock : public ClockSource
{
public:
    SteppingClock(const QDateTime &start, int step)
        : next(start)
        , stepMs(step)
    {
    }

    QDateTime now() const override
    {
        const QDateTime reading = next;
        next = next.addMSecs(stepMs);
        ++readings;
        return reading;
    }

    int readingCount() const { return readings; }

private:
    mutable QDateTime next;
    int stepMs;
    mutable int readings = 0;
};
