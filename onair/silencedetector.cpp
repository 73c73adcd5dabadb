#include "onair/silencedetector.h"

#include <cmath>

void SilenceDetector::setEnabled(bool enable)
{
    on = enable;
    if (!on)
        suspend();
}

void SilenceDetector::setThresholdDb(double db)
{
    if (std::isnan(db))
        db = DisplaySettings::DefaultSilenceDb;
    threshold = qBound(DisplaySettings::MinSilenceDb, db, DisplaySettings::MaxSilenceDb);
}

void SilenceDetector::setTimeMs(qint64 ms)
{
    using S = DisplaySettings;
    time
        = qBound(S::milliseconds(S::MinSilenceSeconds), ms, S::milliseconds(S::MaxSilenceSeconds));
}

bool SilenceDetector::feed(double leftDb, double rightDb, qint64 nowMs)
{
    if (!on)
        return false;
    // NaN is not a level below anything: it counts as sound, never as silence.
    const bool below = leftDb < threshold && rightDb < threshold;
    if (!below) {
        quiet = false;
        raised = false;
        return false;
    }
    if (!quiet) {
        quiet = true;
        quietSince = nowMs;
    }
    raised = nowMs - quietSince >= time;
    return raised;
}

void SilenceDetector::suspend()
{
    quiet = false;
    raised = false;
}
