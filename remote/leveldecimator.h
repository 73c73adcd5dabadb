#pragma once

#include "remote/remotesnapshot.h"

#include <QtGlobal>

// Turns the console's frames (50 a second on UDP, up to 720 on a serial line) into at most
// `LevelsPerSecond` level events, each carrying, per meter, the highest level of its window:
// a peak that lasted one frame is never lost to the thinning. The first frame after a pause
// goes out at once; frames within a window wait for its end. Times are monotonic milliseconds
// passed in by the owner, who also arms a single wake at deadlineMs() when one is pending, so
// nothing runs while the meters rest.
class LevelDecimator
{
public:
    static constexpr qint64 WindowMs = 40;

    // One frame's levels at `nowMs`; returns true when `out` holds an event to send now.
    bool feed(const double db[RemoteSnapshot::Meters], qint64 nowMs,
              double out[RemoteSnapshot::Meters]);
    // When the pending window ends, or -1 when nothing waits.
    qint64 deadlineMs() const { return pending ? lastSentMs + WindowMs : -1; }
    // At or after deadlineMs(): the pending window's event.
    bool flush(qint64 nowMs, double out[RemoteSnapshot::Meters]);

private:
    void take(double out[RemoteSnapshot::Meters], qint64 nowMs);

    double highest[RemoteSnapshot::Meters] = {};
    qint64 lastSentMs = 0;
    bool pending = false;
    bool sentAny = false;
};
