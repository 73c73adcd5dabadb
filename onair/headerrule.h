#pragma once

#include "onair/linkwatch.h"
#include "panel/lampstyle.h"

#include <QtGlobal>

#include <array>

// What the header lamp shows: the worst state on the panel, so that one glance at it is enough.
// An input that was never chosen comes first, then a link that is down, then a link that is
// quiet, then dead air on a pair (the one silent longest, the programme first when they tie).
// Only a live link with no pair silent is a plain LIVE. An over is a past event that its
// pair's lamp holds until it is reset; it does not colour the header.
namespace HeaderRule {

struct Worst
{
    LampStyle::State state;
    // The silent pair the header names, -1 for any other state.
    int pair;
};

// `silentMs` holds, per pair, how long its silence alarm has been raised, -1 where it is not.
Worst worst(bool inputChosen, LinkWatch::State link, const std::array<qint64, 3> &silentMs);

} // namespace HeaderRule
