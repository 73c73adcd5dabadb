#pragma once

#include <QTime>

class QSettings;

// The end time the analog clock marks: none, once a day at a time of day, or every hour at
// minutes and seconds past (a news join at :59:50). Kept in the settings file's [clock] group
// together with the last count-down's length; a value that is missing or unreadable reads as
// its default.
struct ClockSettings
{
    enum EndMode { EndOff, EndDaily, EndHourly };

    EndMode endMode = EndOff;
    QTime endDaily = QTime(12, 0, 0);
    // Only the minutes and seconds count.
    QTime endHourly = QTime(0, 59, 50);
    int countDownSeconds = 10;

    // A count-down of nothing would be over before it showed; the dialog's time field holds
    // less than a day.
    static constexpr int MinCountDownSeconds = 1;
    static constexpr int MaxCountDownSeconds = 24 * 3600 - 1;

    // An end time in use that is stored but cannot be read turns the end time off rather than
    // inventing one; `endUnreadable` then says so.
    static ClockSettings read(QSettings &settings, bool *endUnreadable = nullptr);
    void write(QSettings &settings) const;

    bool operator==(const ClockSettings &other) const;
    bool operator!=(const ClockSettings &other) const { return !(*this == other); }
};
