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

void CountDown::start(int seconds, qint64 nowMs)
{
    lengthSeconds = qMax(ClockSettings::MinCountDownSeconds, seconds);
    endSecond = secondOf(nowMs) + lengthSeconds;
    current = Running;
    left = lengthSeconds;
    update(nowMs);
}

void CountDown::cancel()
{
    current = Idle;
    left = 0;
}

bool CountDown::update(qint64 nowMs)
{
    if (current == Idle)
        return false;
    const State was = current;
    const int wasLeft = left;
    const qint64 toGo = endSecond - secondOf(nowMs);
    if (toGo > 0) {
        // A clock set back while counting must not lengthen the count beyond its start.
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
