#include "vexodigitalclock.h"

#include "clocksource.h"

#include <QPainter>
#include <QTimer>

VexoDigitalClock::VexoDigitalClock(QWidget *parent)
    : QWidget(parent)
    , TimeDisplay(true)
    , DateDisplay(true)
    , LastSecond(0)
    , timer(new QTimer(this))
    , clock(nullptr)
{
    connect(timer, &QTimer::timeout, this, &VexoDigitalClock::checkTime);
    timer->start(100);
    setWindowTitle(tr("Digital Clock"));
    resize(100, 30);
}

VexoDigitalClock::~VexoDigitalClock() = default;

void VexoDigitalClock::setClockSource(const ClockSource *source)
{
    clock = source;
}

void VexoDigitalClock::setTimeDisplay(bool value)
{
    if (value != TimeDisplay) {
        TimeDisplay = value;
        update();
    }
}

void VexoDigitalClock::setTimeDisplayFont(QFont value)
{
    if (value != TimeDisplayFont) {
        TimeDisplayFont = value;
        update();
    }
}

void VexoDigitalClock::setTimeDisplayFontColor(QColor value)
{
    if (value != TimeDisplayFontColor) {
        TimeDisplayFontColor = value;
        update();
    }
}

void VexoDigitalClock::setDateDisplay(bool value)
{
    if (value != DateDisplay) {
        DateDisplay = value;
        update();
    }
}

void VexoDigitalClock::setDateDisplayFont(QFont value)
{
    if (value != DateDisplayFont) {
        DateDisplayFont = value;
        update();
    }
}

void VexoDigitalClock::setDateDisplayFontColor(QColor value)
{
    if (value != DateDisplayFontColor) {
        DateDisplayFontColor = value;
        update();
    }
}

void VexoDigitalClock::checkTime()
{
}

void VexoDigitalClock::paintEvent(QPaintEvent *)
{
}
