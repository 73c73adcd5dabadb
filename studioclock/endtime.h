#pragma once

#include "dialogs/clocksettings.h"

#include <QString>
#include <QTime>

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
