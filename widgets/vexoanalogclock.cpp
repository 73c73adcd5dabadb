#include "widgets/vexoanalogclock.h"

#include "widgets/assignandrepaint.h"
#include "widgets/clocksource.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QTimer>
#include <QTransform>

#include <limits>

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
    , Driven(false)
    , HandOutlineColor()
    , timer(nullptr)
    , clock(nullptr)
{
    setWindowTitle(tr("Analog Clock"));
    resize(200, 200);
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &VexoAnalogClock::checkTime);
    timer->start(ClockPollMs);
}

VexoAnalogClock::~VexoAnalogClock() = default;

void VexoAnalogClock::setClockSource(const ClockSource *source)
{
    clock = source;
}

void VexoAnalogClock::setDriven(bool value)
{
    setClockDriven(this, timer, Driven, value);
}

void VexoAnalogClock::setHourLines(bool value)
{
    assignAndRepaint(this, HourLines, value);
}

void VexoAnalogClock::setHourLinesLength(int value)
{
    assignAndRepaint(this, HourLinesLength, value);
}

void VexoAnalogClock::setHourLinesWidth(int value)
{
    assignAndRepaint(this, HourLinesWidth, value);
}

void VexoAnalogClock::setHourLinesColor(QColor value)
{
    assignAndRepaint(this, HourLinesColor, value);
}

void VexoAnalogClock::setMinuteLines(bool value)
{
    assignAndRepaint(this, MinuteLines, value);
}

void VexoAnalogClock::setMinuteLinesLength(int value)
{
    assignAndRepaint(this, MinuteLinesLength, value);
}

void VexoAnalogClock::setMinuteLinesWidth(int value)
{
    assignAndRepaint(this, MinuteLinesWidth, value);
}

void VexoAnalogClock::setMinuteLinesColor(QColor value)
{
    assignAndRepaint(this, MinuteLinesColor, value);
}

void VexoAnalogClock::setSecondDots(bool value)
{
    assignAndRepaint(this, SecondDots, value);
}

void VexoAnalogClock::setSecondDotsCountDown(bool value)
{
    assignAndRepaint(this, SecondDotsCountDown, value);
}

void VexoAnalogClock::setDotSize(int value)
{
    assignAndRepaint(this, DotSize, value);
}

void VexoAnalogClock::setDotColor(QColor value)
{
    assignAndRepaint(this, DotColor, value);
}

void VexoAnalogClock::setHands(bool value)
{
    assignAndRepaint(this, Hands, value);
}

void VexoAnalogClock::setHourHandColor(QColor value)
{
    assignAndRepaint(this, HourHandColor, value);
}

void VexoAnalogClock::setHourHandBorder(int value)
{
    assignAndRepaint(this, HourHandBorder, value);
}

void VexoAnalogClock::setHourHandLength(int value)
{
    assignAndRepaint(this, HourHandLength, value);
}

void VexoAnalogClock::setHourHandWidth(int value)
{
    assignAndRepaint(this, HourHandWidth, value);
}

void VexoAnalogClock::setMinuteHandColor(QColor value)
{
    assignAndRepaint(this, MinuteHandColor, value);
}

void VexoAnalogClock::setMinuteHandBorder(int value)
{
    assignAndRepaint(this, MinuteHandBorder, value);
}

void VexoAnalogClock::setMinuteHandLength(int value)
{
    assignAndRepaint(this, MinuteHandLength, value);
}

void VexoAnalogClock::setMinuteHandWidth(int value)
{
    assignAndRepaint(this, MinuteHandWidth, value);
}

void VexoAnalogClock::setEndTime(bool value)
{
    assignAndRepaint(this, EndTime, value);
}

void VexoAnalogClock::setEndTimeLength(int value)
{
    assignAndRepaint(this, EndTimeLength, value);
}

void VexoAnalogClock::setEndTimeWidth(int value)
{
    assignAndRepaint(this, EndTimeWidth, value);
}

void VexoAnalogClock::setEndTimeHour(int value)
{
    assignAndRepaint(this, EndTimeHour, value);
}

void VexoAnalogClock::setEndTimeMinute(int value)
{
    assignAndRepaint(this, EndTimeMinute, value);
}

void VexoAnalogClock::setEndTimeSecond(int value)
{
    assignAndRepaint(this, EndTimeSecond, value);
}

void VexoAnalogClock::setEndTimeColor(QColor value)
{
    assignAndRepaint(this, EndTimeColor, value);
}

void VexoAnalogClock::setCountDownTime(float value)
{
    assignAndRepaint(this, CountDownTime, value);
}

void VexoAnalogClock::setCountDownWidth(int value)
{
    assignAndRepaint(this, CountDownWidth, value);
}

void VexoAnalogClock::setCountDownSpacing(int value)
{
    assignAndRepaint(this, CountDownSpacing, value);
}

void VexoAnalogClock::setCountDownColor(QColor value)
{
    assignAndRepaint(this, CountDownColor, value);
}

void VexoAnalogClock::setHandOutlineColor(QColor value)
{
    assignAndRepaint(this, HandOutlineColor, value);
}

void VexoAnalogClock::checkTime()
{
    const QTime now = currentTime(clock);
    if (now.second() == second)
        return;
    // Within one minute only a few second dots and the minute hand move: only their pixels are
    // repainted. A new minute, and an end-time arc, which counts the seconds, repaint the face.
    const bool sameMinute = now.hour() == hour && now.minute() == minute && !EndTime;
    const int previous = second;
    hour = now.hour();
    minute = now.minute();
    second = now.second();
    if (sameMinute)
        update(secondStepRegion(previous, second));
    else
        update();
}

namespace {

// Half of v to the nearest int, halves up: the halving in float like the rest of the face, the
// rounding term added in double, as the meter does it.
int half(int v)
{
    return static_cast<int>(static_cast<double>(static_cast<float>(v) * 0.5f) + 0.5);
}

// A NaN or out-of-range extent has no integer value; take the x86 conversion's answer (INT_MIN,
// a full clockwise turn once Qt clamps the sweep) instead of leaving it undefined.
int truncateToInt(float v)
{
    if (!(v > static_cast<float>(std::numeric_limits<int>::min())
          && v < static_cast<float>(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// A face coordinate worked out in 64 bits from int properties, limited to the int range that
// Qt's integer drawing takes: any property value gives a defined coordinate, and values that
// fit give what they always gave.
int faceCoordinate(qint64 v)
{
    return int(qBound(qint64(std::numeric_limits<int>::min()), v,
                      qint64(std::numeric_limits<int>::max())));
}

// The width of a hand's outline, in face units.
constexpr qreal HandOutlineWidth = 1.0;

QPen facePen(const QColor &color, int width)
{
    return QPen(QBrush(color, Qt::SolidPattern), width, Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

// A hand: its base across the radius 100 - border - length, its tip on 100 - border.
QPolygon handTriangle(int width, int border, int length)
{
    const int base = faceCoordinate(qint64(border) + length - 100);
    return QPolygon({ QPoint(half(width), base), QPoint(-half(width), base),
                      QPoint(0, faceCoordinate(qint64(border) - 100)) });
}

// The pixels a shape can touch: its logical bounds mapped to the device, widened for the
// antialiased edge.
QRect deviceBounds(const QTransform &transform, const QRectF &logical)
{
    QRectF mapped = transform.mapRect(logical);
    // Far beyond any widget's pixels and far inside the int range: a shape of any size keeps
    // the pixels it covers, and the widening cannot overflow.
    constexpr qreal Reach = 1 << 25;
    const auto inReach = [](qreal v) { return v >= -Reach && v <= Reach; };
    if (!(inReach(mapped.left()) && inReach(mapped.right()) && inReach(mapped.top())
          && inReach(mapped.bottom()))) {
        const auto limit = [](qreal v) { return v >= Reach ? Reach : v > -Reach ? v : -Reach; };
        mapped = QRectF(QPointF(limit(mapped.left()), limit(mapped.top())),
                        QPointF(limit(mapped.right()), limit(mapped.bottom())));
    }
    return mapped.toAlignedRect().adjusted(-2, -2, 2, 2);
}

// A second dot at 12 o'clock as drawn.
QRect dotRect(int size)
{
    const qint64 left = -qint64(half(size));
    const qint64 top = qint64(size) - 100;
    return QRect(QPoint(faceCoordinate(left), faceCoordinate(top)),
                 QPoint(faceCoordinate(left + size - 1), faceCoordinate(top + size - 1)));
}

// The dot with its outline, which the one-unit pen draws half outside. A negative size draws
// the dot on the other side of its corner: normalised first, the bounds hold it whatever the
// sign.
QRectF dotBounds(int size)
{
    return QRectF(-qreal(half(size)), qreal(size) - 100, size, size)
        .normalized()
        .adjusted(-1, -1, 1, 1);
}

// A tick at 12 o'clock from y1 to y2: the square caps reach half the pen width beyond both ends.
QRectF tickBounds(int y1, int y2, int width)
{
    const qreal w = width;
    return QRectF(-w, qMin(y1, y2) - w, 2 * w, qAbs(qreal(y2) - y1) + 2 * w);
}

} // namespace

QTransform VexoAnalogClock::faceTransform() const
{
    // Integer halves: an odd-sized widget keeps its centre on a pixel corner.
    QTransform face;
    face.translate(static_cast<qreal>(width() / 2), static_cast<qreal>(height() / 2));
    const int side = qMin(width(), height());
    face.scale(side / 200.0, side / 200.0);
    return face;
}

QRegion VexoAnalogClock::secondStepRegion(int from, int to) const
{
    const QTransform face = faceTransform();
    QRegion region;
    if (SecondDots) {
        // Dots are drawn up to the second, or in count-down mode from it on: those between
        // the two seconds change.
        const int first = qMax(qMin(from, to) + (SecondDotsCountDown ? 0 : 1), 0);
        const int last = qMin(qMax(from, to) - (SecondDotsCountDown ? 1 : 0), 59);
        for (int i = first; i <= last; ++i)
            region += deviceBounds(QTransform(face).rotate(6.0 * i), dotBounds(DotSize));
    }
    if (Hands) {
        // The outline reaches half its width beyond the triangle, and further at the tip.
        const qreal outline = HandOutlineColor.isValid() ? HandOutlineWidth : 0.0;
        const QRectF hand
            = QRectF(
                  handTriangle(MinuteHandWidth, MinuteHandBorder, MinuteHandLength).boundingRect())
                  .adjusted(-outline, -outline, outline, outline);
        for (int s : { from, to })
            region += deviceBounds(QTransform(face).rotate((s / 60.0 + minute) * 6.0), hand);
    }
    return region;
}

void VexoAnalogClock::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setTransform(faceTransform());
    // Ticks and dots wholly outside the pixels to repaint are left out: clipped away they
    // would change nothing, but each would still be rasterised, and most repaints are a
    // second's few dots or the band of the digital clock over the face.
    const QRegion &dirty = event->region();

    drawLines(painter, dirty);
    if (EndTime)
        drawEndTime(painter);
    // Written as a comparison so that a NaN also draws.
    if (CountDownTime != 0.0f)
        drawCountDown(painter);
    if (Hands)
        drawHands(painter);
    drawSecondDots(painter, dirty);
}

void VexoAnalogClock::drawLines(QPainter &painter, const QRegion &dirty) const
{
    for (int i = 0; i < 60; ++i) {
        const bool hourPosition = i % 5 == 0;
        if (hourPosition ? HourLines : MinuteLines) {
            const int w = hourPosition ? HourLinesWidth : MinuteLinesWidth;
            const int length = hourPosition ? HourLinesLength : MinuteLinesLength;
            const int outer = w / 2 - 96;
            const int inner = faceCoordinate(qint64(length) - 96 + w / 2);
            if (dirty.intersects(deviceBounds(painter.transform(), tickBounds(inner, outer, w)))) {
                painter.setPen(facePen(hourPosition ? HourLinesColor : MinuteLinesColor, w));
                painter.drawLine(0, inner, 0, outer);
            }
        }
        painter.rotate(6.0);
    }
}

void VexoAnalogClock::drawEndTime(QPainter &painter) const
{
    // 64 bits: the end-time properties take any int, and an overflow must not decide.
    const qint64 now = qint64(minute) * 60 + second;
    const qint64 end = qint64(EndTimeMinute) * 60 + EndTimeSecond;
    qint64 remaining = 0;
    bool passed = false;
    if (EndTimeHour < 24) {
        remaining = (end - now) + 3600 * (qint64(EndTimeHour) - hour);
        // An end time just after midnight, seen in the last seconds of the day before.
        if (remaining <= -86385)
            remaining += 86400;
        passed = remaining < 0;
    } else {
        remaining = end - now;
        // Every hour: the end just past the full hour, seen in the hour before.
        if (remaining <= -3585)
            remaining += 3600;
    }
    if (passed)
        return;
    const int w = EndTimeWidth;
    painter.save();
    painter.rotate((EndTimeSecond / 60.0 + EndTimeMinute) * 6.0);
    painter.setPen(facePen(EndTimeColor, w));
    painter.drawLine(0, w / 2 - 100, 0, faceCoordinate(qint64(EndTimeLength) - 100));
    const int side = faceCoordinate(200 - 2 * qint64(w));
    if (remaining >= 1 && remaining <= 15)
        painter.drawArc(w / 2 - 100, w / 2 - 100, side, side, 1440, int(remaining) * 1440 / 15);
    painter.restore();
}

void VexoAnalogClock::drawCountDown(QPainter &painter) const
{
    painter.setPen(facePen(CountDownColor, CountDownWidth));
    const qint64 k = qint64(CountDownSpacing) + HourLinesLength;
    const int corner = faceCoordinate(k - 96);
    const int side = faceCoordinate(192 - 2 * k);
    const float span = CountDownTime * 360.0f * 16.0f / 60.0f;
    painter.drawArc(corner, corner, side, side, 1440, truncateToInt(span));
}

void VexoAnalogClock::drawHands(QPainter &painter) const
{
    if (HandOutlineColor.isValid())
        painter.setPen(
            QPen(HandOutlineColor, HandOutlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    else
        painter.setPen(Qt::NoPen);

    painter.setBrush(QBrush(HourHandColor, Qt::SolidPattern));
    painter.save();
    painter.rotate((minute / 60.0 + hour) * 30.0);
    painter.drawConvexPolygon(handTriangle(HourHandWidth, HourHandBorder, HourHandLength));
    painter.restore();

    painter.setBrush(QBrush(MinuteHandColor, Qt::SolidPattern));
    painter.save();
    painter.rotate((second / 60.0 + minute) * 6.0);
    painter.drawConvexPolygon(handTriangle(MinuteHandWidth, MinuteHandBorder, MinuteHandLength));
    painter.restore();
}

void VexoAnalogClock::drawSecondDots(QPainter &painter, const QRegion &dirty) const
{
    const int d = DotSize;
    for (int i = 0; i < 60; ++i) {
        if (SecondDots && (SecondDotsCountDown ? i >= second : i <= second)
            && dirty.intersects(deviceBounds(painter.transform(), dotBounds(d)))) {
            painter.setPen(DotColor);
            painter.setBrush(QBrush(DotColor, Qt::SolidPattern));
            painter.drawEllipse(dotRect(d));
        }
        painter.rotate(6.0);
    }
}
