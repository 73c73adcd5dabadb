#pragma once

#include "widgets/vexoanalogclock.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <QtMath>

#include <cmath>

// Where points of the analog clock's 200 x 200 face land in pixels, and how the colours found
// there are compared and shown.
struct Face
{
    QPointF centre;
    double scale;

    // The face of a clock on a window, in the window's pixels.
    static Face of(const VexoAnalogClock *clock, const QWidget *window)
    {
        const QPoint origin = clock->mapTo(window, QPoint(0, 0));
        return { QPointF(origin.x() + clock->width() / 2, origin.y() + clock->height() / 2),
                 qMin(clock->width(), clock->height()) / 200.0 };
    }

    // A point given in the face's own frame (12 o'clock up, y down), turned clockwise.
    QPointF map(QPointF local, double turnDegrees = 0.0) const
    {
        const double a = qDegreesToRadians(turnDegrees);
        const QPointF turned(local.x() * std::cos(a) - local.y() * std::sin(a),
                             local.x() * std::sin(a) + local.y() * std::cos(a));
        return centre + turned * scale;
    }
    // A point at a radius, clockwise from 12 o'clock.
    QPointF at(double radius, double degrees) const { return map(QPointF(0, -radius), degrees); }
    // The pixel that holds that point.
    QPoint pixelAt(double radius, double degrees) const
    {
        const QPointF p = at(radius, degrees);
        return QPoint(qFloor(p.x()), qFloor(p.y()));
    }
};

// The colour of the pixel that holds `p`.
inline QColor pixel(const QImage &image, QPointF p)
{
    return image.pixelColor(qFloor(p.x()), qFloor(p.y()));
}

inline bool near(const QColor &a, const QColor &b, int tolerance = 40)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

inline QString describe(const QColor &c)
{
    return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}
