#include "studioclock/secondticker.h"

#include "widgets/wholeseconds.h"

#include <QDateTime>

SecondTicker::SecondTicker(QObject *parent)
    : QObject(parent)
    , wallClock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    // A coarse timer may fire up to 5 % late, 50 ms on a second: the wake must be exact.
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &SecondTicker::wake);
}

void SecondTicker::setWallClock(WallClock clock)
{
    wallClock = std::move(clock);
}

void SecondTicker::start()
{
    arm();
}

void SecondTicker::stop()
{
    timer.stop();
}

int SecondTicker::delayToNextSecond(qint64 nowMs)
{
    return int(1000 - WholeSeconds::intoSecond(nowMs)) + LeadMs;
}

void SecondTicker::wake()
{
    emit ticked();
    // Armed from a reading taken after the work of this second, so that however long that
    // took, the next wake is still on the next boundary.
    arm();
}

void SecondTicker::arm()
{
    timer.start(delayToNextSecond(wallClock()));
}
