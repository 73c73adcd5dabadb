#include "studioclock/countdown.h"

#include "dialogs/clocksettings.h"
#include "panel/lampstyle.h"
#include "widgets/wholeseconds.h"

#include <QObject>

namespace {

qint64 secondOf(qint64 ms)
{
    // To the nearest second, halves up.
    return WholeSeconds::secondOf(ms + 500);
}

} // namespace

void CountDown::start(int seconds, qint64 wallMs, qint64 elapsedMs)
{
    lengthSeconds = qMax(ClockSettings::MinCountDownSeconds, seconds);
    const qint64 toWholeSecond = secondOf(wallMs) * 1000 - wallMs;
    endMs = elapsedMs + toWholeSecond + qint64(lengthSeconds) * 1000;
    current = Running;
    left = lengthSeconds;
    update(wallMs, elapsedMs);
}

void CountDown::cancel()
{
    current = Idle;
    left = 0;
}

bool CountDown::update(qint64 wallMs, qint64 elapsedMs)
{
    if (current == Idle)
        return false;
    const State was = current;
    const int wasLeft = left;
    // The wall clock's seconds from now to the end as it reads now: a step of the wall clock
    // moves the moments at which they change, never the end.
    endSecond = secondOf(wallMs + (endMs - elapsedMs));
    const qint64 toGo = endSecond - secondOf(wallMs);
    if (toGo > 0) {
        // Never more than its length, whatever reading it is given.
        left = int(qMin<qint64>(toGo, lengthSeconds));
        current = Running;
    } else if (toGo > -TimeUpSeconds) {
        left = 0;
        current = TimeUp;
    } else {
        left = 0;
        current = Idle;
    }
    return current != was || left != wasLeft;
}

QString CountDown::text() const
{
    switch (current) {
    case Idle:
        return QString();
    case TimeUp:
        return QObject::tr("TIME UP");
    case Running:
        break;
    }
    return LampStyle::minutesAndSeconds(left);
}
