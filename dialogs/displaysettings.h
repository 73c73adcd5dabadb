#pragma once

#include <QtGlobal>

class QSettings;

// What the operator chose for the panel's trust-on-air functions and how the window starts. Kept in the settings file's
// [display] group; a value that is missing, unreadable or out of range reads as its default.
struct DisplaySettings
{
    enum Pair { Programme, Sub, ControlRoom, Pairs };

    struct Silence
    {
        bool enabled;
        double thresholdDb;
        double seconds;
    };

    double staleSeconds = 1.0;
    bool peakHold = true;
    bool peakHoldUntilReset = false;
    double peakHoldSeconds = 1.5;
    double overThresholdDb = 5.0;
    Silence silence[Pairs] = {
        { true, -40.0, 10.0 },
        { false, -40.0, 10.0 },
        { false, -40.0, 10.0 },
    };
    // The clock's lamp that says whether the system clock is synchronised.
    bool showClockSync = true;
    // A wall display comes up filling its screen.
    bool startFullScreen = false;

    static constexpr double MinStaleSeconds = 0.2;
    static constexpr double MaxStaleSeconds = 60.0;
    static constexpr double MinHoldSeconds = 0.5;
    static constexpr double MaxHoldSeconds = 10.0;
    static constexpr double MinOverDb = 0.0;
    static constexpr double MaxOverDb = 15.5;
    static constexpr double MinSilenceDb = -50.0;
    static constexpr double MaxSilenceDb = 0.0;
    static constexpr double MinSilenceSeconds = 1.0;
    static constexpr double MaxSilenceSeconds = 3600.0;

    // Reads the [display] group of `settings` and leaves the caller's group as it was.
    static DisplaySettings read(QSettings &settings);
    void write(QSettings &settings) const;

    bool operator==(const DisplaySettings &other) const;
    bool operator!=(const DisplaySettings &other) const { return !(*this == other); }
};
