#include "widgets/peakhold.h"

PeakHoldState stepPeakHold(PeakHoldState peak, double levelDb, qint64 nowMs, qint64 holdMs,
                           double fallPerSecond)
{
    // A clock that went backwards (it cannot, being monotonic, but an owner may restart it)
    // must not make the mark rise or hold for ever.
    const qint64 elapsed = qMax<qint64>(0, nowMs - peak.steppedMs);
    peak.steppedMs = nowMs;
    if (!(levelDb < peak.db)) {
        peak.db = levelDb;
        peak.heldSinceMs = nowMs;
        return peak;
    }
    if (holdMs < 0)
        return peak;
    const qint64 fallStart = peak.heldSinceMs + holdMs;
    if (nowMs <= fallStart)
        return peak;
    // Only the part of this step that lies after the hold time counts towards the fall.
    const qint64 falling = qMin(elapsed, nowMs - fallStart);
    peak.db -= fallPerSecond * static_cast<double>(falling) / 1000.0;
    if (peak.db < levelDb)
        peak.db = levelDb;
    return peak;
}
