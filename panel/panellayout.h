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
// Short of the captions' rectangles, so that the pairs' lamps below have room for words read
// across the room.
constexpr int FooterBottom = 530;

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
// The maker's line is read at the desk, not across the room.
constexpr int FooterPointSize = 8;
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

// The header lamp, centred in the header band over the clock: the worst state on the panel.
constexpr QRect LinkLamp = centredOnDial(28, 300, 25);

// Per stereo pair (programme, sub, control room), under its caption: the over lamp and the
// silence lamp below it, as wide as the pair's room, and the legend laid across the pair's
// meters while the link is down.
constexpr std::array<QRect, 3> OverLamps = { {
    QRect(30, 532, 150, 20),
    QRect(185, 532, 150, 20),
    QRect(799, 532, 162, 20),
} };
constexpr std::array<QRect, 3> SilenceLamps = { {
    QRect(30, 553, 150, 20),
    QRect(185, 553, 150, 20),
    QRect(799, 553, 162, 20),
} };
constexpr std::array<QRect, 3> LinkMarks = { {
    QRect(40, 262, 129, 30),
    QRect(196, 262, 129, 30),
    QRect(816, 326, 128, 30),
} };

// On the dial, all within the ring the hands sweep, so that nothing there ever hides a hand
// or is hidden by one: the ON AIR lamp at the top, where a studio looks first, the sync lamp
// above the time, and in the date's place the count-down or the end time in figures half as
// tall as the time's; when both run, the end time in the row below.
constexpr QRect OnAirLamp = centredOnDial(160, 150, 44);
constexpr QRect SyncLamp = centredOnDial(228, 140, 20);
constexpr QRect DialRow = centredOnDial(324, 300, 48);
constexpr QRect DialLowerRow = centredOnDial(376, 220, 28);

// In the header band, between the product name and the header lamp, so that the reason why
// the display cannot do what it was set to do stands beside the state it explains.
constexpr QRect ProblemRect(200, 28, 196, 25);

// Legend sizes in design pixels. The alarms' capitals stand as tall as the captions', so that
// they are read as far away.
constexpr int LinkLampPixelSize = 22;
constexpr int PairLampPixelSize = 22;
constexpr int NotWatchedPixelSize = 16;
constexpr int LinkMarkPixelSize = 18;
constexpr int OnAirPixelSize = 28;
constexpr int SyncLampPixelSize = 13;
constexpr int DialRowPixelSize = 36;
constexpr int DialRowLabelPixelSize = 14;
constexpr int DialLowerRowPixelSize = 22;
constexpr int DialLowerRowLabelPixelSize = 11;
constexpr int ProblemPixelSize = 10;
// The peak mark's thickness on the meters.
constexpr int PeakMarkRows = 2;

} // namespace StatusLayout
