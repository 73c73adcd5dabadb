#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QWidget;
class VexoLamp;
namespace DesignLayout {
struct Fit;
}

// What the panel's lamps share: their colours, their typeface at the window's size, how one is
// made, and the way they count a time that runs on across a room ("0:10", "3:25", "1:03:25").
namespace LampStyle {

// A colour a state: lamps that tell the same kind of news light alike.
const QColor Green(0, 196, 64); // live, synchronised
const QColor Amber(255, 170, 0); // no data, not synchronised, the end time near
const QColor Orange(255, 150, 0); // silence
const QColor Red(235, 22, 22); // over, the end time close, time up
const QColor DarkRed(222, 28, 28); // no link
const QColor Magenta(255, 0, 255); // counting down
const QColor Blue(20, 110, 230); // live from the backup server
const QColor Purple(130, 40, 170); // no server heard
const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);

// A size in design pixels on a window laid out with `fit`, to the nearest pixel: a legend's
// size, unlike a widget's rectangle, rounds, so that it stays as large as the design meant.
int scaled(int designPixels, const DesignLayout::Fit &fit);

// The lamps' typeface at `pixelSize`, or at a design size scaled for `fit`.
QFont font(int pixelSize);
QFont font(int designPixelSize, const DesignLayout::Fit &fit);

// A lamp on `parent`, named so that tests and the installer's tools find it.
VexoLamp *makeLamp(QWidget *parent, const QString &name);
// A lamp that only informs, lying over something the operator uses: lit, and a click goes to
// the window beneath.
VexoLamp *makeLegend(QWidget *parent, const QString &name);
void setColours(VexoLamp *lamp, const QColor &lit, const QColor &text);

// "0:10", "3:25", "1:03:25"; under an hour the minutes take at least `minuteDigits` digits
// ("03:25" for 2). Below 0 counts as 0.
QString minutesAndSeconds(qint64 seconds, int minuteDigits = 1);

} // namespace LampStyle
