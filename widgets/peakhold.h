#pragma once

#include <QtGlobal>

// The peak mark of a meter: the highest level of the last hold time, which then falls at the
// release rate until it meets the level again. Times are monotonic milliseconds.
struct PeakHoldState
{
    double db = -1.0e9; // below any scale: no peak yet
    qint64 heldSinceMs = 0; // when the mark took its present height
    qint64 steppedMs = 0; // the previous step, for the fall
};

// One step at `nowMs` for a meter showing `levelDb`. `holdMs` < 0 holds until reset.
// `fallPerSecond` is the release rate in dB per second.
PeakHoldState stepPeakHold(PeakHoldState peak, double levelDb, qint64 nowMs, qint64 holdMs,
                           double fallPerSecond);
