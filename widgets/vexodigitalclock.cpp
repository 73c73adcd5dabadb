#include "widgets/vexodigitalclock.h"

#include "widgets/assignandrepaint.h"
#include "widgets/clocksource.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QTimer>

VexoDigitalClock::VexoDigitalClock(QWidget *parent)
    : QWidget(parent)
    , TimeDisplay(true)
    , DateDisplay(true)
    , LastSecond(0)
    , Driven(false)
    , timer(new QTimer(this))
    , clock(nullptr)
{
    connect(timer, &QTimer::timeout, this, &VexoDigitalClock::checkTime);
    timer->start(ClockPollMs);
    setWindowTitle(tr("Digital Clock"));
    resize(100, 30);
}

VexoDigitalClock::~VexoDigitalClock() = default;

void VexoDigitalClock::setClockSource(const ClockSource *source)
{
    clock = source;
}

void VexoDigitalClock::setDriven(bool value)
{
    setClockDriven(this, timer, Driven, value);
}

void VexoDigitalClock::setTimeDisplay(bool value)
{
    assignAndRepaint(this, TimeDisplay, value);
}

void VexoDigitalClock::setTimeDisplayFont(QFont value)
{
    assignAndRepaint(this, TimeDisplayFont, value);
}

void VexoDigitalClock::setTimeDisplayFontColor(QColor value)
{
    assignAndRepaint(this, TimeDisplayFontColor, value);
}

void VexoDigitalClock::setDateDisplay(bool value)
{
    assignAndRepaint(this, DateDisplay, value);
}

void VexoDigitalClock::setDateDisplayFont(QFont value)
{
    assignAndRepaint(this, DateDisplayFont, value);
}

void VexoDigitalClock::setDateDisplayFontColor(QColor value)
{
    assignAndRepaint(this, DateDisplayFontColor, value);
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

void VexoDigitalClock::checkTime()
{
    // One reading for both lines, so that at midnight the date turns with the time.
    const QDateTime now = currentDateTime(clock);
    const QLocale locale;
    const QString shownTime = TimeText;
    const QString shownDate = DateText;
    TimeText = locale.toString(now.time(), QStringLiteral("hh:mm:ss"));
    DateText = locale.toString(now.date(), QStringLiteral("ddd d MMM yyyy"));

    const int seconds = now.time().second();
    if (seconds == LastSecond)
        return;
    LastSecond = seconds;
    if (DateText != shownDate || !TimeDisplay) {
        update();
        return;
    }
    // Only the time's ink changes: repaint where the old and the new text lie, with a margin
    // for glyphs that reach past their advance. The clock stands over the analog clock's face,
    // which then repaints a small patch instead of a band across the whole dial.
    const QFontMetrics metrics(complete(TimeDisplayFont), this);
    const QRect box(0, 0, width(), height() / 2);
    const int margin = 2 + metrics.height() / 4;
    QRect ink = metrics.boundingRect(box, Qt::AlignCenter, TimeText)
        | metrics.boundingRect(box, Qt::AlignCenter, shownTime);
    // Most seconds change only the last digit or two. Where both texts are equally wide (the
    // digits of a font are), the centred text does not move, and the characters before the
    // first that differs stand where they stood: only the rest is repainted, a quarter of the
    // band or less, which a wall display pays for in pixels sent to the screen every second.
    if (shownTime.size() == TimeText.size()
        && metrics.horizontalAdvance(shownTime) == metrics.horizontalAdvance(TimeText)) {
        int same = 0;
        while (same < TimeText.size() && TimeText.at(same) == shownTime.at(same))
            ++same;
        if (same > 0 && same < TimeText.size())
            ink.setLeft(ink.left() + metrics.horizontalAdvance(TimeText.left(same)));
    }
    update(ink.adjusted(-margin, -margin, margin, margin));
}

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
