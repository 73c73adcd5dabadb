#include "studioclock/endtime.h"

#include "panel/lampstyle.h"

namespace EndTime {

int secondsLeft(const ClockSettings &settings, const QTime &now)
{
    if (!now.isValid())
        return -1;
    const int at = now.hour() * 3600 + now.minute() * 60 + now.second();
    switch (settings.endMode) {
    case ClockSettings::EndDaily: {
        const QTime &e = settings.endDaily;
        const int end = e.hour() * 3600 + e.minute() * 60 + e.second();
        return ((end - at) % 86400 + 86400) % 86400;
    }
    case ClockSettings::EndHourly: {
        const QTime &e = settings.endHourly;
        const int end = e.minute() * 60 + e.second();
        return ((end - at % 3600) % 3600 + 3600) % 3600;
    }
    case ClockSettings::EndOff:
        break;
    }
    return -1;
}

int secondsPast(const ClockSettings &settings, const QTime &now)
{
    const int left = secondsLeft(settings, now);
    if (left <= 0)
        return left;
    // The end time before the next one lies a day, or an hour, before it.
    const int period = settings.endMode == ClockSettings::EndHourly ? 3600 : 86400;
    return period - left;
}

QString leftText(int seconds)
{
    return LampStyle::clockCount(seconds);
}

Legend legend(const ClockSettings &settings, const QTime &now)
{
    // The end-time marker's approach arc covers the last 15 seconds; the words turn red with it.
    constexpr int ApproachSeconds = 15;
    using LampStyle::State;
    const int past = secondsPast(settings, now);
    if (past >= 1 && past <= OverrunSeconds)
        return { State::Overrun, QStringLiteral("+") + leftText(past) };
    const int left = secondsLeft(settings, now);
    if (left < 0 || left > AnnounceSeconds)
        return { State::EndNear, QString() };
    return { left <= ApproachSeconds ? State::EndClose : State::EndNear, leftText(left) };
}

} // namespace EndTime
