#pragma once

#include "dialogs/displaysettings.h"

#include <QTime>

// When the panel is dimmed for the night: from the start time up to, not including, the end
// time, across midnight when the end comes before the start. Equal times dim never.
namespace NightDimming {

// The part of its light the panel shows at `now`: 1 outside the dimmed hours (or with dimming
// off), the chosen part inside them.
double brightnessAt(const DisplaySettings &settings, const QTime &now);

} // namespace NightDimming
