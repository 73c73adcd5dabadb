#pragma once

#include <QString>
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

    static constexpr int MaxCountDownSeconds = 24 * 3600 - 1;

    static ClockSettings read(QSettings &settings);
    void write(QSettings &settings) const;

    bool operator==(const ClockSettings &other) const;
    bool operator!=(const ClockSettings &other) const { return !(*this == other); }
};

namespace EndTime {

// Only this close to the end time does the panel count the time left in words.
constexpr int AnnounceSeconds = 600;

// Whole seconds from `now` to the next end time (0 at the end time itself), or -1 when there
// is none. A daily end time that passed today lies tomorrow; an hourly one is never more than
// an hour away.
int secondsLeft(const ClockSettings &settings, const QTime &now);

// "−02:37" under an hour, "−1:02:37" above: the sign is a true minus.
QString leftText(int seconds);

} // namespace EndTime
