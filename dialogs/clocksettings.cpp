#include "dialogs/clocksettings.h"

#include <QSettings>

namespace {

// An invalid time when the text cannot be read.
QTime readTime(const QSettings &settings, const QString &key, const QString &format)
{
    return QTime::fromString(settings.value(key).toString().trimmed(), format);
}

} // namespace

ClockSettings ClockSettings::read(QSettings &settings, bool *endUnreadable)
{
    const ClockSettings defaults;
    ClockSettings c;
    settings.beginGroup(QStringLiteral("clock"));
    const QString mode = settings.value(QStringLiteral("end_mode")).toString().trimmed();
    if (mode == QLatin1String("daily"))
        c.endMode = EndDaily;
    else if (mode == QLatin1String("hourly"))
        c.endMode = EndHourly;
    else
        c.endMode = EndOff;
    // A single-digit hour is what it says; schedules write midnight as 24:00:00.
    QTime daily = readTime(settings, QStringLiteral("end_daily"), QStringLiteral("H:mm:ss"));
    if (settings.value(QStringLiteral("end_daily")).toString().trimmed()
        == QLatin1String("24:00:00"))
        daily = QTime(0, 0, 0);
    c.endDaily = daily.isValid() ? daily : defaults.endDaily;
    const QTime hourly = readTime(settings, QStringLiteral("end_hourly"), QStringLiteral("mm:ss"));
    c.endHourly
        = hourly.isValid() ? QTime(0, hourly.minute(), hourly.second()) : defaults.endHourly;
    // A missing value is the default's, as everywhere; one that is there and cannot be read
    // is no end time at all.
    const auto unreadableKey = [&settings](const QTime &t, const char *key) {
        return !t.isValid() && settings.contains(QLatin1String(key));
    };
    const bool unreadable = (c.endMode == EndDaily && unreadableKey(daily, "end_daily"))
        || (c.endMode == EndHourly && unreadableKey(hourly, "end_hourly"));
    if (unreadable)
        c.endMode = EndOff;
    if (endUnreadable)
        *endUnreadable = unreadable;
    bool ok = false;
    const int seconds
        = settings.value(QStringLiteral("count_down")).toString().trimmed().toInt(&ok);
    c.countDownSeconds = ok && seconds >= MinCountDownSeconds && seconds <= MaxCountDownSeconds
        ? seconds
        : defaults.countDownSeconds;
    settings.endGroup();
    return c;
}

void ClockSettings::write(QSettings &settings) const
{
    static const char *const modes[] = { "off", "daily", "hourly" };
    settings.beginGroup(QStringLiteral("clock"));
    settings.setValue(QStringLiteral("end_mode"), QLatin1String(modes[endMode]));
    settings.setValue(QStringLiteral("end_daily"), endDaily.toString(QStringLiteral("HH:mm:ss")));
    settings.setValue(QStringLiteral("end_hourly"), endHourly.toString(QStringLiteral("mm:ss")));
    settings.setValue(QStringLiteral("count_down"), countDownSeconds);
    settings.endGroup();
}

bool ClockSettings::operator==(const ClockSettings &o) const
{
    return endMode == o.endMode && endDaily == o.endDaily && endHourly == o.endHourly
        && countDownSeconds == o.countDownSeconds;
}
