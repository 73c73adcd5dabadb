#include "clocksource.h"

ClockSource::~ClockSource() = default;

QDateTime currentDateTime(const ClockSource *source)
{
    return source ? source->now() : QDateTime::currentDateTime();
}

QTime currentTime(const ClockSource *source)
{
    return source ? source->now().time() : QTime::currentTime();
}
