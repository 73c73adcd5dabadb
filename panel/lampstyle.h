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

const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);

// What a lamp or a legend on the dial tells. Each has a look of its own, so that a colour seen
// across the room means one thing: green is trust, red is "act now" (on air, a programme that
// is lost, over or silent, a time that has run out), and the cautions each have their own
// colour instead of sharing one amber.
enum class State {
    Live,
    // Live, from the backup server.
    LiveBackup,
    NoInput,
    NoData,
    // No data, and no word from the server either.
    NoServer,
    NoLink,
    Silence,
    Over,
    Synced,
    NotSynced,
    EndNear,
    EndClose,
    Overrun,
    CountDown,
    TimeUp,
    OnAir,
};

struct Look
{
    // The lamp's face when lit; transparent for words that stand on the dial itself.
    QColor lit;
    QColor text;
    // Lit for half of every second, dark for the other half.
    bool flashes;
    // Kept at full brightness when the panel is dimmed for the night.
    bool alarm;
};

Look look(State state);

// An unlit lamp: dark, its words still readable but plainly off.
const QColor UnlitFace(30, 30, 30);
const QColor UnlitText(130, 130, 130);
// An unlit lamp's words at `brightness` of their light, never so dim that they are no longer
// read (3:1 on the lamp's face).
QColor unlitText(double brightness);

// The contrast ratio of two colours as WCAG defines it, 1 to 21.
double contrast(const QColor &a, const QColor &b);

// `colour` at `brightness` (0 to 1) of itself: the panel by night.
QColor dimmed(const QColor &colour, double brightness);

// A lamp lit or dark in the look of `state`.
void show(VexoLamp *lamp, State state);

// A size in design pixels on a window laid out with `fit`, to the nearest pixel: a legend's
// size, unlike a widget's rectangle, rounds, so that it stays as large as the design meant.
int scaled(int designPixels, const DesignLayout::Fit &fit);

// The lamps' typeface at `pixelSize`, or at a design size scaled for `fit`.
QFont font(int pixelSize);
QFont font(int designPixelSize, const DesignLayout::Fit &fit);

// A lamp on `parent`, unlit in the panel's look, named so that tests and the installer's tools
// find it.
VexoLamp *makeLamp(QWidget *parent, const QString &name);
// A lamp that only informs, lying over something the operator uses: lit, and a click goes to
// the window beneath.
VexoLamp *makeLegend(QWidget *parent, const QString &name);
void setColours(VexoLamp *lamp, const QColor &lit, const QColor &text);

// "0:10", "3:25", "1:03:25"; under an hour the minutes take at least `minuteDigits` digits
// ("03:25" for 2). Below 0 counts as 0.
QString minutesAndSeconds(qint64 seconds, int minuteDigits = 1);

// The one way the clock's legends count: "00:10", "02:37", "1:02:37".
QString clockCount(qint64 seconds);

} // namespace LampStyle
