#include "onair/headerrule.h"

namespace HeaderRule {

Worst worst(bool inputChosen, LinkWatch::State link, const std::array<qint64, 3> &silentMs)
{
    using LampStyle::State;
    if (!inputChosen)
        return { State::NoInput, -1 };
    if (link == LinkWatch::NoLink)
        return { State::NoLink, -1 };
    if (link == LinkWatch::NoData)
        return { State::NoData, -1 };
    int longest = -1;
    for (int pair = 0; pair < int(silentMs.size()); ++pair) {
        if (silentMs[pair] >= 0 && (longest < 0 || silentMs[pair] > silentMs[longest]))
            longest = pair;
    }
    if (longest >= 0)
        return { State::Silence, longest };
    return { State::Live, -1 };
}

} // namespace HeaderRule
