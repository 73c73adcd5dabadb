#pragma once

#include <QPoint>
#include <QRect>
#include <QVector>

// Which screen a window is on, told apart by horizontal position only: the first screen, in
// index order, whose available area ends right of the window's left edge. A maximised window's
// frame starts a few pixels left of its screen, so its edge counts 8 pixels further right.
// Returns the number of screens when none answers.
int screenNumberFor(const QVector<QRect> &availableAreas, QPoint windowPos, bool maximised);
