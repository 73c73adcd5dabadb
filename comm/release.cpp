#include "comm/release.h"

#include "comm/levelframe.h"

#include <chrono>

bool releaseStep(double position, double target, double fall, double *next)
{
    if (position <= LevelFrame::FloorDb && target <= LevelFrame::FloorDb)
        return false;
    float step = static_cast<float>(target - position);
    if (step < -fall)
        step = static_cast<float>(-fall);
    if (step == 0.0f)
        return false;
    *next = position + static_cast<double>(step);
    return true;
}

double releaseFall(qint64 elapsedNs, double releasePerTick, int releaseIntervalMs)
{
    if (elapsedNs <= 0 || releaseIntervalMs <= 0)
        return 0.0;
    // The ratio is exactly 1 for a tick on time, so that tick falls exactly releasePerTick.
    const double ticks = double(elapsedNs) / (double(releaseIntervalMs) * 1e6);
    return releasePerTick * ticks;
}

ReleaseClock::ReleaseClock()
    : now(monotonicNs)
{
}

qint64 ReleaseClock::monotonicNs()
{
    return qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

void ReleaseClock::setSource(Source source)
{
    now = std::move(source);
    started = false;
}

qint64 ReleaseClock::sinceLastTick(qint64 onTimeNs)
{
    const qint64 t = now();
    const qint64 elapsed = started ? t - last : onTimeNs;
    last = t;
    started = true;
    return elapsed;
}

void ReleaseClock::restart()
{
    last = now();
    started = true;
}
