#pragma once

#include <QDateTime>

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
