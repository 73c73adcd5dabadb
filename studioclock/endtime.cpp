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

QString leftText(int seconds)
{
    return QChar(0x2212) + LampStyle::minutesAndSeconds(seconds, 2);
}

} // namespace EndTime
