#pragma once

#include "dialogs/displaysettings.h"

#include <QtGlobal>

// Dead air on a stereo pair: both levels below the threshold for the whole silence time. The
// owner passes monotonic milliseconds; a pause in the levels (the link not live) is told with
// suspend(), so that a missing signal is never called silence.
class SilenceDetector
{
public:
    void setEnabled(bool on);
    bool enabled() const { return on; }
    // Both kept within what the operator can choose (DisplaySettings); a NaN threshold is the
    // default.
    void setThresholdDb(double db);
    double thresholdDb() const { return threshold; }
    void setTimeMs(qint64 ms);
    qint64 timeMs() const { return time; }

    // The pair's current levels at `nowMs`; returns whether the alarm is raised.
    bool feed(double leftDb, double rightDb, qint64 nowMs);
    // No levels to judge (no link, no data): the alarm drops and the silence time starts
    // again with the next feed.
    void suspend();

    bool alarm() const { return raised; }
    // How long the pair has been below the threshold, 0 when it is not.
    qint64 quietForMs(qint64 nowMs) const { return quiet ? nowMs - quietSince : 0; }

private:
    double threshold = DisplaySettings::DefaultSilenceDb;
    qint64 time = DisplaySettings::milliseconds(DisplaySettings::DefaultSilenceSeconds);
    qint64 quietSince = 0;
    bool on = false;
    bool quiet = false;
    bool raised = false;
};
