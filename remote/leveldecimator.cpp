#include "remote/leveldecimator.h"

#include <algorithm>

bool LevelDecimator::feed(const double db[RemoteSnapshot::Meters], qint64 nowMs,
                          double out[RemoteSnapshot::Meters])
{
    for (int m = 0; m < RemoteSnapshot::Meters; ++m)
        highest[m] = pending ? std::max(highest[m], db[m]) : db[m];
    pending = true;
    if (sentAny && nowMs - lastSentMs < WindowMs)
        return false;
    take(out, nowMs);
    return true;
}

bool LevelDecimator::flush(qint64 nowMs, double out[RemoteSnapshot::Meters])
{
    if (!pending || nowMs - lastSentMs < WindowMs)
        return false;
    take(out, nowMs);
    return true;
}

void LevelDecimator::take(double out[RemoteSnapshot::Meters], qint64 nowMs)
{
    std::copy(highest, highest + RemoteSnapshot::Meters, out);
    pending = false;
    sentAny = true;
    lastSentMs = nowMs;
}
