#include "studioclock/endtime.h"

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
    const int s = qMax(0, seconds);
    const QChar minus(0x2212);
    if (s < 3600)
        return QStringLiteral("%1%2:%3")
            .arg(minus)
            .arg(s / 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1%2:%3:%4")
        .arg(minus)
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace EndTime
