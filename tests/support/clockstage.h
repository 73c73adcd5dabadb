#pragma once

#include "fixedclock.h"
#include "paintcounter.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QRegion>
#include <QWidget>
#include <QtTest>

// A clock widget filling a plain backdrop, reading a clock the test sets. The clocks paint no
// background, so whatever they leave out shows the backdrop's colour.
template<class Clock> struct ClockStage
{
    FixedClock time;
    QWidget backdrop;
    Clock *clock;

    ClockStage(QSize size, const QColor &backdropColour)
    {
        backdrop.resize(size);
        QPalette palette = backdrop.palette();
        palette.setColor(QPalette::Window, backdropColour);
        backdrop.setPalette(palette);
        backdrop.setAutoFillBackground(true);
        clock = new Clock(&backdrop);
        clock->setGeometry(QRect(QPoint(0, 0), size));
        clock->setClockSource(&time);
    }

    QImage picture() { return backdrop.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Every pixel that differs between the two pictures lies in the repainted region, and the
    // old picture with only that region painted afresh is the new one.
    void checkRepaintCovers(const QImage &before, const QImage &after, const QRegion &painted)
    {
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x)
                if (before.pixel(x, y) != after.pixel(x, y))
                    QVERIFY2(painted.contains(QPoint(x, y)),
                             qPrintable(QStringLiteral("%1, %2").arg(x).arg(y)));
        QImage stepped = before;
        backdrop.render(&stepped, painted.boundingRect().topLeft(), painted);
        QCOMPARE(stepped, after);
    }
};

// A clock in a window of its own that has taken one reading, counting the paints it receives.
template<class Clock> struct StandaloneClock
{
    explicit StandaloneClock(const QDateTime &moment)
        : time(moment)
    {
        clock.setClockSource(&time);
        clock.checkTime();
    }

    FixedClock time;
    Clock clock;
    PaintCounter counter { &clock };
};
