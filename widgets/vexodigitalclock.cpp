#include "vexodigitalclock.h"

#include "clocksource.h"

#include <QDateTime>
#include <QLocale>
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
    // One reading for both lines, so that at midnight the date turns with the time.
    const QDateTime now = currentDateTime(clock);
    const QLocale locale;
    TimeText = locale.toString(now.time(), QStringLiteral("hh:mm:ss"));
    DateText = locale.toString(now.date(), QStringLiteral("ddd d MMM yyyy"));

    const int seconds = now.time().second();
    if (seconds == LastSecond)
        return;
    LastSecond = seconds;
    update();
}

namespace {

// QPainter::setFont fills in what a font leaves unset (a font made from a family and a size
// leaves the weight unset) from the widget's own font: a bold widget font would turn the lines
// bold. Marked as set throughout, a display font draws as it stands.
QFont complete(QFont font)
{
    font.resolve(QFont::AllPropertiesResolved);
    return font;
}

} // namespace

void VexoDigitalClock::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);

    const int w = width();
    const int half = height() / 2;
    int y = 0;

    if (TimeDisplay) {
        painter.setPen(TimeDisplayFontColor);
        painter.setFont(complete(TimeDisplayFont));
        painter.drawText(QRect(0, 0, w, half), Qt::AlignCenter, TimeText);
        // The date box starts one time-font line down, not at the middle; with a tall time font
        // it reaches past the bottom edge, and the centred date sits lower than half-way.
        y = painter.fontMetrics().height();
    }

    if (DateDisplay) {
        painter.setPen(DateDisplayFontColor);
        painter.setFont(complete(DateDisplayFont));
        painter.drawText(QRect(0, y, w, half), Qt::AlignCenter, DateText);
    }
}
