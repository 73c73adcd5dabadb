#include "vexoanalogclock.h"

#include "clocksource.h"

#include <QPainter>
#include <QTimer>

VexoAnalogClock::VexoAnalogClock(QWidget *parent)
    : QWidget(parent)
    , HourLines(false)
    , HourLinesLength(8)
    , HourLinesWidth(2)
    , HourLinesColor(QColor(0, 0, 0, 255))
    , MinuteLines(false)
    , MinuteLinesLength(4)
    , MinuteLinesWidth(1)
    , MinuteLinesColor(QColor(61, 61, 61, 191))
    , SecondDots(true)
    , SecondDotsCountDown(false)
    , DotSize(1)
    , DotColor(QColor(0, 0, 0, 255))
    , Hands(true)
    , HourHandColor(QColor(0, 0, 0, 255))
    , HourHandBorder(12)
    , HourHandLength(12)
    , HourHandWidth(12)
    , MinuteHandColor(QColor(61, 61, 61, 191))
    , MinuteHandBorder(4)
    , MinuteHandLength(8)
    , MinuteHandWidth(8)
    , hour(0)
    , minute(0)
    , second(0)
    , EndTime(false)
    , EndTimeLength(8)
    , EndTimeWidth(2)
    , EndTimeHour(0)
    , EndTimeMinute(0)
    , EndTimeSecond(0)
    , EndTimeColor(QColor(255, 0, 0, 255))
    , CountDownTime(0.0f)
    , CountDownWidth(2)
    , CountDownSpacing(1)
    , CountDownColor(QColor(255, 0, 255, 255))
    , timer(new QTimer(this))
    , clock(nullptr)
{
    setWindowTitle(tr("Analog Clock"));
    resize(200, 200);
    connect(timer, &QTimer::timeout, this, &VexoAnalogClock::checkTime);
    timer->start(100);
}

VexoAnalogClock::~VexoAnalogClock() = default;

void VexoAnalogClock::setClockSource(const ClockSource *source)
{
    clock = source;
}

void VexoAnalogClock::setHourLines(bool value)
{
    if (value != HourLines) {
        HourLines = value;
        update();
    }
}

void VexoAnalogClock::setHourLinesLength(int value)
{
    if (value != HourLinesLength) {
        HourLinesLength = value;
        update();
    }
}

void VexoAnalogClock::setHourLinesWidth(int value)
{
    if (value != HourLinesWidth) {
        HourLinesWidth = value;
        update();
    }
}

void VexoAnalogClock::setHourLinesColor(QColor value)
{
    if (value != HourLinesColor) {
        HourLinesColor = value;
        update();
    }
}

void VexoAnalogClock::setMinuteLines(bool value)
{
    if (value != MinuteLines) {
        MinuteLines = value;
        update();
    }
}

void VexoAnalogClock::setMinuteLinesLength(int value)
{
    if (value != MinuteLinesLength) {
        MinuteLinesLength = value;
        update();
    }
}

void VexoAnalogClock::setMinuteLinesWidth(int value)
{
    if (value != MinuteLinesWidth) {
        MinuteLinesWidth = value;
        update();
    }
}

void VexoAnalogClock::setMinuteLinesColor(QColor value)
{
    if (value != MinuteLinesColor) {
        MinuteLinesColor = value;
        update();
    }
}

void VexoAnalogClock::setSecondDots(bool value)
{
    if (value != SecondDots) {
        SecondDots = value;
        update();
    }
}

void VexoAnalogClock::setSecondDotsCountDown(bool value)
{
    if (value != SecondDotsCountDown) {
        SecondDotsCountDown = value;
        update();
    }
}

void VexoAnalogClock::setDotSize(int value)
{
    if (value != DotSize) {
        DotSize = value;
        update();
    }
}

void VexoAnalogClock::setDotColor(QColor value)
{
    if (value != DotColor) {
        DotColor = value;
        update();
    }
}

void VexoAnalogClock::setHands(bool value)
{
    if (value != Hands) {
        Hands = value;
        update();
    }
}

void VexoAnalogClock::setHourHandColor(QColor value)
{
    if (value != HourHandColor) {
        HourHandColor = value;
        update();
    }
}

void VexoAnalogClock::setHourHandBorder(int value)
{
    if (value != HourHandBorder) {
        HourHandBorder = value;
        update();
    }
}

void VexoAnalogClock::setHourHandLength(int value)
{
    if (value != HourHandLength) {
        HourHandLength = value;
        update();
    }
}

void VexoAnalogClock::setHourHandWidth(int value)
{
    if (value != HourHandWidth) {
        HourHandWidth = value;
        update();
    }
}

void VexoAnalogClock::setMinuteHandColor(QColor value)
{
    if (value != MinuteHandColor) {
        MinuteHandColor = value;
        update();
    }
}

void VexoAnalogClock::setMinuteHandBorder(int value)
{
    if (value != MinuteHandBorder) {
        MinuteHandBorder = value;
        update();
    }
}

void VexoAnalogClock::setMinuteHandLength(int value)
{
    if (value != MinuteHandLength) {
        MinuteHandLength = value;
        update();
    }
}

void VexoAnalogClock::setMinuteHandWidth(int value)
{
    if (value != MinuteHandWidth) {
        MinuteHandWidth = value;
        update();
    }
}

void VexoAnalogClock::setEndTime(bool value)
{
    if (value != EndTime) {
        EndTime = value;
        update();
    }
}

void VexoAnalogClock::setEndTimeLength(int value)
{
    if (value != EndTimeLength) {
        EndTimeLength = value;
        update();
    }
}

void VexoAnalogClock::setEndTimeWidth(int value)
{
    if (value != EndTimeWidth) {
        EndTimeWidth = value;
        update();
    }
}

void VexoAnalogClock::setEndTimeHour(int value)
{
    if (value != EndTimeHour) {
        EndTimeHour = value;
        update();
    }
}

void VexoAnalogClock::setEndTimeMinute(int value)
{
    if (value != EndTimeMinute) {
        EndTimeMinute = value;
        update();
    }
}

void VexoAnalogClock::setEndTimeSecond(int value)
{
    if (value != EndTimeSecond) {
        EndTimeSecond = value;
        update();
    }
}

void VexoAnalogClock::setEndTimeColor(QColor value)
{
    if (value != EndTimeColor) {
        EndTimeColor = value;
        update();
    }
}

void VexoAnalogClock::setCountDownTime(float value)
{
    if (value != CountDownTime) {
        CountDownTime = value;
        update();
    }
}

void VexoAnalogClock::setCountDownWidth(int value)
{
    if (value != CountDownWidth) {
        CountDownWidth = value;
        update();
    }
}

void VexoAnalogClock::setCountDownSpacing(int value)
{
    if (value != CountDownSpacing) {
        CountDownSpacing = value;
        update();
    }
}

void VexoAnalogClock::setCountDownColor(QColor value)
{
    if (value != CountDownColor) {
        CountDownColor = value;
        update();
    }
}

void VexoAnalogClock::checkTime()
{
    const QTime now = currentTime(clock);
    if (now.second() == second)
        return;
    hour = now.hour();
    minute = now.minute();
    second = now.second();
    update();
}

void VexoAnalogClock::paintEvent(QPaintEvent *)
{
}
