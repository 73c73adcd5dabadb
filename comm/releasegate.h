#pragma once

#include <QtGlobal>

// When the release tick may stop, and when it must run again. A resting display then costs
// no wake-ups for its meters at all; the first frame, reset or change of the peak marks
// starts the tick again, and the fall, which follows time, comes out where it would have.
namespace ReleaseGate {

// Whether a meter standing at `position` on a scale from minDb to maxDb has arrived at
// `target`: a target beyond the scale counts as its end, where the meter stops.
bool settled(double position, double target, double minDb, double maxDb);

// The tick may stop once no meter moves, no peak mark is left to fall, and no live link is
// waiting to be noticed going quiet (the tick does that at the stale time).
bool mayRest(int movingMeters, int fallingPeaks, bool linkLive);

} // namespace ReleaseGate

// How often the meters are stepped and repainted: once per refresh of the screen they are
// on, never more, for a screen cannot show more; the fall following time keeps every step's
// position exact whatever the interval.
namespace RepaintPacer {

// The screens' rate when the platform does not know it.
constexpr double DefaultRefreshHz = 60.0;

// Whole milliseconds between ticks for a screen of `refreshHz`, rounded up so that a tick
// never comes more often than a refresh.
int intervalMs(double refreshHz);

// For a tick wanted at `nowNs`, when the last one ran at `lastTickNs` (monotonic; 0: never):
// how many milliseconds to wait, so that two ticks are never closer than `intervalMs`.
int delayMs(qint64 nowNs, qint64 lastTickNs, int intervalMs);

} // namespace RepaintPacer
