#include "clockface.h"
#include "fixedclock.h"
#include "mainwindowprobe.h"
#include "paintcounter.h"
#include "testsupport.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/vexodigitalclock.h"

#include <QImage>
#include <QtMath>

#include <cmath>

namespace {

QStringList childWidgetNames(const QWidget *parent)
{
    QStringList names;
    for (const QObject *child : parent->children()) {
        if (child->isWidgetType())
            names << child->objectName();
    }
    return names;
}

int brightPixels(const QImage &image, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 200 && c.green() > 200 && c.blue() > 200;
        }
    }
    return count;
}

QImage shoot(MainWindow &window)
{
    flushPaints();
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Seconds of the day, so that two readings can be compared across a minute or an hour.
int secondOfDay(int h, int m, int s)
{
    return h * 3600 + m * 60 + s;
}

} // namespace

class TestClocksOnWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void startUpValues_data();
    void startUpValues();
    void digitalClockFonts();
    void stackingOrder();
    void designRects();
    void faceOverTheWindow();
    void doubleSizeWindowScalesTheClocks();
    void screenshotShowsTheRealTime();
};

void TestClocksOnWindow::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestClocksOnWindow::startUpValues_data()
{
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");

    const QString analog = QStringLiteral("AnalogClock");
    const QString digital = QStringLiteral("DigitalClock");
    const auto row = [](const QString &clock, const char *property, const QVariant &value) {
        QTest::addRow("%s %s", qPrintable(clock), property)
            << clock << QByteArray(property) << value;
    };
    row(analog, "geometry", QRect(348, 85, 410, 410));
    row(analog, "HourLines", true);
    row(analog, "HourLinesColor", QColor(0, 255, 0, 255));
    row(analog, "MinuteLines", true);
    row(analog, "MinuteLinesLength", 4);
    row(analog, "MinuteLinesColor", QColor(0, 170, 0, 255));
    row(analog, "SecondDots", true);
    row(analog, "SecondDotsCountDown", false);
    row(analog, "DotSize", 4);
    row(analog, "DotColor", QColor(255, 255, 255, 255));
    row(analog, "Hands", true);
    row(analog, "HourHandColor", QColor(255, 140, 120, 255));
    row(analog, "HourHandBorder", 16);
    row(analog, "HourHandLength", 10);
    row(analog, "HourHandWidth", 10);
    row(analog, "MinuteHandColor", QColor(140, 190, 255, 255));
    row(analog, "MinuteHandBorder", 8);
    row(analog, "MinuteHandLength", 18);
    row(analog, "MinuteHandWidth", 8);
    row(analog, "HandOutlineColor", QColor(0, 0, 0, 255));
    // Left at the widget's own defaults.
    row(analog, "HourLinesLength", 8);
    row(analog, "HourLinesWidth", 2);
    row(analog, "MinuteLinesWidth", 1);
    row(analog, "EndTime", false);
    row(analog, "CountDownTime", 0.0f);
    row(analog, "styleSheet", QString());

    row(digital, "geometry", QRect(348, 260, 410, 111));
    row(digital, "TimeDisplay", true);
    row(digital, "TimeDisplayFontColor", QColor(255, 255, 255, 255));
    row(digital, "DateDisplay", true);
    row(digital, "DateDisplayFontColor", QColor(255, 255, 255, 255));
}

void TestClocksOnWindow::startUpValues()
{
    QFETCH(QString, clock);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);

    MainWindow window;
    const QWidget *widget = window.findChild<QWidget *>(clock);
    QVERIFY(widget);
    QCOMPARE(widget->property(property.constData()), expected);
}

void TestClocksOnWindow::digitalClockFonts()
{
    MainWindow window;
    const auto *digital = window.findChild<VexoDigitalClock *>(QStringLiteral("DigitalClock"));
    QVERIFY(digital);

    const QFont own = digital->font();
    QCOMPARE(own.family(), QStringLiteral("Bitstream Vera Sans"));
    QCOMPARE(own.pointSize(), 36);
    QCOMPARE(own.weight(), 75);
    QCOMPARE(own.italic(), false);
    QCOMPARE(own.strikeOut(), false);

    QCOMPARE(digital->getTimeDisplayFont().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(digital->getTimeDisplayFont().pointSize(), 40);
    QCOMPARE(digital->getDateDisplayFont().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(digital->getDateDisplayFont().pointSize(), 24);
}

void TestClocksOnWindow::stackingOrder()
{
    MainWindow window;
    const auto *analog = window.findChild<QWidget *>(QStringLiteral("AnalogClock"));
    QVERIFY(analog);
    QCOMPARE(childWidgetNames(analog->parentWidget()),
             (QStringList { "ProgLeft", "ProgRight", "SubLeft", "SubRight", "CrmLeft", "CrmRight",
                            "DigitalClock", "timelabel", "footerlabel", "AnalogClock" }));
    QCOMPARE(analog->parentWidget()->objectName(), QStringLiteral("centralWidget"));
}

void TestClocksOnWindow::designRects()
{
    MainWindow window;
    const QRect *rects = MainWindowTestAccess::designRects(window);
    QCOMPARE(rects[6], QRect(348, 85, 410, 410));
    QCOMPARE(rects[7], QRect(348, 260, 410, 111));
}

void TestClocksOnWindow::faceOverTheWindow()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    FixedClock time(QDateTime(QDate(2026, 12, 7), QTime(10, 8, 30)));
    MainWindow window;
    auto *analog = window.findChild<VexoAnalogClock *>(QStringLiteral("AnalogClock"));
    auto *digital = window.findChild<VexoDigitalClock *>(QStringLiteral("DigitalClock"));
    QVERIFY(analog && digital);
    analog->setClockSource(&time);
    digital->setClockSource(&time);
    analog->checkTime();
    digital->checkTime();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!MainWindowTestAccess::resized(window));
    const QImage shot = shoot(window);
    const Face face = Face::of(analog, &window);

    QStringList wrong;
    const auto expect = [&](bool ok, const QString &what, const QColor &c) {
        if (!ok)
            wrong << QStringLiteral("%1: %2").arg(what, describe(c));
    };
    // White dots for the seconds 0 to 30 at radius 100 - 1.5 * 4.
    for (const int dot : { 0, 5, 15, 25, 30 }) {
        const QColor c = shot.pixelColor(face.pixelAt(94, dot * 6));
        expect(near(c, Qt::white, 10), QStringLiteral("dot %1").arg(dot), c);
    }
    // Past the second, the ticks show: green hour ticks (radius 86 to 96), darker green minute
    // ticks (91 to 96).
    for (const int hour : { 35, 45, 55 }) {
        const QColor c = shot.pixelColor(face.pixelAt(91, hour * 6));
        expect(c == QColor(0, 255, 0), QStringLiteral("hour tick %1").arg(hour), c);
    }
    for (const int minute : { 37, 48, 59 }) {
        const QColor c = shot.pixelColor(face.pixelAt(93.5, minute * 6));
        expect(c.green() - qMax(c.red(), c.blue()) > 40,
               QStringLiteral("minute tick %1").arg(minute), c);
    }
    // No end-time marker at 12 o'clock, no count-down arc at radius 87.
    for (const double angle : { 3.0, 93.0, 183.0, 273.0 }) {
        const QColor c = shot.pixelColor(face.pixelAt(87, angle));
        expect(!(c.red() > 150 && c.blue() > 150 && c.green() < 100),
               QStringLiteral("count-down arc at %1").arg(angle), c);
    }
    const QColor rim = shot.pixelColor(face.pixelAt(98.5, 0));
    expect(!(rim.red() > 150 && rim.green() < 100), QStringLiteral("end-time marker"), rim);

    // The hands are light pointers at the rim, outlined in black: hour hand at 10:08:30 at
    // 304.25 degrees, radius 74 to 84; minute hand at 51 degrees, radius 74 to 92. Within them
    // they show their own colour, not what lies beneath.
    const QColor hourPixel = shot.pixelColor(face.pixelAt(78, 304.25));
    const QColor minutePixel = shot.pixelColor(face.pixelAt(80, 51));
    expect(near(hourPixel, QColor(255, 140, 120), 3), QStringLiteral("hour hand"), hourPixel);
    expect(near(minutePixel, QColor(140, 190, 255), 3), QStringLiteral("minute hand"),
           minutePixel);
    // Inside the ring they sweep, where the time and the date stand, no hand ever shows.
    for (const double radius : { 60.0, 70.0 }) {
        const QColor c = shot.pixelColor(face.pixelAt(radius, 304.25));
        expect(!near(c, QColor(255, 140, 120), 60), QStringLiteral("hour hand at %1").arg(radius),
               c);
    }

    // The digital clock's white time shows through the analog face stacked above it.
    const QPoint band = digital->mapTo(&window, QPoint(0, 0));
    const QRect timeArea(band.x() + digital->width() / 2 - 150, band.y(), 300,
                         digital->height() / 2);
    const int withText = brightPixels(shot, timeArea);
    digital->setTimeDisplay(false);
    const int withoutText = brightPixels(shoot(window), timeArea);
    digital->setTimeDisplay(true);
    QVERIFY2(withText - withoutText > 300,
             qPrintable(QStringLiteral("%1 bright pixels with the time, %2 without")
                            .arg(withText)
                            .arg(withoutText)));
    QCOMPARE(digital->timeText(), QStringLiteral("10:08:30"));
    QCOMPARE(digital->dateText(), QStringLiteral("Mon 7 Dec 2026"));

    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("; "))));
}

void TestClocksOnWindow::doubleSizeWindowScalesTheClocks()
{
    MainWindow window;
    auto *analog = window.findChild<VexoAnalogClock *>(QStringLiteral("AnalogClock"));
    auto *digital = window.findChild<VexoDigitalClock *>(QStringLiteral("DigitalClock"));
    QVERIFY(analog && digital);
    window.resize(2 * 986, 2 * 580);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(digital->getTimeDisplayFont().pointSize(), 80);
    QCOMPARE(digital->getDateDisplayFont().pointSize(), 48);
    QCOMPARE(digital->getTimeDisplayFont().family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(analog->geometry(), QRect(696, 170, 820, 820));
    QCOMPARE(digital->geometry(), QRect(696, 520, 820, 222));
}

void TestClocksOnWindow::screenshotShowsTheRealTime()
{
    MainWindow window;
    auto *analog = window.findChild<VexoAnalogClock *>(QStringLiteral("AnalogClock"));
    auto *digital = window.findChild<VexoDigitalClock *>(QStringLiteral("DigitalClock"));
    QVERIFY(analog && digital);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!MainWindowTestAccess::resized(window));
    // The clocks take the system time over at the first tick whose second is not 0.
    QTRY_VERIFY_WITH_TIMEOUT(analog->displayedSecond() != 0 && !digital->timeText().isEmpty(),
                             3000);
    const QImage shot = shoot(window);
    const QTime now = QTime::currentTime();

    const int shown = secondOfDay(analog->displayedHour(), analog->displayedMinute(),
                                  analog->displayedSecond());
    const int difference
        = (secondOfDay(now.hour(), now.minute(), now.second()) - shown + 86400) % 86400;
    QVERIFY2(difference <= 2, qPrintable(QString::number(difference)));
    const QTime digitalTime = QTime::fromString(digital->timeText(), QStringLiteral("hh:mm:ss"));
    QVERIFY(digitalTime.isValid());
    QVERIFY(qAbs(digitalTime.secsTo(now)) <= 2 || qAbs(digitalTime.secsTo(now)) >= 86398);

    // The dot of the displayed second is white on the face.
    const Face face = Face::of(analog, &window);
    const QColor dot = shot.pixelColor(face.pixelAt(94, analog->displayedSecond() * 6));
    QVERIFY2(near(dot, Qt::white, 10), qPrintable(describe(dot)));

    // Set ORVANE_CLOCKS_SCREENSHOT to a file name to keep the picture.
    const QString keep = qEnvironmentVariable("ORVANE_CLOCKS_SCREENSHOT");
    if (!keep.isEmpty())
        QVERIFY(shot.save(keep));
}

ORVANE_TEST_MAIN(TestClocksOnWindow)
#include "tst_clocksonwindow.moc"
