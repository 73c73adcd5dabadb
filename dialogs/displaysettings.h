#pragma once

#include <QString>
#include <QTime>
#include <QtGlobal>

class QSettings;

// What the operator chose for the panel's trust-on-air functions and how the window starts. Kept
// in the settings file's [display] group; a value that is missing, unreadable or out of range
// reads as its default.
struct DisplaySettings
{
    enum Pair { Programme, Sub, ControlRoom, Pairs };

    struct Silence
    {
        bool enabled;
        double thresholdDb;
        double seconds;
    };

    double staleSeconds = DefaultStaleSeconds;
    bool peakHold = true;
    bool peakHoldUntilReset = false;
    double peakHoldSeconds = 1.5;
    double overThresholdDb = DefaultOverDb;
    Silence silence[Pairs] = {
        { true, DefaultSilenceDb, DefaultSilenceSeconds },
        { false, DefaultSilenceDb, DefaultSilenceSeconds },
        { false, DefaultSilenceDb, DefaultSilenceSeconds },
    };
    // The clock's lamp that says whether the system clock is synchronised.
    bool showClockSync = true;
    // A wall display comes up filling its screen.
    bool startFullScreen = false;
    // The analog clock's hands; the digits and the second dots tell the time without them.
    bool showHands = true;
    // A studio is dark at night: between two times of day the panel is dimmed to a part of
    // its light. Alarms are never dimmed.
    bool dimAtNight = false;
    QTime dimFrom = QTime(22, 0);
    QTime dimUntil = QTime(6, 0);
    int dimBrightnessPercent = DefaultDimPercent;

    // The watches behind the lamps (onair/) keep to the same defaults and limits.
    static constexpr double DefaultStaleSeconds = 1.0;
    static constexpr double MinStaleSeconds = 0.2;
    static constexpr double MaxStaleSeconds = 60.0;
    static constexpr double MinHoldSeconds = 0.5;
    static constexpr double MaxHoldSeconds = 10.0;
    static constexpr double DefaultOverDb = 5.0;
    static constexpr double MinOverDb = 0.0;
    static constexpr double MaxOverDb = 15.5;
    static constexpr double DefaultSilenceDb = -40.0;
    static constexpr double MinSilenceDb = -50.0;
    static constexpr double MaxSilenceDb = 0.0;
    static constexpr double DefaultSilenceSeconds = 10.0;
    static constexpr double MinSilenceSeconds = 1.0;
    static constexpr double MaxSilenceSeconds = 3600.0;
    static constexpr int DefaultDimPercent = 40;
    static constexpr int MinDimPercent = 10;
    static constexpr int MaxDimPercent = 90;

    // A time of the record, kept in seconds, in the watches' milliseconds.
    static constexpr qint64 milliseconds(double seconds)
    {
        return static_cast<qint64>(seconds * 1000.0 + 0.5);
    }

    // A pair's short name, as the settings keys and the lamps' object names write it: "prog",
    // "sub" or "crm".
    static QLatin1String pairName(int pair);

    // Reads the [display] group of `settings` and leaves the caller's group as it was.
    static DisplaySettings read(QSettings &settings);
    void write(QSettings &settings) const;

    bool operator==(const DisplaySettings &other) const;
    bool operator!=(const DisplaySettings &other) const { return !(*this == other); }
};
