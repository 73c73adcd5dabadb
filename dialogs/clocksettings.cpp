#include "dialogs/clocksettings.h"

#include <QSettings>

namespace {

QTime readTime(const QSettings &settings, const QString &key, const QString &format,
               const QTime &fallback)
{
    const QTime t = QTime::fromString(settings.value(key).toString().trimmed(), format);
    return t.isValid() ? t : fallback;
}

} // namespace

ClockSettings ClockSettings::read(QSettings &settings)
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
    c.endDaily = readTime(settings, QStringLiteral("end_daily"), QStringLiteral("HH:mm:ss"),
                          defaults.endDaily);
    const QTime hourly
        = readTime(settings, QStringLiteral("end_hourly"), QStringLiteral("mm:ss"), QTime());
    c.endHourly
        = hourly.isValid() ? QTime(0, hourly.minute(), hourly.second()) : defaults.endHourly;
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
