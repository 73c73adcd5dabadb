#include "panel/nightdimming.h"

namespace NightDimming {

double brightnessAt(const DisplaySettings &s, const QTime &now)
{
    if (!s.dimAtNight || !now.isValid() || s.dimFrom == s.dimUntil)
        return 1.0;
    // Whole minutes count: the settings keep hours and minutes.
    const QTime t(now.hour(), now.minute());
    const bool dim = s.dimFrom < s.dimUntil ? t >= s.dimFrom && t < s.dimUntil
                                            : t >= s.dimFrom || t < s.dimUntil;
    return dim ? s.dimBrightnessPercent / 100.0 : 1.0;
}

} // namespace NightDimming
