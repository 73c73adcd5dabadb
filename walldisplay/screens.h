#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

// Which screen a window is on, told apart by horizontal position only: the first screen, in
// index order, whose available area ends right of the window's left edge. A maximised window's
// frame starts a few pixels left of its screen, so its edge counts 8 pixels further right.
// Right of every screen, it is on the screen that reaches furthest right.
int screenNumberFor(const QVector<QRect> &availableAreas, QPoint windowPos, bool maximised);

// Where a window opens. `availableAreas` are the screens' available areas in the toolkit's
// order; `storedScreen` and `storedGeometry` what the settings hold (an empty rectangle when
// no geometry was stored or it could not be read); `requestedScreen` a screen that the
// command line asked for, or -1.
//
// A stored geometry is kept when its screen still exists, its centre lies on a screen (the
// requested one, when a screen was requested), and it fits that screen's available area, or
// the design size where that is larger: the window is never smaller. Otherwise the window
// goes to the requested screen, or else the primary one, centred at `designSize` (at the
// area's top-left corner where the area is smaller). With no stored geometry but a screen
// that exists (as an empty store reads), the window is kept at that screen's corner.
struct WindowPlacement
{
    // The screen the window belongs on: the one full screen fills.
    int screen = 0;
    // Where to put the window (without its frame); empty: it stays as it was restored.
    QRect geometry;
};

WindowPlacement placeWindow(const QVector<QRect> &availableAreas, int primary, int storedScreen,
                            const QRect &storedGeometry, QSize designSize,
                            int requestedScreen = -1);

// The window's normal geometry in a block of QWidget::saveGeometry(), as it was saved, before
// restoring adjusts it to the screens of today; an empty rectangle for a block it cannot read.
QRect storedNormalGeometry(const QByteArray &block);
