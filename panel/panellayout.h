#pragma once

#include <QRect>

#include <array>

// The one layout of the 986 x 580 panel. PictureLayout: where the widgets and the printed
// elements of the design picture lie; the window places its widgets from these numbers, the
// picture generator draws from them and the picture test reads the generated files back with
// them, so all agree on where a meter, a tick, the clock disc or a band has to be.
// forms/mainwindow.ui carries the same rectangles only so that the form looks right in Designer.
// StatusLayout: where the status lamps stand; the picture lets a recess into the panel around
// some of them, so lamp and picture must agree.
namespace PictureLayout {

constexpr int PanelWidth = 986;
constexpr int PanelHeight = 580;
constexpr int MarginTextureWidth = 1024;
constexpr int MarginTextureHeight = 580;
constexpr int SettingsSymbolSize = 256;
constexpr std::array<int, 6> IconSizes = { 16, 32, 48, 64, 128, 256 };

// The meters' own scale: -50 dB at the bottom edge, +5 dB at the top, on the power-law curve.
constexpr double ScaleMinDb = -50.0;
constexpr double ScaleMaxDb = 5.0;
constexpr bool ScaleDinCurve = true;

// Printed marks, top to bottom. Below 0 the numbers are attenuations and print without sign.
constexpr std::array<double, 11> ScaleMarks = { 5, 0, -3, -6, -10, -15, -20, -25, -30, -40, -50 };

// A tick is two pixel rows thick, centred on the edge where a bar at that level ends: the
// bar's top row and the row above it.
constexpr int TickThickness = 2;

// One meter and the column of ticks printed for it, on the side that faces its partner.
struct MeterScale
{
    const char *name;
    int x, y, width, height; // the meter widget's design rectangle
    int tickLeft, tickRight; // inclusive columns of the meter's ticks
    int redLeft, redRight; // inclusive columns of the red zone between 5 and 0

    constexpr QRect meterRect() const { return QRect(x, y, width, height); }
};

// A stereo pair: the numbers stand between its two tick columns.
struct ScalePair
{
    MeterScale left;
    MeterScale right;
    int numberPixelSize;

    constexpr int numberCentreX2() const { return left.tickRight + 1 + right.tickLeft; }
};

// Ticks keep this many columns off the meter, so that the recessed slot around the meter
// stays clear of them.
constexpr int TickGap = 6;
constexpr int RedZoneWidth = 4;

constexpr MeterScale leftMeter(const char *name, int x, int y, int w, int h, int tickLength)
{
    return MeterScale { name,
                        x,
                        y,
                        w,
                        h,
                        x + w + TickGap,
                        x + w + TickGap + tickLength - 1,
                        x + w + TickGap,
                        x + w + TickGap + RedZoneWidth - 1 };
}

constexpr MeterScale rightMeter(const char *name, int x, int y, int w, int h, int tickLength)
{
    return MeterScale { name,
                        x,
                        y,
                        w,
                        h,
                        x - TickGap - tickLength,
                        x - TickGap - 1,
                        x - TickGap - RedZoneWidth,
                        x - TickGap - 1 };
}

constexpr int TallTick = 14;
constexpr int ShortTick = 9;

constexpr std::array<ScalePair, 3> ScalePairs = { {
    { leftMeter("ProgLeft", 54, 73, 12, 415, TallTick),
      rightMeter("ProgRight", 143, 73, 12, 415, TallTick), 13 },
    { leftMeter("SubLeft", 210, 73, 12, 415, TallTick),
      rightMeter("SubRight", 299, 73, 12, 415, TallTick), 13 },
    { leftMeter("CrmLeft", 844, 199, 8, 291, ShortTick),
      rightMeter("CrmRight", 907, 199, 8, 291, ShortTick), 11 },
} };

// The analog clock's square; the black disc fills it exactly.
constexpr QRect ClockRect(348, 85, 410, 410);
// The digital clock across the dial, between its centre and the lamps under the date.
constexpr QRect DigitalClockRect(ClockRect.x(), 260, ClockRect.width(), 111);
// Width of the metal bezel ring around the disc.
constexpr int BezelWidth = 6;

// Inclusive rows of the grey header band and of the dark footer band.
constexpr int HeaderTop = 27;
constexpr int HeaderBottom = 53;
constexpr int FooterTop = 506;
constexpr int FooterBottom = 532;

// The header keeps this square free for the settings button.
constexpr QRect SettingsButtonRect(900, 28, 25, 25);
// Where the footer line of text stands, in black on the panel itself.
constexpr QRect FooterTextRect(360, 550, 381, 21);
// In the footer band: the captions of the programme, sub and control-room pairs, and the time
// caption under the clock.
constexpr std::array<QRect, 3> CaptionRects = { {
    QRect(44, 502, 121, 31),
    QRect(194, 502, 131, 31),
    QRect(830, 502, 101, 31),
} };
constexpr QRect TimeCaptionRect(356, 502, 401, 31);

// The design's point sizes: the captions and the footer line, the digital clock's time and
// date.
constexpr int CaptionPointSize = 15;
constexpr int FooterPointSize = 11;
constexpr int TimePointSize = 40;
constexpr int DatePointSize = 24;
// The emblem above the control-room scale.
constexpr QRect EmblemRect(836, 66, 88, 118);

} // namespace PictureLayout

// Where the panel's status lamps stand in the design.
namespace StatusLayout {

// The clock's dial is centred on this column; the lamps that belong to the clock stand on it.
constexpr int DialCentreX = PictureLayout::ClockRect.x() + PictureLayout::ClockRect.width() / 2;

constexpr QRect centredOnDial(int y, int width, int height)
{
    return QRect(DialCentreX - width / 2, y, width, height);
}

// The link lamp, centred in the header band over the clock.
constexpr QRect LinkLamp = centredOnDial(31, 180, 19);

// Per stereo pair (programme, sub, control room), under its caption: the over lamp and the
// silence lamp below it, and the legend laid across the pair's meters while the link is down.
constexpr std::array<QRect, 3> OverLamps = { {
    QRect(44, 538, 121, 15),
    QRect(194, 538, 131, 15),
    QRect(816, 538, 129, 15),
} };
constexpr std::array<QRect, 3> SilenceLamps = { {
    QRect(44, 557, 121, 15),
    QRect(194, 557, 131, 15),
    QRect(816, 557, 129, 15),
} };
constexpr std::array<QRect, 3> LinkMarks = { {
    QRect(44, 262, 121, 30),
    QRect(200, 262, 121, 30),
    QRect(826, 326, 107, 30),
} };

// On the dial: the sync lamp above the time, and under the date one row for the time left to
// the end time and the count-down, side by side when both show. All stay within the ring the
// hands sweep, so that no lamp ever hides a hand.
constexpr QRect SyncLamp = centredOnDial(228, 130, 19);
constexpr int DialRowY = 375;
constexpr int DialRowHeight = 21;
constexpr int DialRowGap = 6;
constexpr int DialPairWidth = 74;
// One of the two alone, in the middle of the row.
constexpr QRect DialRowSingle = centredOnDial(DialRowY, 120, DialRowHeight);
// Both: the end time on the left, the count-down on the right.
constexpr QRect DialRowLeft(DialCentreX - DialRowGap / 2 - DialPairWidth, DialRowY, DialPairWidth,
                            DialRowHeight);
constexpr QRect DialRowRight(DialCentreX + DialRowGap / 2, DialRowY, DialPairWidth, DialRowHeight);

// In the header band, between the product name and the link lamp, so that the reason why the
// display cannot do what it was set to do stands beside the state it explains.
constexpr QRect ProblemRect(214, 28, 242, 25);

// Legend sizes in design pixels.
constexpr int LinkLampPixelSize = 12;
constexpr int PairLampPixelSize = 10;
constexpr int LinkMarkPixelSize = 14;
constexpr int SyncLampPixelSize = 12;
constexpr int DialRowPixelSize = 15;
constexpr int ProblemPixelSize = 11;
// The peak mark's thickness on the meters.
constexpr int PeakMarkRows = 2;

} // namespace StatusLayout
