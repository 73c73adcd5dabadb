#pragma once

#include <QDateTime>

class QTimer;
class QWidget;

// Where the clocks read the local time. The system clock serves unless a test injects one
// that stands still at a chosen moment.
class ClockSource
{
public:
    virtual ~ClockSource();
    virtual QDateTime now() const = 0;
};

// The local wall-clock time of `source`, or of the system clock when `source` is null; the
// system clock's to the second (its milliseconds are those of the second's first reading).
QDateTime currentDateTime(const ClockSource *source);
QTime currentTime(const ClockSource *source);

// A clock polls the time this often while no owner drives it.
constexpr int ClockPollMs = 100;

// The clocks' Driven setter: driven, the owner calls checkTime() just after each second
// boundary and the clock's own `poll` rests; otherwise the poll runs.
void setClockDriven(QWidget *clock, QTimer *poll, bool &driven, bool value);
