#pragma once

#include <QColor>
#include <QString>

// The few colours and the typeface that every picture shares.
namespace Palette {

const QString FontFamily = QStringLiteral("DejaVu Sans");

const QColor Ink(27, 29, 32); // printed ticks and numbers
const QColor Overload(206, 32, 40); // the red zone above 0 dB and its number
const QColor Shadow(0, 0, 0, 90); // drop shadow under raised marks
const QColor TextShadow(0, 0, 0, 120); // shadow under white text on the bands
const QColor Highlight(255, 255, 255, 150);
const QColor SlotFace(22, 24, 27); // recess around a meter
const QColor DialLip(34, 36, 39); // the edge of a window let into the clock's dial
const QColor DarkGlass(24, 6, 6); // an unlit red lamp's glass

// The clocks', the meters' and the captions' colours by day; the night dims them.
const QColor HourTicks(0, 255, 0);
const QColor MinuteTicks(0, 170, 0);
const QColor SecondDots(255, 255, 255);
// Light hands with a dark outline stand out on the black dial and against the ticks.
const QColor HourHand(255, 140, 120);
const QColor MinuteHand(140, 190, 255);
const QColor HandOutline(0, 0, 0);
const QColor ClockFigures(255, 255, 255);
const QColor MeterOver(255, 0, 0);
const QColor MeterUnder(0, 255, 0);
const QColor MeterOverGround(64, 0, 0);
const QColor MeterUnderGround(0, 64, 0);
const QColor PeakMark(255, 255, 255);
const QColor CaptionText(255, 255, 255);

} // namespace Palette
