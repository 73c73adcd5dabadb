#include "comm/ticklevels.h"

#include <algorithm>

TickLevels::TickLevels()
{
    highest.fill(LevelFrame::FloorDb);
}

void TickLevels::take(const double *levels)
{
    for (int i = 0; i < LevelFrame::Channels; ++i)
        highest[i] = collecting ? std::max(highest[i], levels[i]) : levels[i];
    collecting = true;
}

void TickLevels::reset(double level)
{
    highest.fill(level);
    collecting = false;
}

void TickLevels::ticked(const double *latest)
{
    std::copy(latest, latest + LevelFrame::Channels, highest.begin());
    collecting = false;
}
