#pragma once

#include <QtGlobal>

#include <functional>

// One release tick of a peak programme meter: a rise is taken at once, a fall at most
// `fall` dB, with the step rounded to single precision. Returns false when the meter stays
// where it is (resting at the -50 dB floor, or already at its target); otherwise stores the
// new position in *next.
bool releaseStep(double position, double target, double fall, double *next);

// The largest fall for a tick that comes `elapsedNs` after the one before: the meter falls
// at releasePerTick dB per releaseIntervalMs of time, so a tick on time allows exactly
// releasePerTick and a late one makes up for the time it lost.
double releaseFall(qint64 elapsedNs, double releasePerTick, int releaseIntervalMs);

// The time between release ticks, on the monotonic clock or on one a test gives it.
class ReleaseClock
{
public:
    // Nanoseconds on a clock that never goes back.
    using Source = std::function<qint64()>;

    ReleaseClock();
    void setSource(Source source);
    static qint64 monotonicNs();

    // Time since the previous call; the first call after construction or setSource() counts
    // as on time.
    qint64 sinceLastTick(qint64 onTimeNs);
    // A tick that rested starts again: the next tick counts from now, when the meters began
    // to move again, not from the tick before the rest.
    void restart();
    // The previous tick on this clock, 0 before the first.
    qint64 lastTickNs() const { return started ? last : 0; }
    qint64 nowNs() const { return now(); }

private:
    Source now;
    qint64 last = 0;
    bool started = false;
};
