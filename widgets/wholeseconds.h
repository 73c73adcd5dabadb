#pragma once

#include <QtGlobal>

// A time in milliseconds since the epoch as whole seconds and the milliseconds into the second,
// counted so that times before 1970 step like any other: -1 ms lies in second -1, 999 ms into
// it. C++ division truncates towards zero, which would put it in second 0.
namespace WholeSeconds {

constexpr qint64 secondOf(qint64 ms)
{
    const qint64 second = ms / 1000;
    return ms % 1000 < 0 ? second - 1 : second;
}

constexpr qint64 intoSecond(qint64 ms)
{
    const qint64 rest = ms % 1000;
    return rest < 0 ? rest + 1000 : rest;
}

} // namespace WholeSeconds
