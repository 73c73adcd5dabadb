#pragma once

#include "widgets/vexoppmmeter.h"

#include <QColor>
#include <QString>

#include <algorithm>

// What a pixel of the panel is, read back from a picture or from the window's own pixels.

// Printed ink: dark and neutral, possibly partly covering its pixel.
inline bool isInk(QRgb c)
{
    return std::max({ qRed(c), qGreen(c), qBlue(c) }) < 80;
}

inline bool isRed(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80;
}

// Bare brushed metal: light and nearly neutral.
inline bool isGround(QRgb c)
{
    const int low = std::min({ qRed(c), qGreen(c), qBlue(c) });
    const int high = std::max({ qRed(c), qGreen(c), qBlue(c) });
    return low > 165 && high - low < 16;
}

inline QString describe(QRgb c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

// The row where a real meter of this height shows `db` at the top of its bar: the marks are
// checked against the meter itself, not against a second copy of its scale law.
inline int barTopRow(int top, int height, double db)
{
    VexoPPMMeter meter;
    meter.resize(8, height);
    meter.dBPosition = db;
    meter.CalculateMeter();
    return top + height - meter.barHeight();
}
