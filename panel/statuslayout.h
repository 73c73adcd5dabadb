#pragma once

#include <QRect>

#include <array>

// Where the panel's status lamps stand in the 986 x 580 design. The picture generator lets a
// recess into the panel around each of them, so lamp and picture must agree.
namespace StatusLayout {

// The link lamp, centred in the header band over the clock.
constexpr QRect LinkLamp(463, 31, 180, 19);

// Per stereo pair (programme, sub, control room), under its caption: the over lamp and the
// silence lamp below it, and the legend laid across the pair's meters while the link is down.
constexpr std::array<QRect, 3> OverLamps = {{
    QRect(44, 538, 121, 15),
    QRect(194, 538, 131, 15),
    QRect(816, 538, 129, 15),
}};
constexpr std::array<QRect, 3> SilenceLamps = {{
    QRect(44, 557, 121, 15),
    QRect(194, 557, 131, 15),
    QRect(816, 557, 129, 15),
}};
constexpr std::array<QRect, 3> LinkMarks = {{
    QRect(44, 262, 121, 30),
    QRect(200, 262, 121, 30),
    QRect(826, 326, 107, 30),
}};

// Legend sizes in design pixels.
constexpr int LinkLampPixelSize = 12;
constexpr int PairLampPixelSize = 10;
constexpr int LinkMarkPixelSize = 14;
// The peak mark's thickness on the meters.
constexpr int PeakMarkRows = 2;

} // namespace StatusLayout
