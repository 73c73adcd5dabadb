#pragma once

#include "comm/levelframe.h"

#include <array>

// What a release tick shows of the frames that came since the tick before. The tick comes once
// per refresh of the screen and a console may send several frames in between: were only the
// last one shown, a short peak that a lower frame followed before the tick would never reach
// the bar or its peak mark. So each channel's target for a tick is the highest level of every
// frame accepted since the previous tick and, when none came, the level of the last frame.
class TickLevels
{
public:
    TickLevels();

    // An accepted frame's six levels, in dB.
    void take(const double *levels);
    // Every channel's target goes to `level` at once, whatever came since the last tick (a
    // link gone quiet, a new input).
    void reset(double level);
    // The target of `channel` for the tick now running.
    double target(int channel) const { return highest[channel]; }
    // The tick has taken its targets; the next one counts from `latest`, the last frame's six
    // levels.
    void ticked(const double *latest);

private:
    std::array<double, LevelFrame::Channels> highest;
    // Whether a frame came since the last tick.
    bool collecting = false;
};
