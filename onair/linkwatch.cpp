#include "onair/linkwatch.h"

#include "comm/distributionrules.h"

void LinkWatch::inputOpened(qint64 nowMs)
{
    open = true;
    openedAt = nowMs;
    anyFrame = false;
}

void LinkWatch::inputFailed()
{
    open = false;
    anyFrame = false;
}

void LinkWatch::frameAccepted(qint64 nowMs)
{
    // A frame proves the input is there, whatever was said of it before (a UDP datagram
    // queued before a failed re-bind, for instance).
    open = true;
    anyFrame = true;
    lastFrame = nowMs;
    ++frames;
}

void LinkWatch::setStaleMs(qint64 ms)
{
    using S = DisplaySettings;
    stale = qBound(S::milliseconds(S::MinStaleSeconds), ms, S::milliseconds(S::MaxStaleSeconds));
}

LinkWatch::State LinkWatch::state(qint64 nowMs) const
{
    if (!open)
        return NoLink;
    if (anyFrame && nowMs - lastFrame < stale)
        return Live;
    return NoData;
}

qint64 LinkWatch::silentForMs(qint64 nowMs) const
{
    if (!open)
        return 0;
    return qMax<qint64>(0, nowMs - (anyFrame ? lastFrame : openedAt));
}

qint64 LinkWatch::nextChangeMs(qint64 nowMs) const
{
    if (state(nowMs) != Live)
        return -1;
    return lastFrame + stale;
}

void LinkWatch::serverHeard(qint64 nowMs)
{
    anyHeard = true;
    lastHeard = nowMs;
}

bool LinkWatch::serverSilent(qint64 nowMs) const
{
    if (!serverExpected || state(nowMs) != NoData)
        return false;
    const qint64 last = qMax(anyHeard ? lastHeard : openedAt, anyFrame ? lastFrame : openedAt);
    return nowMs - last >= Distribution::Heartbeat::AliveMs;
}
