#include "comm/releasegate.h"

#include "comm/release.h"

#include <cmath>

namespace ReleaseGate {

bool settled(double position, double target, double minDb, double maxDb)
{
    // The meter's own clamp keeps its position inside the scale; the target is clamped the
    // same way, the upper end last as the meter does.
    if (target < minDb)
        target = minDb;
    if (target > maxDb)
        target = maxDb;
    double next;
    return !releaseStep(position, target, 1.0, &next);
}

bool mayRest(int movingMeters, int fallingPeaks, bool linkLive)
{
    return movingMeters == 0 && fallingPeaks == 0 && !linkLive;
}

} // namespace ReleaseGate

namespace RepaintPacer {

int intervalMs(double refreshHz)
{
    if (!(refreshHz >= 1.0) || !std::isfinite(refreshHz))
        refreshHz = DefaultRefreshHz;
    // A hair of slack, so that 60.000001 Hz is not taken for a faster screen than 60.
    const int ms = static_cast<int>(std::ceil(1000.0 / refreshHz - 1e-6));
    return qMax(1, ms);
}

int delayMs(qint64 nowNs, qint64 lastTickNs, int intervalMs)
{
    if (lastTickNs <= 0 || nowNs < lastTickNs)
        return 0;
    const qint64 due = lastTickNs + qint64(intervalMs) * 1000000;
    if (nowNs >= due)
        return 0;
    return static_cast<int>((due - nowNs + 999999) / 1000000);
}

} // namespace RepaintPacer
