#include "clockface.h"
#include "clockstage.h"
#include "paintcounter.h"
#include "testsupport.h"
#include "widgets/vexoanalogclock.h"

#include <QImage>
#include <QMetaProperty>
#include <QtMath>

#include <climits>
#include <cmath>
#include <limits>

namespace {

const QColor Backdrop(30, 60, 90);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);
const QColor Magenta(255, 0, 255);
const QColor Yellow(255, 255, 0);
const QColor Cyan(0, 255, 255);

// The mean radius of an arc's ink between two counter-clockwise angles, measured along radial
// scans around the given centre (face units): the centre line of a pen wider than a pixel.
double measuredRadius(const QImage &image, const Face &face, QPointF circleCentre, double turn,
                      double fromCcw, double toCcw, double rMin, double rMax, const QColor &ink)
{
    const double ir = ink.red() - Backdrop.red();
    const double ig = ink.green() - Backdrop.green();
    const double ib = ink.blue() - Backdrop.blue();
    const double norm = ir * ir + ig * ig + ib * ib;
    double sum = 0, weighted = 0;
    for (double t = fromCcw; t <= toCcw; t += 1.0) {
        const double a = qDegreesToRadians(t);
        for (double r = rMin; r <= rMax; r += 0.1) {
            const QColor c = pixel(
                image, face.map(circleCentre + QPointF(-r * std::sin(a), -r * std::cos(a)), turn));
            const double w = ((c.red() - Backdrop.red()) * ir + (c.green() - Backdrop.green()) * ig
                              + (c.blue() - Backdrop.blue()) * ib)
                / norm;
            sum += qMax(0.0, w);
            weighted += qMax(0.0, w) * r;
        }
    }
    return sum > 0 ? weighted / sum : -1.0;
}

// A bare face: each test switches on what it looks at.
struct Stage : ClockStage<VexoAnalogClock>
{
    explicit Stage(QSize size)
        : ClockStage(size, Backdrop)
    {
        clock->setSecondDots(false);
        clock->setHands(false);
    }

    void showTime(const QTime &t)
    {
        // The clock takes a reading over only when its second differs from the one it shows.
        if (t.second() == clock->displayedSecond()) {
            time.set(t.addSecs(1));
            clock->checkTime();
        }
        time.set(t);
        clock->checkTime();
    }
};

QVariant otherValue(const QVariant &value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::Bool:
        return !value.toBool();
    case QMetaType::Int:
        return value.toInt() + 3;
    case QMetaType::Float:
        return QVariant::fromValue(value.value<float>() + 2.5f);
    case QMetaType::QColor: {
        const QColor c = value.value<QColor>();
        return QColor(c.red() ^ 0x55, c.green() ^ 0x55, c.blue(), c.alpha());
    }
    default:
        return QVariant();
    }
}

} // namespace

class TestAnalogClock : public QObject
{
    Q_OBJECT

private slots:
    void paintsNoBackground();
    void secondDots_data();
    void secondDots();
    void placementAndScale_data();
    void placementAndScale();
    void hands_data();
    void hands();
    void endTime_data();
    void endTime();
    void countDownArc_data();
    void countDownArc();
    void tickLines();
    void settersRepaintOnlyOnChange_data();
    void settersRepaintOnlyOnChange();
    void nanCountDownAlwaysChanges();
    void repaintsOncePerSecond();
    void secondStepRepaintsWhatChanged_data();
    void secondStepRepaintsWhatChanged();
    void startAtFullMinuteShowsMidnightUntilSecondOne();
    void extremePropertiesPaint_data();
    void extremePropertiesPaint();
    void firstTimerTickTakesOverTheTime();
};

void TestAnalogClock::paintsNoBackground()
{
    Stage stage(QSize(200, 200));
    stage.clock->setHourLines(true);
    stage.clock->setMinuteLines(true);
    stage.clock->setSecondDots(true);
    stage.clock->setHands(true);
    stage.showTime(QTime(10, 8, 30));
    const QImage image = stage.picture();

    for (const QPoint p : { QPoint(0, 0), QPoint(199, 0), QPoint(0, 199), QPoint(199, 199),
                            QPoint(100, 100), QPoint(100, 60), QPoint(140, 130) })
        QVERIFY2(image.pixelColor(p) == Backdrop, qPrintable(describe(image.pixelColor(p))));
}

void TestAnalogClock::secondDots_data()
{
    QTest::addColumn<bool>("countDown");
    QTest::addColumn<int>("dotSize");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("normal, second 0: the 12 o'clock dot alone")
        << false << 4 << QTime(9, 41, 0) << 0 << 0;
    QTest::newRow("normal, second 59: all sixty") << false << 4 << QTime(9, 41, 59) << 0 << 59;
    QTest::newRow("normal, second 23: up to 23") << false << 4 << QTime(9, 41, 23) << 0 << 23;
    QTest::newRow("count-down, second 0: all sixty") << true << 4 << QTime(9, 41, 0) << 0 << 59;
    QTest::newRow("count-down, second 59: the last dot alone")
        << true << 4 << QTime(9, 41, 59) << 59 << 59;
    QTest::newRow("count-down, second 23: from 23 on")
        << true << 4 << QTime(9, 41, 23) << 23 << 59;
    QTest::newRow("larger dots lie further in") << false << 6 << QTime(9, 41, 40) << 0 << 40;
}

void TestAnalogClock::secondDots()
{
    QFETCH(bool, countDown);
    QFETCH(int, dotSize);
    QFETCH(QTime, time);
    QFETCH(int, first);
    QFETCH(int, last);

    Stage stage(QSize(400, 400));
    stage.clock->setSecondDots(true);
    stage.clock->setSecondDotsCountDown(countDown);
    stage.clock->setDotSize(dotSize);
    stage.clock->setDotColor(White);
    stage.showTime(time);
    const QImage image = stage.picture();
    const Face face { QPointF(200, 200), 2.0 };

    // A dot spans the radii 100 - 2D to 100 - D.
    const double dotRadius = 100 - 1.5 * dotSize;
    QStringList wrong;
    for (int i = 0; i < 60; ++i) {
        const bool drawn = i >= first && i <= last;
        const QColor centre = pixel(image, face.at(dotRadius, i * 6));
        if (!near(centre, drawn ? White : Backdrop))
            wrong << QStringLiteral("dot %1 %2").arg(i).arg(describe(centre));
        // Between two dots and just outside a dot the backdrop shows.
        const QColor between = pixel(image, face.at(dotRadius, i * 6 + 3));
        if (!near(between, Backdrop))
            wrong << QStringLiteral("gap after %1 %2").arg(i).arg(describe(between));
        const QColor outside = pixel(image, face.at(100 - dotSize + 1.5, i * 6));
        if (!near(outside, Backdrop))
            wrong << QStringLiteral("outside dot %1 %2").arg(i).arg(describe(outside));
    }
    QCOMPARE(wrong, QStringList());
}

void TestAnalogClock::placementAndScale_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPointF>("centre");
    QTest::addColumn<double>("scale");

    QTest::newRow("300 x 200: scale 1 around (150, 100)")
        << QSize(300, 200) << QPointF(150, 100) << 1.0;
    QTest::newRow("200 x 300: scale 1 around (100, 150)")
        << QSize(200, 300) << QPointF(100, 150) << 1.0;
    QTest::newRow("201 x 201: scale 1.005 around (100, 100)")
        << QSize(201, 201) << QPointF(100, 100) << 1.005;
    QTest::newRow("410 x 410: scale 2.05 around (205, 205)")
        << QSize(410, 410) << QPointF(205, 205) << 2.05;
}

void TestAnalogClock::placementAndScale()
{
    QFETCH(QSize, size);
    QFETCH(QPointF, centre);
    QFETCH(double, scale);

    Stage stage(size);
    stage.clock->setSecondDots(true);
    stage.clock->setDotSize(4);
    stage.clock->setDotColor(White);
    stage.showTime(QTime(12, 0, 59));
    const QImage image = stage.picture();
    const Face face { centre, scale };

    // The centre of a dot, measured as the centroid of its antialiased pixels, lies at radius
    // 94 on its angle; half a pixel off would show.
    for (const int dot : { 0, 15, 30, 45 }) {
        const QPointF expected = face.at(94, dot * 6);
        double sum = 0, sx = 0, sy = 0;
        for (int y = qFloor(expected.y()) - 6; y <= qFloor(expected.y()) + 6; ++y) {
            for (int x = qFloor(expected.x()) - 6; x <= qFloor(expected.x()) + 6; ++x) {
                if (!image.rect().contains(x, y))
                    continue;
                const double w = (image.pixelColor(x, y).red() - Backdrop.red()) / 225.0;
                sum += w;
                sx += w * (x + 0.5);
                sy += w * (y + 0.5);
            }
        }
        QVERIFY2(sum > 4.0, qPrintable(QStringLiteral("no dot near %1").arg(dot)));
        const QPointF measured(sx / sum, sy / sum);
        QVERIFY2(qAbs(measured.x() - expected.x()) < 0.2
                     && qAbs(measured.y() - expected.y()) < 0.2,
                 qPrintable(QStringLiteral("dot %1 at (%2, %3), expected (%4, %5)")
                                .arg(dot)
                                .arg(measured.x())
                                .arg(measured.y())
                                .arg(expected.x())
                                .arg(expected.y())));
    }
}

void TestAnalogClock::hands_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("handsOn");
    QTest::addColumn<double>("hourAngle");
    QTest::addColumn<double>("minuteAngle");

    QTest::newRow("13:30:00, hour hand past 360 at 405 = 45 degrees")
        << QTime(13, 30, 0) << true << 45.0 << 180.0;
    QTest::newRow("10:00:30") << QTime(10, 0, 30) << true << 300.0 << 3.0;
    QTest::newRow("06:15:45") << QTime(6, 15, 45) << true << 187.5 << 94.5;
    QTest::newRow("23:59:59") << QTime(23, 59, 59) << true << 359.5 << 359.9;
    QTest::newRow("hands off at 13:30:00") << QTime(13, 30, 0) << false << 45.0 << 180.0;
}

void TestAnalogClock::hands()
{
    QFETCH(QTime, time);
    QFETCH(bool, handsOn);
    QFETCH(double, hourAngle);
    QFETCH(double, minuteAngle);

    Stage stage(QSize(400, 400));
    stage.clock->setHands(handsOn);
    stage.clock->setHourHandColor(Yellow);
    stage.clock->setMinuteHandColor(Cyan);
    stage.showTime(time);
    const QImage image = stage.picture();
    const Face face { QPointF(200, 200), 2.0 };

    const QColor hourColour = handsOn ? Yellow : Backdrop;
    const QColor minuteColour = handsOn ? Cyan : Backdrop;
    // Default hour hand: base 12 wide at radius 76, tip at 88. Minute hand: base 8 wide at 88,
    // tip at 96. Both point outwards.
    struct Probe
    {
        QPointF local;
        double turn;
        QColor expected;
        const char *what;
    };
    const Probe probes[] = {
        { QPointF(0, -82), hourAngle, hourColour, "hour hand, middle" },
        { QPointF(4, -77.5), hourAngle, hourColour, "hour hand, near a base corner" },
        { QPointF(-4, -77.5), hourAngle, hourColour, "hour hand, near the other corner" },
        { QPointF(0, -85), hourAngle, hourColour, "hour hand, near the tip" },
        { QPointF(0, -72), hourAngle, Backdrop, "inside the hour hand's base" },
        { QPointF(7.5, -77.5), hourAngle, Backdrop, "beside the hour hand's base" },
        { QPointF(4, -86), hourAngle, Backdrop, "beside the hour hand's tip" },
        { QPointF(0, -82), hourAngle + 20, Backdrop, "beside the hour hand" },
        { QPointF(0, -91), minuteAngle, minuteColour, "minute hand, middle" },
        { QPointF(0, -93), minuteAngle, minuteColour, "minute hand, near the tip" },
        { QPointF(0, -98.5), minuteAngle, Backdrop, "beyond the minute hand's tip" },
        { QPointF(0, -91), minuteAngle + 12, Backdrop, "beside the minute hand" },
    };
    QStringList wrong;
    for (const Probe &probe : probes) {
        const QColor c = pixel(image, face.map(probe.local, probe.turn));
        if (!near(c, probe.expected))
            wrong << QStringLiteral("%1: %2").arg(QLatin1String(probe.what), describe(c));
    }
    QCOMPARE(wrong, QStringList());
}

void TestAnalogClock::endTime_data()
{
    QTest::addColumn<int>("endHour");
    QTest::addColumn<int>("endMinute");
    QTest::addColumn<int>("endSecond");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("marker");
    QTest::addColumn<int>("arcDegrees");

    QTest::newRow("10:30:00 at 10:29:44: marker only")
        << 10 << 30 << 0 << QTime(10, 29, 44) << true << 0;
    QTest::newRow("10:30:00 at 10:29:45: marker and 90 degree arc")
        << 10 << 30 << 0 << QTime(10, 29, 45) << true << 90;
    QTest::newRow("10:30:00 at 10:29:59: 6 degree arc")
        << 10 << 30 << 0 << QTime(10, 29, 59) << true << 6;
    QTest::newRow("10:30:00 at 10:30:00: marker only")
        << 10 << 30 << 0 << QTime(10, 30, 0) << true << 0;
    QTest::newRow("10:30:00 at 10:30:01: nothing")
        << 10 << 30 << 0 << QTime(10, 30, 1) << false << 0;
    QTest::newRow("10:30:00 at 09:30:00: marker an hour ahead")
        << 10 << 30 << 0 << QTime(9, 30, 0) << true << 0;
    QTest::newRow("10:30:00 at 11:29:50: passed an hour ago")
        << 10 << 30 << 0 << QTime(11, 29, 50) << false << 0;
    QTest::newRow("00:00:05 at 23:59:55: across midnight, 60 degree arc")
        << 0 << 0 << 5 << QTime(23, 59, 55) << true << 60;
    QTest::newRow("00:00:05 at 23:59:00: nothing")
        << 0 << 0 << 5 << QTime(23, 59, 0) << false << 0;
    QTest::newRow("every hour at 00:00, at 07:59:50: arc")
        << 24 << 0 << 0 << QTime(7, 59, 50) << true << 60;
    QTest::newRow("every hour at 00:00, at 07:30:00: marker")
        << 24 << 0 << 0 << QTime(7, 30, 0) << true << 0;
    QTest::newRow("every hour at 45:30, at 13:45:20: 60 degree arc")
        << 25 << 45 << 30 << QTime(13, 45, 20) << true << 60;
    QTest::newRow("every hour at 45:30, at 13:46:00: marker stays")
        << 25 << 45 << 30 << QTime(13, 46, 0) << true << 0;
}

void TestAnalogClock::endTime()
{
    QFETCH(int, endHour);
    QFETCH(int, endMinute);
    QFETCH(int, endSecond);
    QFETCH(QTime, time);
    QFETCH(bool, marker);
    QFETCH(int, arcDegrees);

    const int width = 4;
    const int length = 12;
    Stage stage(QSize(400, 400));
    stage.clock->setEndTime(true);
    stage.clock->setEndTimeWidth(width);
    stage.clock->setEndTimeLength(length);
    stage.clock->setEndTimeColor(Red);
    stage.clock->setEndTimeHour(endHour);
    stage.clock->setEndTimeMinute(endMinute);
    stage.clock->setEndTimeSecond(endSecond);
    stage.showTime(time);
    const QImage image = stage.picture();
    const Face face { QPointF(200, 200), 2.0 };

    // The marker points at the end time on the minute scale, from the rim to 100 - length.
    const double markerAngle = (endMinute + endSecond / 60.0) * 6.0;
    // The arc's bounding square starts at width/2 - 100 and is 200 - 2 * width wide: a circle
    // of radius 100 - width around (-width/2, -width/2) of the marker's turned frame.
    const double arcRadius = 100 - width;
    const QPointF arcCentre(-width / 2.0, -width / 2.0);
    const auto onArc = [&](double ccwDegrees) {
        const double a = qDegreesToRadians(ccwDegrees);
        return face.map(arcCentre + QPointF(-arcRadius * std::sin(a), -arcRadius * std::cos(a)),
                        markerAngle);
    };

    QStringList wrong;
    const auto expect = [&](QPointF p, bool drawn, const QString &what) {
        const QColor c = pixel(image, p);
        if (!near(c, drawn ? Red : Backdrop))
            wrong << QStringLiteral("%1: %2").arg(what, describe(c));
    };
    expect(face.at(100 - length + 3, markerAngle), marker, QStringLiteral("marker, inner part"));
    expect(face.at(98.5, markerAngle), marker, QStringLiteral("marker at the rim"));
    expect(face.at(100 - length - 5, markerAngle), false, QStringLiteral("inside the marker"));
    if (arcDegrees > 0) {
        expect(onArc(arcDegrees / 2.0), true, QStringLiteral("middle of the arc"));
        expect(onArc(arcDegrees - 2.5), true, QStringLiteral("end of the arc"));
        expect(onArc(arcDegrees + 5), false, QStringLiteral("beyond the arc"));
    } else {
        for (const double a : { 4.0, 30.0, 90.0 })
            expect(onArc(a), false, QStringLiteral("no arc at %1").arg(a));
    }
    if (arcDegrees >= 60) {
        // The square's odd size shows as a centre off the face's centre: a sub-pixel shift, so
        // measured rather than probed.
        const double r = measuredRadius(image, face, arcCentre, markerAngle, 25, 45, 90, 102, Red);
        if (qAbs(r - arcRadius) > 0.25)
            wrong << QStringLiteral("arc radius %1 around (-%2, -%2)").arg(r).arg(width / 2);
    }
    // The arc runs counter-clockwise only.
    expect(onArc(-6), false, QStringLiteral("clockwise of the marker"));
    QCOMPARE(wrong, QStringList());
}

void TestAnalogClock::countDownArc_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("hourLinesLength");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QList<int>>("drawnAt");
    QTest::addColumn<QList<int>>("clearAt");

    // Angles are counter-clockwise from 12 o'clock; negative ones clockwise.
    QTest::newRow("+15: quarter from 12 counter-clockwise to 9")
        << 15.0f << 8 << 1 << QList<int> { 5, 45, 85 } << QList<int> { -5, -45, 95, 180 };
    QTest::newRow("-15: quarter from 12 clockwise to 3")
        << -15.0f << 8 << 1 << QList<int> { -5, -45, -85 } << QList<int> { 5, 45, -95, 180 };
    QTest::newRow("0: none") << 0.0f << 8 << 1 << QList<int> {}
                             << QList<int> { 5, 45, 85, -5, -45, 180 };
    QTest::newRow("+60: full circle")
        << 60.0f << 8 << 1 << QList<int> { 45, 135, -135, -45 } << QList<int> {};
    QTest::newRow("+7.5: an eighth")
        << 7.5f << 8 << 1 << QList<int> { 20, 40 } << QList<int> { 50, -5 };
    QTest::newRow("longer hour ticks pull the arc inwards")
        << 15.0f << 20 << 1 << QList<int> { 45 } << QList<int> { -45 };
    QTest::newRow("spacing pulls the arc inwards")
        << -15.0f << 8 << 10 << QList<int> { -45 } << QList<int> { 45 };
}

void TestAnalogClock::countDownArc()
{
    QFETCH(float, value);
    QFETCH(int, hourLinesLength);
    QFETCH(int, spacing);
    QFETCH(QList<int>, drawnAt);
    QFETCH(QList<int>, clearAt);

    Stage stage(QSize(400, 400));
    // The arc's radius depends on the hour tick length even when no ticks are drawn.
    stage.clock->setHourLinesLength(hourLinesLength);
    stage.clock->setCountDownSpacing(spacing);
    stage.clock->setCountDownWidth(4);
    stage.clock->setCountDownColor(Magenta);
    stage.clock->setCountDownTime(value);
    stage.showTime(QTime(8, 20, 10));
    const QImage image = stage.picture();
    const Face face { QPointF(200, 200), 2.0 };

    const double radius = 96 - hourLinesLength - spacing;
    QStringList wrong;
    for (const int a : drawnAt) {
        const QColor c = pixel(image, face.at(radius, -a));
        if (!near(c, Magenta))
            wrong << QStringLiteral("missing at %1: %2").arg(a).arg(describe(c));
    }
    for (const int a : clearAt) {
        const QColor c = pixel(image, face.at(radius, -a));
        if (!near(c, Backdrop))
            wrong << QStringLiteral("drawn at %1: %2").arg(a).arg(describe(c));
    }
    if (!drawnAt.isEmpty()) {
        const double r = measuredRadius(image, face, QPointF(0, 0), 0, drawnAt.first(),
                                        drawnAt.first(), radius - 6, radius + 6, Magenta);
        if (qAbs(r - radius) > 0.25)
            wrong << QStringLiteral("arc radius %1").arg(r);
    }
    // Nothing at the radius of the default geometry when another one is asked for.
    if (radius != 87) {
        for (const int a : drawnAt) {
            const QColor c = pixel(image, face.at(87, -a));
            if (!near(c, Backdrop))
                wrong << QStringLiteral("at the default radius, %1: %2").arg(a).arg(describe(c));
        }
    }
    QCOMPARE(wrong, QStringList());
}

void TestAnalogClock::tickLines()
{
    Stage stage(QSize(400, 400));
    stage.clock->setHourLines(true);
    stage.clock->setHourLinesWidth(4);
    stage.clock->setHourLinesLength(10);
    stage.clock->setHourLinesColor(Yellow);
    stage.clock->setMinuteLines(true);
    stage.clock->setMinuteLinesWidth(2);
    stage.clock->setMinuteLinesLength(6);
    stage.clock->setMinuteLinesColor(Cyan);
    stage.showTime(QTime(8, 20, 10));
    const QImage image = stage.picture();
    const Face face { QPointF(200, 200), 2.0 };

    // An hour tick reaches from radius 96 in to 96 - length - width (square caps); a minute
    // tick likewise with its own length and width.
    QStringList wrong;
    const auto expect = [&](double radius, double angle, const QColor &colour) {
        const QColor c = pixel(image, face.at(radius, angle));
        if (!near(c, colour))
            wrong << QStringLiteral("r %1 at %2: %3").arg(radius).arg(angle).arg(describe(c));
    };
    for (int i = 0; i < 60; ++i) {
        const bool hour = i % 5 == 0;
        const int inner = hour ? 96 - 10 - 4 : 96 - 6 - 2;
        expect(94.5, i * 6, hour ? Yellow : Cyan);
        expect(inner + 1.5, i * 6, hour ? Yellow : Cyan);
        expect(97.5, i * 6, Backdrop);
        expect(inner - 1.5, i * 6, Backdrop);
        expect(90, i * 6 + 3, Backdrop);
    }
    QCOMPARE(wrong, QStringList());
}

void TestAnalogClock::settersRepaintOnlyOnChange_data()
{
    QTest::addColumn<int>("index");
    const QMetaObject &meta = VexoAnalogClock::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        QTest::newRow(meta.property(i).name()) << i;
}

void TestAnalogClock::settersRepaintOnlyOnChange()
{
    QFETCH(int, index);
    const QMetaProperty property = VexoAnalogClock::staticMetaObject.property(index);

    StandaloneClock<VexoAnalogClock> standalone(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 7)));
    auto &[time, clock, counter] = standalone;
    QVERIFY(shownAndPainted(clock, counter));

    const QVariant changed = otherValue(property.read(&clock));
    checkRepaintOnlyOnChange(clock, property, counter, changed, changed);
}

void TestAnalogClock::nanCountDownAlwaysChanges()
{
    StandaloneClock<VexoAnalogClock> standalone(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 7)));
    auto &[time, clock, counter] = standalone;
    QVERIFY(shownAndPainted(clock, counter));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int round = 1; round <= 3; ++round) {
        const int paints = counter.paints;
        clock.setCountDownTime(nan);
        flushPaints();
        QCOMPARE(counter.paints, paints + 1);
        QVERIFY(std::isnan(clock.getCountDownTime()));
    }
}

void TestAnalogClock::repaintsOncePerSecond()
{
    StandaloneClock<VexoAnalogClock> standalone(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 7)));
    auto &[time, clock, counter] = standalone;
    QVERIFY(shownAndPainted(clock, counter));

    // Thirty ticks 100 ms apart cross three second boundaries.
    const int before = counter.paints;
    for (int tick = 0; tick < 30; ++tick) {
        time.advance(100);
        clock.checkTime();
        flushPaints();
        QCOMPARE(clock.displayedSecond(), time.now().time().second());
    }
    QCOMPARE(counter.paints - before, 3);
    QCOMPARE(clock.displayedHour(), 10);
    QCOMPARE(clock.displayedMinute(), 15);
    QCOMPARE(clock.displayedSecond(), 10);
}

void TestAnalogClock::secondStepRepaintsWhatChanged_data()
{
    QTest::addColumn<QTime>("from");
    QTest::addColumn<QTime>("to");
    QTest::addColumn<bool>("countDown");
    // The largest share of the face, in percent, that the repaint may cover; 100 asks for
    // the whole face.
    QTest::addColumn<int>("share");
    QTest::addColumn<int>("dotSize");
    QTest::addColumn<int>("side");

    QTest::newRow("next second") << QTime(10, 15, 7) << QTime(10, 15, 8) << false << 5 << 4 << 410;
    QTest::newRow("a second skipped") << QTime(10, 15, 7) << QTime(10, 15, 9) << false << 5 << 4 << 410;
    QTest::newRow("count-down dots") << QTime(10, 15, 7) << QTime(10, 15, 8) << true << 5 << 4 << 410;
    // The minute hand jumps back by 4.5 degrees: its old place is repainted too.
    QTest::newRow("set back within the minute")
        << QTime(10, 15, 50) << QTime(10, 15, 5) << false << 50 << 4 << 410;
    QTest::newRow("new minute") << QTime(10, 15, 59) << QTime(10, 16, 0) << false << 100 << 4 << 410;
    // A negative size draws the dot on the other side of its corner; a large face shows every
    // pixel of it that a repaint leaves out.
    QTest::newRow("negative dot size")
        << QTime(10, 15, 7) << QTime(10, 15, 8) << false << 5 << -4 << 1000;
    QTest::newRow("negative dot size, count-down")
        << QTime(10, 15, 7) << QTime(10, 15, 8) << true << 5 << -4 << 1000;
}

// A new second repaints only the dots and the minute hand it moves; every pixel that changes
// lies in the repainted region, and the face painted only there matches a whole new face.
void TestAnalogClock::secondStepRepaintsWhatChanged()
{
    QFETCH(QTime, from);
    QFETCH(QTime, to);
    QFETCH(bool, countDown);
    QFETCH(int, share);
    QFETCH(int, dotSize);
    QFETCH(int, side);

    // The main window's look.
    Stage stage(QSize(side, side));
    VexoAnalogClock *clock = stage.clock;
    clock->setHourLines(true);
    clock->setMinuteLines(true);
    clock->setSecondDots(true);
    clock->setSecondDotsCountDown(countDown);
    clock->setDotSize(dotSize);
    clock->setDotColor(Yellow);
    clock->setHands(true);
    clock->setMinuteHandBorder(8);
    clock->setMinuteHandLength(28);
    stage.backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stage.backdrop));
    stage.showTime(from);
    flushPaints();
    const QImage before = stage.picture();

    PaintCounter counter(clock);
    stage.time.set(to);
    clock->checkTime();
    flushPaints();
    const QRegion painted = counter.painted;
    const QImage after = stage.picture();
    QVERIFY(before != after);
    if (share == 100) {
        QCOMPARE(painted, QRegion(clock->rect()));
        return;
    }
    int area = 0;
    for (const QRect &r : painted)
        area += r.width() * r.height();
    QVERIFY2(area * 100 < share * side * side, qPrintable(QString::number(area)));
    stage.checkRepaintCovers(before, after, painted);
}

void TestAnalogClock::extremePropertiesPaint_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("value");
    const char *const properties[] = {
        "HourLinesLength", "HourLinesWidth",  "MinuteLinesLength", "MinuteLinesWidth",
        "DotSize",         "HourHandBorder",  "HourHandLength",    "HourHandWidth",
        "MinuteHandBorder", "MinuteHandLength", "MinuteHandWidth", "EndTimeLength",
        "EndTimeWidth",    "CountDownWidth",  "CountDownSpacing",
    };
    for (const char *property : properties) {
        QTest::addRow("%s INT_MIN", property) << QByteArray(property) << INT_MIN;
        QTest::addRow("%s INT_MAX", property) << QByteArray(property) << INT_MAX;
    }
}

// Any int a property takes paints without undefined behaviour (the sanitizer build checks
// this), whole faces and second steps alike, with every part of the face drawn.
void TestAnalogClock::extremePropertiesPaint()
{
    QFETCH(QByteArray, property);
    QFETCH(int, value);

    Stage stage(QSize(120, 120));
    VexoAnalogClock *clock = stage.clock;
    clock->setHourLines(true);
    clock->setMinuteLines(true);
    clock->setSecondDots(true);
    clock->setHands(true);
    clock->setEndTime(true);
    clock->setEndTimeHour(10);
    clock->setEndTimeMinute(15);
    clock->setEndTimeSecond(12);
    clock->setCountDownTime(30.0f);
    QVERIFY(clock->setProperty(property.constData(), value));
    QCOMPARE(clock->property(property.constData()).toInt(), value);
    stage.backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stage.backdrop));
    stage.showTime(QTime(10, 15, 7));
    flushPaints();
    const QImage before = stage.picture();
    stage.time.set(QTime(10, 15, 8));
    clock->checkTime();
    flushPaints();
    QCOMPARE(stage.picture().size(), before.size());
}

void TestAnalogClock::startAtFullMinuteShowsMidnightUntilSecondOne()
{
    FixedClock time(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 0)));
    VexoAnalogClock clock;
    clock.setClockSource(&time);
    for (int tick = 0; tick < 10; ++tick) {
        clock.checkTime();
        QCOMPARE(clock.displayedHour(), 0);
        QCOMPARE(clock.displayedMinute(), 0);
        QCOMPARE(clock.displayedSecond(), 0);
        time.advance(100);
    }
    clock.checkTime();
    QCOMPARE(clock.displayedHour(), 10);
    QCOMPARE(clock.displayedMinute(), 15);
    QCOMPARE(clock.displayedSecond(), 1);
}

void TestAnalogClock::firstTimerTickTakesOverTheTime()
{
    Stage stage(QSize(400, 400));
    stage.time.set(QTime(10, 0, 30));
    stage.clock->setHands(true);
    stage.clock->setHourHandColor(Yellow);
    // Nothing but the clock's own timer reads the time here.
    QTRY_VERIFY(stage.time.readingCount() >= 1);
    QCOMPARE(stage.clock->displayedHour(), 10);
    QCOMPARE(stage.clock->displayedMinute(), 0);
    QCOMPARE(stage.clock->displayedSecond(), 30);

    // The hour hand stands at 10 o'clock (plus a quarter degree for the half minute).
    const Face face { QPointF(200, 200), 2.0 };
    const QImage image = stage.picture();
    QVERIFY(near(pixel(image, face.at(82, 300.25)), Yellow));
}

ORVANE_TEST_MAIN(TestAnalogClock)
#include "tst_analogclock.moc"
