#include "dialogs/displaysettings.h"

#include "dialogs/storedvalue.h"

#include <QSettings>

#include <cmath>

namespace {

const char *const PairKeys[DisplaySettings::Pairs] = { "prog", "sub", "crm" };

bool readFlag(const QSettings &settings, const QString &key, bool fallback)
{
    return StoredValue::flagFromValue(settings.value(key), fallback, StoredValue::Spelling::Loose);
}

double readNumber(const QSettings &settings, const QString &key, double fallback, double min,
                  double max)
{
    bool ok = false;
    const double value = settings.value(key).toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < min || value > max)
        return fallback;
    return value;
}

// A time of day as "hh:mm"; anything else reads as `fallback`.
QTime readTime(const QSettings &settings, const QString &key, const QTime &fallback)
{
    const QTime t
        = QTime::fromString(settings.value(key).toString().trimmed(), QStringLiteral("hh:mm"));
    return t.isValid() ? t : fallback;
}

QString pairKey(int pair, const char *what)
{
    return QStringLiteral("silence_%1%2")
        .arg(DisplaySettings::pairName(pair), QLatin1String(what));
}

} // namespace

QLatin1String DisplaySettings::pairName(int pair)
{
    return QLatin1String(PairKeys[pair]);
}

DisplaySettings DisplaySettings::read(QSettings &settings)
{
    const DisplaySettings defaults;
    DisplaySettings d;
    settings.beginGroup(QStringLiteral("display"));
    d.staleSeconds = readNumber(settings, QStringLiteral("stale_time"), defaults.staleSeconds,
                                MinStaleSeconds, MaxStaleSeconds);
    d.peakHold = readFlag(settings, QStringLiteral("peak_hold"), defaults.peakHold);
    d.peakHoldUntilReset
        = readFlag(settings, QStringLiteral("peak_hold_until_reset"), defaults.peakHoldUntilReset);
    d.peakHoldSeconds = readNumber(settings, QStringLiteral("peak_hold_time"),
                                   defaults.peakHoldSeconds, MinHoldSeconds, MaxHoldSeconds);
    d.overThresholdDb = readNumber(settings, QStringLiteral("over_threshold"),
                                   defaults.overThresholdDb, MinOverDb, MaxOverDb);
    for (int pair = 0; pair < Pairs; ++pair) {
        Silence &s = d.silence[pair];
        const Silence &fallback = defaults.silence[pair];
        s.enabled = readFlag(settings, pairKey(pair, ""), fallback.enabled);
        s.thresholdDb = readNumber(settings, pairKey(pair, "_threshold"), fallback.thresholdDb,
                                   MinSilenceDb, MaxSilenceDb);
        s.seconds = readNumber(settings, pairKey(pair, "_time"), fallback.seconds,
                               MinSilenceSeconds, MaxSilenceSeconds);
    }
    d.showClockSync
        = readFlag(settings, QStringLiteral("show_clock_sync"), defaults.showClockSync);
    d.startFullScreen
        = readFlag(settings, QStringLiteral("start_full_screen"), defaults.startFullScreen);
    d.showHands = readFlag(settings, QStringLiteral("show_hands"), defaults.showHands);
    d.dimAtNight = readFlag(settings, QStringLiteral("dim_at_night"), defaults.dimAtNight);
    d.dimFrom = readTime(settings, QStringLiteral("dim_from"), defaults.dimFrom);
    d.dimUntil = readTime(settings, QStringLiteral("dim_until"), defaults.dimUntil);
    d.dimBrightnessPercent
        = int(readNumber(settings, QStringLiteral("dim_brightness"), defaults.dimBrightnessPercent,
                         MinDimPercent, MaxDimPercent));
    settings.endGroup();
    return d;
}

void DisplaySettings::write(QSettings &settings) const
{
    settings.beginGroup(QStringLiteral("display"));
    settings.setValue(QStringLiteral("stale_time"), staleSeconds);
    settings.setValue(QStringLiteral("peak_hold"), peakHold);
    settings.setValue(QStringLiteral("peak_hold_until_reset"), peakHoldUntilReset);
    settings.setValue(QStringLiteral("peak_hold_time"), peakHoldSeconds);
    settings.setValue(QStringLiteral("over_threshold"), overThresholdDb);
    for (int pair = 0; pair < Pairs; ++pair) {
        settings.setValue(pairKey(pair, ""), silence[pair].enabled);
        settings.setValue(pairKey(pair, "_threshold"), silence[pair].thresholdDb);
        settings.setValue(pairKey(pair, "_time"), silence[pair].seconds);
    }
    settings.setValue(QStringLiteral("show_clock_sync"), showClockSync);
    settings.setValue(QStringLiteral("start_full_screen"), startFullScreen);
    settings.setValue(QStringLiteral("show_hands"), showHands);
    settings.setValue(QStringLiteral("dim_at_night"), dimAtNight);
    settings.setValue(QStringLiteral("dim_from"), dimFrom.toString(QStringLiteral("hh:mm")));
    settings.setValue(QStringLiteral("dim_until"), dimUntil.toString(QStringLiteral("hh:mm")));
    settings.setValue(QStringLiteral("dim_brightness"), dimBrightnessPercent);
    settings.endGroup();
}

bool DisplaySettings::operator==(const DisplaySettings &o) const
{
    if (staleSeconds != o.staleSeconds || peakHold != o.peakHold
        || peakHoldUntilReset != o.peakHoldUntilReset || peakHoldSeconds != o.peakHoldSeconds
        || overThresholdDb != o.overThresholdDb || showClockSync != o.showClockSync
        || startFullScreen != o.startFullScreen || showHands != o.showHands
        || dimAtNight != o.dimAtNight || dimFrom != o.dimFrom || dimUntil != o.dimUntil
        || dimBrightnessPercent != o.dimBrightnessPercent)
        return false;
    for (int pair = 0; pair < Pairs; ++pair) {
        if (silence[pair].enabled != o.silence[pair].enabled
            || silence[pair].thresholdDb != o.silence[pair].thresholdDb
            || silence[pair].seconds != o.silence[pair].seconds)
            return false;
    }
    return true;
}
