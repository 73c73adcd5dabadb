#include "onair/overlatch.h"

#include <climits>
#include <cmath>

void OverLatch::setThresholdDb(double db)
{
    if (std::isnan(db))
        db = DisplaySettings::DefaultOverDb;
    threshold = qBound(DisplaySettings::MinOverDb, db, DisplaySettings::MaxOverDb);
}

bool OverLatch::feed(double leftDb, double rightDb, qint64 nowMs)
{
    const bool over = leftDb >= threshold || rightDb >= threshold;
    const bool starts = over && !above;
    above = over;
    if (!starts)
        return false;
    if (count < INT_MAX)
        ++count;
    last = nowMs;
    return true;
}

void OverLatch::reset()
{
    count = 0;
    last = 0;
    // A pair still above the threshold when reset counts again only once it has come down
    // and gone up again: the reset is the operator's acknowledgement of this over.
}
