#pragma once

#include "dialogs/clocksettings.h"
#include "panel/lampstyle.h"

#include <QString>
#include <QTime>

namespace EndTime {

// Only this close to the end time does the panel count the time left in words.
constexpr int AnnounceSeconds = 600;
// A join that was missed is counted up for this long after the end time, so that it is seen.
constexpr int OverrunSeconds = 60;

// Whole seconds from `now` to the next end time (0 at the end time itself), or -1 when there
// is none. A daily end time that passed today lies tomorrow; an hourly one is never more than
// an hour away.
int secondsLeft(const ClockSettings &settings, const QTime &now);

// Whole seconds since the latest end time (0 at the end time itself), or -1 when there is
// none.
int secondsPast(const ClockSettings &settings, const QTime &now);

// "02:37" under an hour, "1:02:37" above: the clock's one way of counting.
QString leftText(int seconds);

// What the end-time legend shows at `now`: the time left while the end time is near, counted
// up with a "+" for a minute after it, nothing otherwise (an empty text).
struct Legend
{
    LampStyle::State state;
    QString text;
};
Legend legend(const ClockSettings &settings, const QTime &now);

} // namespace EndTime
