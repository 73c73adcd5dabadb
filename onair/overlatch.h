#pragma once

#include "dialogs/displaysettings.h"

#include <QtGlobal>

// Latches an over on a stereo pair: a frame level that reaches the threshold lights it until
// the operator resets it. Levels above the meters' top are real (a frame carries up to
// +15.535 dB) and only this lamp shows them. An over is counted once when the pair rises to
// the threshold, not once per frame above it.
class OverLatch
{
public:
    // Kept within what the operator can choose (DisplaySettings); NaN is the default.
    void setThresholdDb(double db);
    double thresholdDb() const { return threshold; }

    // One frame's levels of the pair at `nowMs`, on whatever millisecond clock the owner
    // keeps (the time is kept only when an over begins). Returns true when a new over began.
    bool feed(double leftDb, double rightDb, qint64 nowMs);
    void reset();

    bool latched() const { return count > 0; }
    int overs() const { return count; }
    // The owner's milliseconds of the latest over; meaningful only while latched().
    qint64 lastOverMs() const { return last; }

private:
    double threshold = DisplaySettings::DefaultOverDb;
    int count = 0;
    bool above = false;
    qint64 last = 0;
};
