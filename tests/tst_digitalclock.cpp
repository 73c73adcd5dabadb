#include "clockstage.h"
#include "paintcounter.h"
#include "testsupport.h"
#include "widgets/vexodigitalclock.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QLocale>
#include <QMetaProperty>

namespace {

const QColor Backdrop(30, 60, 90);
const QColor White(255, 255, 255);
const QColor Yellow(255, 255, 0);

QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

// The clock on a plain backdrop: it fills no background, so around the text the backdrop shows.
struct Stage : ClockStage<VexoDigitalClock>
{
    // Unless told otherwise the clock has read Mon 7 Dec 2026, 10:08:30.
    explicit Stage(QSize size, bool read = true)
        : ClockStage(size, Backdrop)
    {
        // Time and date in colours of their own, so each line's ink can be told apart.
        clock->setTimeDisplayFontColor(White);
        clock->setDateDisplayFontColor(Yellow);
        if (read) {
            time.set(at(2026, 12, 7, 10, 8, 30));
            clock->checkTime();
        }
    }
};

// Antialiased text over the backdrop: bright red tells ink, blue tells white from yellow.
bool isTimeInk(const QColor &c)
{
    return c.red() > 120 && c.blue() > 120;
}
bool isDateInk(const QColor &c)
{
    return c.red() > 120 && c.blue() < 100;
}

QRect inkBox(const QImage &image, bool (*isInk)(const QColor &))
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isInk(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// Centre of an ink box in pixel indices, as (top + bottom) / 2.
double middleY(const QRect &r)
{
    return (r.top() + r.bottom()) / 2.0;
}
double middleX(const QRect &r)
{
    return (r.left() + r.right()) / 2.0;
}

QString describe(const QRect &r)
{
    return QStringLiteral("x %1..%2, y %3..%4")
        .arg(r.left())
        .arg(r.right())
        .arg(r.top())
        .arg(r.bottom());
}

QVariant otherValue(const QVariant &value)
{
    switch (static_cast<int>(value.type())) {
    case QMetaType::Bool:
        return !value.toBool();
    case QMetaType::QFont: {
        QFont f = value.value<QFont>();
        if (f.pointSize() > 0)
            f.setPointSize(f.pointSize() + 2);
        else
            f.setPixelSize(f.pixelSize() + 2);
        return f;
    }
    case QMetaType::QColor:
        return QColor(12, 34, 56);
    default:
        return QVariant();
    }
}

} // namespace

class TestDigitalClock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void texts_data();
    void texts();
    void dateTurnsAtMidnightWithTheTime();
    void secondChangesRepaintTicksDoNot();
    void secondStepRepaintsWhatChanged_data();
    void secondStepRepaintsWhatChanged();
    void realTimerRepaintsOncePerSecond();
    void firstReadingAtSecondZeroRequestsNoRepaint();
    void settersRepaintOnlyOnChange_data();
    void settersRepaintOnlyOnChange();
    void twoLinesInTheirBoxes();
    void dateAloneTakesTheUpperHalf();
    void bothLinesOffDrawNothing();
    void thirtyPixelLayout();
    void widgetFontDoesNotChangeTheDrawing();
};

void TestDigitalClock::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
}

void TestDigitalClock::texts_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");

    QTest::newRow("Monday in December") << at(2026, 12, 7, 9, 5, 3) << "09:05:03"
                                        << "Mon 7 Dec 2026";
    QTest::newRow("last second of New Year's Day") << at(2026, 1, 1, 23, 59, 59) << "23:59:59"
                                                   << "Thu 1 Jan 2026";
    QTest::newRow("two-digit day, milliseconds dropped")
        << at(2026, 12, 31, 13, 0, 0, 999) << "13:00:00"
        << "Thu 31 Dec 2026";
    QTest::newRow("midnight") << at(2027, 1, 1, 0, 0, 0) << "00:00:00"
                              << "Fri 1 Jan 2027";
    QTest::newRow("leap day") << at(2028, 2, 29, 12, 34, 56) << "12:34:56"
                              << "Tue 29 Feb 2028";
}

void TestDigitalClock::texts()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, time);
    QFETCH(QString, date);

    FixedClock clockSource(moment);
    VexoDigitalClock clock;
    clock.setClockSource(&clockSource);
    clock.checkTime();
    QCOMPARE(clock.timeText(), time);
    QCOMPARE(clock.dateText(), date);
}

void TestDigitalClock::dateTurnsAtMidnightWithTheTime()
{
    FixedClock clockSource(at(2026, 12, 31, 23, 59, 59, 950));
    VexoDigitalClock clock;
    clock.setClockSource(&clockSource);
    clock.checkTime();
    QCOMPARE(clock.timeText(), QStringLiteral("23:59:59"));
    QCOMPARE(clock.dateText(), QStringLiteral("Thu 31 Dec 2026"));
    clockSource.advance(100);
    clock.checkTime();
    QCOMPARE(clock.timeText(), QStringLiteral("00:00:00"));
    QCOMPARE(clock.dateText(), QStringLiteral("Fri 1 Jan 2027"));
}

void TestDigitalClock::secondChangesRepaintTicksDoNot()
{
    StandaloneClock<VexoDigitalClock> standalone(at(2026, 12, 7, 12, 0, 7, 50));
    auto &[clockSource, clock, counter] = standalone;
    QVERIFY(shownAndPainted(clock, counter));

    // Ticks 100 ms apart from 12:00:07.150 to 12:00:09.550: ten in each second, two changes.
    const int before = counter.paints;
    QString previous = clock.timeText();
    for (int tick = 0; tick < 25; ++tick) {
        const int paints = counter.paints;
        clockSource.advance(100);
        clock.checkTime();
        flushPaints();
        const QString text = clockSource.now().time().toString(QStringLiteral("hh:mm:ss"));
        QCOMPARE(clock.timeText(), text);
        QCOMPARE(counter.paints, paints + (text != previous ? 1 : 0));
        previous = text;
    }
    QCOMPARE(counter.paints - before, 2);
}

void TestDigitalClock::secondStepRepaintsWhatChanged_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<QFont>("font");
    QTest::addColumn<bool>("wholeClock");

    const QFont plain(QStringLiteral("DejaVu Sans"), 40);
    QFont slanted(QStringLiteral("DejaVu Sans"), 40, QFont::Bold, true);
    QTest::newRow("next second") << at(2026, 12, 7, 10, 8, 30) << at(2026, 12, 7, 10, 8, 31)
                                 << plain << false;
    QTest::newRow("new hour") << at(2026, 12, 7, 10, 59, 59) << at(2026, 12, 7, 11, 0, 0) << plain
                              << false;
    // Italic glyphs reach past their advance.
    QTest::newRow("bold italic") << at(2026, 12, 7, 17, 47, 38) << at(2026, 12, 7, 17, 47, 39)
                                 << slanted << false;
    QTest::newRow("midnight") << at(2026, 12, 7, 23, 59, 59) << at(2026, 12, 8, 0, 0, 0) << plain
                              << true;
}

// A new second repaints where the time's ink lies; every pixel that changes lies in the
// repainted region, and the clock painted only there matches a whole new clock.
void TestDigitalClock::secondStepRepaintsWhatChanged()
{
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(QFont, font);
    QFETCH(bool, wholeClock);

    Stage stage(QSize(410, 111), false);
    stage.clock->setTimeDisplayFont(font);
    stage.clock->setDateDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    stage.backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stage.backdrop));
    stage.time.set(from);
    stage.clock->checkTime();
    flushPaints();
    const QImage before = stage.picture();

    PaintCounter counter(stage.clock);
    stage.time.set(to);
    stage.clock->checkTime();
    flushPaints();
    const QRegion painted = counter.painted;
    const QImage after = stage.picture();
    QVERIFY(before != after);
    if (wholeClock) {
        QCOMPARE(painted, QRegion(stage.clock->rect()));
        return;
    }
    QVERIFY2(painted.boundingRect().height() < 111 * 3 / 4,
             qPrintable(describe(painted.boundingRect())));
    stage.checkRepaintCovers(before, after, painted);
}

void TestDigitalClock::realTimerRepaintsOncePerSecond()
{
    // Every tick of the clock's own timer reads 100 ms later than the one before.
    SteppingClock clockSource(at(2026, 12, 7, 12, 0, 7, 50), 100);
    VexoDigitalClock clock;
    PaintCounter counter(&clock);
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));
    flushPaints();

    QElapsedTimer elapsed;
    elapsed.start();
    clock.setClockSource(&clockSource);
    const int before = counter.paints;
    QTRY_VERIFY_WITH_TIMEOUT(clockSource.readingCount() >= 21, 10000);
    const qint64 ms = elapsed.elapsed();
    flushPaints();
    const int readings = clockSource.readingCount();
    const int paints = counter.paints - before;

    // 21 or more readings at 100 ms intervals take two seconds at least.
    QVERIFY2(ms >= 1800, qPrintable(QString::number(ms)));
    // Seconds 7, 8 and 9 (and 10 if the test loop was slow to notice): one repaint each.
    const int secondsSeen = (readings - 1) / 10 + 1;
    QVERIFY2(paints >= 2 && paints <= secondsSeen,
             qPrintable(QStringLiteral("%1 paints for %2 readings").arg(paints).arg(readings)));
}

void TestDigitalClock::firstReadingAtSecondZeroRequestsNoRepaint()
{
    Stage stage(QSize(410, 111), false);
    FixedClock &clockSource = stage.time;
    clockSource.set(at(2026, 12, 7, 8, 15, 0, 200));
    VexoDigitalClock &fresh = *stage.clock;
    fresh.setTimeDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 30));
    PaintCounter counter(&fresh);
    stage.backdrop.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stage.backdrop));
    QTRY_VERIFY(counter.paints > 0);
    // The timer reads 08:15:00: the texts change, the seconds (0) do not.
    QTRY_COMPARE(fresh.timeText(), QStringLiteral("08:15:00"));
    flushPaints();
    const int paints = counter.paints;
    const int readings = clockSource.readingCount();
    QTRY_VERIFY(clockSource.readingCount() >= readings + 3);
    flushPaints();
    QCOMPARE(counter.paints, paints);

    // The next paint for any other reason shows the new text.
    QVERIFY(inkBox(stage.picture(), isTimeInk).isValid());

    clockSource.set(at(2026, 12, 7, 8, 15, 1, 0));
    const int paintsBefore = counter.paints;
    QTRY_COMPARE(fresh.timeText(), QStringLiteral("08:15:01"));
    QTRY_COMPARE(counter.paints, paintsBefore + 1);
}

void TestDigitalClock::settersRepaintOnlyOnChange_data()
{
    QTest::addColumn<int>("index");
    const QMetaObject &meta = VexoDigitalClock::staticMetaObject;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        QTest::newRow(meta.property(i).name()) << i;
}

void TestDigitalClock::settersRepaintOnlyOnChange()
{
    QFETCH(int, index);
    const QMetaProperty property = VexoDigitalClock::staticMetaObject.property(index);

    StandaloneClock<VexoDigitalClock> standalone(at(2026, 12, 7, 10, 15, 7));
    auto &[clockSource, clock, counter] = standalone;
    QVERIFY(shownAndPainted(clock, counter));

    const QVariant current = property.read(&clock);
    // The last write is an equal value built afresh, as the window's relayout writes its fonts
    // back.
    checkRepaintOnlyOnChange(clock, property, counter, otherValue(current), otherValue(current));
}

void TestDigitalClock::twoLinesInTheirBoxes()
{
    // The main window's band across the dial, with its fonts.
    const QFont timeFont(QStringLiteral("DejaVu Sans"), 40);
    const QFont dateFont(QStringLiteral("DejaVu Sans"), 24);
    Stage stage(QSize(410, 111));
    stage.clock->setTimeDisplayFont(timeFont);
    stage.clock->setDateDisplayFont(dateFont);
    const QImage image = stage.picture();

    const int half = 111 / 2;
    const int dateTop = QFontMetrics(timeFont).height();
    const QRect time = inkBox(image, isTimeInk);
    const QRect date = inkBox(image, isDateInk);
    QVERIFY(time.isValid());
    QVERIFY(date.isValid());

    // Time: centred in x 0..409, y 0..half-1. Date: centred in y dateTop..dateTop+half-1,
    // one time-font line down rather than at the middle.
    QVERIFY2(time.top() >= 0 && time.bottom() <= half - 1, qPrintable(describe(time)));
    QVERIFY2(qAbs(middleY(time) - (half - 1) / 2.0) <= 2.5, qPrintable(describe(time)));
    QVERIFY2(qAbs(middleX(time) - 409 / 2.0) <= 2.5, qPrintable(describe(time)));
    QVERIFY2(date.top() >= dateTop && date.bottom() <= dateTop + half - 1,
             qPrintable(describe(date)));
    QVERIFY2(qAbs(middleY(date) - (dateTop + (half - 1) / 2.0)) <= 2.5,
             qPrintable(describe(date) + QStringLiteral(" line %1").arg(dateTop)));
    QVERIFY2(qAbs(middleX(date) - 409 / 2.0) <= 2.5, qPrintable(describe(date)));

    // Full-strength ink in the lines' colours.
    bool whiteSeen = false, yellowSeen = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            whiteSeen |= c == White;
            yellowSeen |= c == Yellow;
        }
    }
    QVERIFY(whiteSeen);
    QVERIFY(yellowSeen);
}

void TestDigitalClock::dateAloneTakesTheUpperHalf()
{
    Stage stage(QSize(410, 111));
    stage.clock->setTimeDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 40));
    stage.clock->setDateDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    stage.clock->setTimeDisplay(false);
    const QImage image = stage.picture();

    const int half = 111 / 2;
    QVERIFY(!inkBox(image, isTimeInk).isValid());
    const QRect date = inkBox(image, isDateInk);
    QVERIFY(date.isValid());
    QVERIFY2(date.top() >= 0 && date.bottom() <= half - 1, qPrintable(describe(date)));
    QVERIFY2(qAbs(middleY(date) - (half - 1) / 2.0) <= 2.5, qPrintable(describe(date)));
    QVERIFY2(qAbs(middleX(date) - 409 / 2.0) <= 2.5, qPrintable(describe(date)));
}

void TestDigitalClock::bothLinesOffDrawNothing()
{
    Stage stage(QSize(410, 111));
    stage.clock->setTimeDisplay(false);
    stage.clock->setDateDisplay(false);
    const QImage image = stage.picture();
    int different = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            different += image.pixelColor(x, y) != Backdrop;
    }
    QCOMPARE(different, 0);

    // The same stage with the lines on does draw: the picture above is not empty by accident.
    stage.clock->setTimeDisplay(true);
    stage.clock->setDateDisplay(true);
    QVERIFY(inkBox(stage.picture(), isTimeInk).isValid());
}

void TestDigitalClock::thirtyPixelLayout()
{
    // The constructor's own size.
    VexoDigitalClock plain;
    QCOMPARE(plain.size(), QSize(100, 30));

    QFont timeFont(QStringLiteral("DejaVu Sans"));
    timeFont.setPixelSize(7);
    QFont dateFont(QStringLiteral("DejaVu Sans"));
    dateFont.setPixelSize(8);
    Stage stage(QSize(100, 30));
    stage.clock->setTimeDisplayFont(timeFont);
    stage.clock->setDateDisplayFont(dateFont);
    const QImage image = stage.picture();

    // Time box y 0..14; date box 15 pixels high from the time font's line height.
    const int dateTop = QFontMetrics(timeFont).height();
    QVERIFY2(dateTop + 7 <= 15 + 7 - 4, "the fonts must set the date box apart from the half");
    const QRect time = inkBox(image, isTimeInk);
    const QRect date = inkBox(image, isDateInk);
    QVERIFY2(time.top() >= 0 && time.bottom() <= 14, qPrintable(describe(time)));
    QVERIFY2(qAbs(middleY(time) - 7.0) <= 1.5, qPrintable(describe(time)));
    QVERIFY2(date.top() >= dateTop && date.bottom() <= dateTop + 14, qPrintable(describe(date)));
    QVERIFY2(qAbs(middleY(date) - (dateTop + 7.0)) <= 1.5,
             qPrintable(describe(date) + QStringLiteral(" line %1").arg(dateTop)));
}

void TestDigitalClock::widgetFontDoesNotChangeTheDrawing()
{
    Stage stage(QSize(410, 111));
    stage.clock->setTimeDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 40));
    stage.clock->setDateDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    const QImage before = stage.picture();
    stage.clock->setFont(QFont(QStringLiteral("Bitstream Vera Sans"), 36, QFont::Bold, false));
    const QImage after = stage.picture();
    QVERIFY(inkBox(before, isTimeInk).isValid());
    QVERIFY(before == after);
}

ORVANE_TEST_MAIN(TestDigitalClock)
#include "tst_digitalclock.moc"
