#include "remote/remotesnapshot.h"

const char *RemoteSnapshot::meterName(int meter)
{
    static const char *const names[Meters]
        = { "ProgLeft", "ProgRight", "SubLeft", "SubRight", "CrmLeft", "CrmRight" };
    return meter >= 0 && meter < Meters ? names[meter] : "";
}

const char *RemoteSnapshot::pairName(int pair)
{
    static const char *const names[Pairs] = { "prog", "sub", "crm" };
    return pair >= 0 && pair < Pairs ? names[pair] : "";
}

const char *RemoteSnapshot::linkStateName(LinkState state)
{
    switch (state) {
    case Live:
        return "live";
    case NoData:
        return "no_data";
    case NoLink:
        break;
    }
    return "no_link";
}

bool RemoteSnapshot::sameState(const RemoteSnapshot &o) const
{
    if (version != o.version || displayName != o.displayName || link != o.link
        || linkSource != o.linkSource || clockSynchronised != o.clockSynchronised
        || clockLegend != o.clockLegend || endMode != o.endMode || endTime != o.endTime
        || countDown != o.countDown || countDownLength != o.countDownLength
        || countDownEndsMs != o.countDownEndsMs || countDownLast != o.countDownLast
        || onAir != o.onAir || problems != o.problems || utcOffsetSeconds != o.utcOffsetSeconds)
        return false;
    for (int p = 0; p < Pairs; ++p) {
        const Pair &a = pairs[p];
        const Pair &b = o.pairs[p];
        if (a.caption != b.caption || a.overLatched != b.overLatched || a.overCount != b.overCount
            || a.lastOverMs != b.lastOverMs || a.silenceWatched != b.silenceWatched
            || a.silenceActive != b.silenceActive || a.silenceSinceMs != b.silenceSinceMs)
            return false;
    }
    return true;
}
