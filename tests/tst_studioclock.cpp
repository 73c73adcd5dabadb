// The studio clock on a real window: one wake a second drives both clocks, the end-time marker
// stands where the face's geometry puts it, the sync lamp follows the kernel's answer, and a
// count-down runs from the C key to time up.
#include "dialogs/ccountdowndialog.h"
#include "dialogs/cendtimedialog.h"
#include "fixedclock.h"
#include "mainwindowprobe.h"
#include "modalanswer.h"
#include "paintcounter.h"
#include "studioclock/clockstatus.h"
#include "storedsettings.h"
#include "studioclock/secondticker.h"
#include "testsupport.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/vexodigitalclock.h"
#include "widgets/vexolamp.h"

#include <QAction>
#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimeEdit>
#include <QtMath>

#include <cmath>
#include <memory>

namespace {

// The analog clock's face in the window's pixels: radius in face units, angle clockwise from
// 12 o'clock.
QPoint facePoint(const VexoAnalogClock *clock, const QWidget *window, double radius,
                 double degrees)
{
    const QPoint origin = clock->mapTo(window, QPoint(0, 0));
    const QPointF centre(origin.x() + clock->width() / 2, origin.y() + clock->height() / 2);
    const double scale = qMin(clock->width(), clock->height()) / 200.0;
    const double a = qDegreesToRadians(degrees);
    const QPointF p = centre + QPointF(radius * std::sin(a), -radius * std::cos(a)) * scale;
    return QPoint(qFloor(p.x()), qFloor(p.y()));
}

bool isRed(const QColor &c)
{
    return c.red() > 180 && c.green() < 80 && c.blue() < 80;
}

// The colour most of a lamp's pixels have: its lit window, whatever the legend. With
// `inkOnly`, the colour of the words of a legend that stands on the black dial.
QColor lampColour(const QImage &image, const QRect &lamp, bool inkOnly = false)
{
    QMap<QRgb, int> counts;
    for (int y = lamp.top() + 2; y < lamp.bottom() - 1; ++y)
        for (int x = lamp.left() + 2; x < lamp.right() - 1; ++x)
            if (!inkOnly || qGray(image.pixel(x, y)) > 40)
                ++counts[image.pixel(x, y)];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    }
    return QColor(best);
}

// The entry of the window's right-click menu that reads `text`, as the menu is built now.
QAction *menuEntry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

} // namespace

class TestStudioClock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clocksChangeTogetherOnTheSecond();
    void endTimeMarkerAndTimeLeft();
    void syncLampFollowsTheKernel();
    void countDownFromKeyToTimeUp();
    void countDownStopsFromTheMenu();
    void onAirFromTheMenuAndTheSlot();
    void dialogsSetAndKeepThem();
    void unreadableEndTimeIsOffAndSaid();

private:
    void setTime(const QTime &t);
    QImage shot();

    std::unique_ptr<MainWindow> window;
    FixedClock time;
    VexoAnalogClock *analog = nullptr;
    VexoDigitalClock *digital = nullptr;
    ClockStatus *status = nullptr;
};

void TestStudioClock::init()
{
    OrvaneTest::isolatedSettings().clear();
    window = std::make_unique<MainWindow>();
    analog = window->findChild<VexoAnalogClock *>();
    digital = window->findChild<VexoDigitalClock *>();
    QVERIFY(analog && digital);
    status = MainWindowTestAccess::clockStatus(*window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestStudioClock::cleanup()
{
    window.reset();
}

void TestStudioClock::setTime(const QTime &t)
{
    time.set(QDateTime(QDate(2026, 12, 8), t));
    analog->setClockSource(&time);
    digital->setClockSource(&time);
    window->secondTick();
}

QImage TestStudioClock::shot()
{
    flushPaints();
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The clocks' own polls rest; the window's wake, one a second just after the boundary, is
// what moves both of them.
void TestStudioClock::clocksChangeTogetherOnTheSecond()
{
    QVERIFY(analog->getDriven());
    QVERIFY(digital->getDriven());
    SecondTicker *ticker = MainWindowTestAccess::secondTicker(*window);
    QVERIFY(ticker->isActive());
    // A new window shows the time from its first paint, before the first wake.
    {
        MainWindow fresh;
        const QString now = fresh.findChild<VexoDigitalClock *>()->timeText();
        QVERIFY2(QTime::fromString(now, QStringLiteral("hh:mm:ss")).isValid(), qPrintable(now));
    }

    analog->setClockSource(&time);
    digital->setClockSource(&time);
    time.set(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));
    // Only the wake reads the time: standing still, the clocks show the old second.
    QTRY_COMPARE_WITH_TIMEOUT(digital->timeText(), QStringLiteral("10:15:30"), 3000);
    QCOMPARE(analog->displayedSecond(), 30);
    time.set(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 31)));
    QTRY_COMPARE_WITH_TIMEOUT(digital->timeText(), QStringLiteral("10:15:31"), 3000);
    QCOMPARE(analog->displayedSecond(), 31);

    // A widget on its own still keeps time by itself.
    VexoDigitalClock alone;
    FixedClock own(QDateTime(QDate(2026, 12, 8), QTime(8, 0, 5)));
    alone.setClockSource(&own);
    QTRY_COMPARE_WITH_TIMEOUT(alone.timeText(), QStringLiteral("08:00:05"), 2000);
}

void TestStudioClock::endTimeMarkerAndTimeLeft()
{
    ClockSettings &settings = MainWindowTestAccess::clockSettings(*window);
    settings.endMode = ClockSettings::EndHourly;
    settings.endHourly = QTime(0, 22, 30);
    status->apply(settings);
    QCOMPARE(analog->getEndTimeHour(), 24);
    QCOMPARE(analog->getEndTimeMinute(), 22);
    QCOMPARE(analog->getEndTimeSecond(), 30);

    // 17.5 minutes before: the marker at 22.5 minutes, no words yet, no approach arc.
    setTime(QTime(14, 5, 0));
    QImage image = shot();
    const double marker = 22.5 * 6.0;
    QVERIFY(isRed(image.pixelColor(facePoint(analog, window.get(), 90, marker))));
    QVERIFY(!isRed(image.pixelColor(facePoint(analog, window.get(), 90, 360 - marker))));
    QVERIFY(!isRed(image.pixelColor(facePoint(analog, window.get(), 99, marker - 30))));
    QVERIFY(status->endLamp()->isHidden());

    // Ten minutes before, the time left shows under the date.
    setTime(QTime(14, 12, 30));
    QVERIFY(status->endLamp()->isVisible());
    QCOMPARE(status->endLamp()->getLabel(), QStringLiteral("END"));
    QCOMPARE(status->endLamp()->getText(), QStringLiteral("10:00"));

    // Ten seconds before: the approach arc has run two thirds of the way back from the
    // marker, and the time left turns red.
    setTime(QTime(14, 22, 20));
    image = shot();
    QCOMPARE(status->endLamp()->getText(), QStringLiteral("00:10"));
    QVERIFY(isRed(image.pixelColor(facePoint(analog, window.get(), 99, marker - 30))));
    QVERIFY(!isRed(image.pixelColor(facePoint(analog, window.get(), 99, marker - 80))));
    QVERIFY(isRed(lampColour(image, status->endLamp()->geometry(), true)));

    // Passed: a join that was missed is counted up in red for a minute, then no words until
    // the next hour's last ten minutes.
    setTime(QTime(14, 22, 31));
    QVERIFY(status->endLamp()->isVisible());
    QCOMPARE(status->endLamp()->getText(), QStringLiteral("+00:01"));
    QVERIFY(isRed(lampColour(shot(), status->endLamp()->geometry(), true)));
    setTime(QTime(14, 23, 35));
    QVERIFY(status->endLamp()->isHidden());
}

void TestStudioClock::syncLampFollowsTheKernel()
{
    VexoLamp *lamp = status->syncLamp();
    QVERIFY(lamp->isVisible());
    // Where nothing is injected, the lamp says what the kernel says, and never guesses.
    QCOMPARE(lamp->getText(), ClockSync::legend(ClockSync::readKernel()));

    KernelClock kernel { true, 0, 120000, 3000 };
    status->syncWatch().setReader([&kernel] { return kernel; });
    setTime(QTime(9, 41, 10));
    QCOMPARE(lamp->getText(), QStringLiteral("SYNC \u00b13 ms"));
    QImage image = shot();
    QColor c = lampColour(image, lamp->geometry());
    QVERIFY2(c.green() > 150 && c.red() < 80, qPrintable(c.name()));

    // The time daemon stopped: the kernel's maximum error grows past 16 s.
    kernel = KernelClock { true, 0, 16000000, 16000000 };
    for (int s = 0; s < ClockSyncWatch::IntervalSeconds; ++s)
        setTime(QTime(9, 41, 11 + s));
    QCOMPARE(lamp->getText(), QStringLiteral("NOT SYNCED"));
    image = shot();
    c = lampColour(image, lamp->geometry());
    // Violet: no other state lights it, so it is never taken for a fault of the input.
    QVERIFY2(c.blue() > 200 && c.red() > 120 && c.green() < 160, qPrintable(c.name()));

    // "Display settings..." can hide it.
    MainWindowTestAccess::displaySettings(*window).showClockSync = false;
    status->setShowSync(false);
    QVERIFY(lamp->isHidden());
}

void TestStudioClock::countDownFromKeyToTimeUp()
{
    ClockSettings &settings = MainWindowTestAccess::clockSettings(*window);
    settings.countDownSeconds = 180;
    // Elapsed time passes as the test says.
    qint64 elapsed = 0;
    status->setElapsedClock([&elapsed] { return elapsed; });
    setTime(QTime(16, 0, 0));
    QTest::keyClick(window.get(), Qt::Key_C);
    VexoLamp *lamp = status->countDownLamp();
    QVERIFY(lamp->isVisible());
    QCOMPARE(lamp->getLabel(), QStringLiteral("COUNT"));
    QCOMPARE(lamp->getText(), QStringLiteral("03:00"));
    // More than a minute to go: no arc yet.
    QCOMPARE(analog->getCountDownTime(), 0.0f);

    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    elapsed = 157 * 1000;
    status->secondTick(start + 157 * 1000);
    QCOMPARE(lamp->getText(), QStringLiteral("00:23"));
    QCOMPARE(analog->getCountDownTime(), 23.0f);
    // The system clock set back an hour: a second later, a second less to go.
    elapsed = 158 * 1000;
    status->secondTick(start - 3600 * 1000 + 158 * 1000);
    QCOMPARE(lamp->getText(), QStringLiteral("00:22"));

    elapsed = 180 * 1000 + 1;
    status->secondTick(start + 180 * 1000 + 1);
    QCOMPARE(lamp->getText(), QStringLiteral("TIME UP"));
    QCOMPARE(analog->getCountDownTime(), 60.0f);
    QVERIFY(isRed(analog->getCountDownColor()));
    elapsed = 186 * 1000;
    status->secondTick(start + 186 * 1000);
    QVERIFY(lamp->isHidden());
    QCOMPARE(analog->getCountDownTime(), 0.0f);

    // C again starts the last one anew, Esc ends it.
    QTest::keyClick(window.get(), Qt::Key_C);
    QCOMPARE(lamp->getText(), QStringLiteral("03:00"));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(lamp->isHidden());
    QVERIFY(!status->countDownActive());
}

// A running count-down can be stopped from the menu as well as with Esc; the entry is there
// only while one runs.
void TestStudioClock::countDownStopsFromTheMenu()
{
    const QString stop = QStringLiteral("Stop count-down");
    MainWindowTestAccess::clockSettings(*window).countDownSeconds = 60;
    std::unique_ptr<QMenu> menu(MainWindowTestAccess::createContextMenu(*window));
    QVERIFY(!menuEntry(menu.get(), stop));

    QTest::keyClick(window.get(), Qt::Key_C);
    QVERIFY(status->countDownActive());
    menu.reset(MainWindowTestAccess::createContextMenu(*window));
    QAction *entry = menuEntry(menu.get(), stop);
    QVERIFY(entry);
    entry->trigger();
    QVERIFY(!status->countDownActive());
    QVERIFY(status->countDownLamp()->isHidden());
}

// ON AIR: a checkable menu entry, and one slot for whatever else drives it; the lamp on the
// dial follows both, and a program started anew is not on air.
void TestStudioClock::onAirFromTheMenuAndTheSlot()
{
    auto *lamp = window->findChild<VexoLamp *>(QStringLiteral("lamp_on_air"));
    QVERIFY(lamp);
    QVERIFY(!window->isOnAir());
    QVERIFY(!isRed(lampColour(shot(), lamp->geometry())));

    std::unique_ptr<QMenu> menu(MainWindowTestAccess::createContextMenu(*window));
    QAction *entry = menuEntry(menu.get(), QStringLiteral("ON AIR"));
    QVERIFY(entry);
    QVERIFY(entry->isCheckable());
    QVERIFY(!entry->isChecked());
    entry->trigger();
    QVERIFY(window->isOnAir());
    QVERIFY(isRed(lampColour(shot(), lamp->geometry())));
    QCOMPARE(lamp->getText(), QStringLiteral("ON AIR"));
    menu.reset(MainWindowTestAccess::createContextMenu(*window));
    QVERIFY(menuEntry(menu.get(), QStringLiteral("ON AIR"))->isChecked());

    window->setOnAir(false);
    QVERIFY(!window->isOnAir());
    QVERIFY(!isRed(lampColour(shot(), lamp->geometry())));
    window->setOnAir(true);
    MainWindowTestAccess::writeSettings(*window);
    menu.reset();
    window.reset();
    window = std::make_unique<MainWindow>();
    QVERIFY(!window->isOnAir());
}

// What the operator sets in the two dialogs takes effect at once and is kept in [clock],
// where the next start finds it.
void TestStudioClock::dialogsSetAndKeepThem()
{
    ModalAnswer<CEndTimeDialog> end([](CEndTimeDialog *dialog) {
        dialog->findChild<QRadioButton *>(QStringLiteral("radioButton_end_hourly"))
            ->setChecked(true);
        dialog->findChild<QTimeEdit *>(QStringLiteral("timeEdit_end_hourly"))
            ->setTime(QTime(0, 59, 50));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    MainWindowTestAccess::openEndTime(*window);
    QVERIFY(end.answered());
    QVERIFY(analog->getEndTime());
    QCOMPARE(analog->getEndTimeHour(), 24);
    QCOMPARE(analog->getEndTimeMinute(), 59);
    QCOMPARE(analog->getEndTimeSecond(), 50);

    ModalAnswer<CCountDownDialog> count([](CCountDownDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_3min"))->click();
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    MainWindowTestAccess::openCountDown(*window);
    QVERIFY(count.answered());
    QVERIFY(status->countDownActive());
    QCOMPARE(status->countDownLamp()->getText(), QStringLiteral("03:00"));

    QSettings stored(OrvaneTest::isolatedSettings().settingsFile(), QSettings::IniFormat);
    // Only groups were added: the twelve top-level keys stay as they were.
    QCOMPARE(stored.childKeys().size(), 12);
    QCOMPARE(stored.value(QStringLiteral("clock/end_mode")).toString(), QStringLiteral("hourly"));
    QCOMPARE(stored.value(QStringLiteral("clock/end_hourly")).toString(), QStringLiteral("59:50"));
    QCOMPARE(stored.value(QStringLiteral("clock/count_down")).toInt(), 180);

    window.reset();
    MainWindow again;
    const ClockSettings read = MainWindowTestAccess::clockSettings(again);
    QCOMPARE(int(read.endMode), int(ClockSettings::EndHourly));
    QCOMPARE(read.countDownSeconds, 180);
    QVERIFY(again.findChild<VexoAnalogClock *>()->getEndTime());
}

// A stored end time that cannot be read is not replaced by an invented one: it is off, and the
// window says so until the operator sets one.
void TestStudioClock::unreadableEndTimeIsOffAndSaid()
{
    window.reset();
    QVERIFY(writeSettingsFile("[clock]\nend_mode=daily\nend_daily=23:59:60\n"));
    MainWindow shown;
    QVERIFY(!shown.findChild<VexoAnalogClock *>()->getEndTime());
    const QLabel *problem = shown.findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem);
    QVERIFY(!problem->isHidden());
    // After the hint of a display with no port chosen.
    QVERIFY2(problem->text().endsWith(QStringLiteral(" - end time unreadable, off")),
             qPrintable(problem->text()));

    ModalAnswer<CEndTimeDialog> end([](CEndTimeDialog *dialog) {
        dialog->findChild<QRadioButton *>(QStringLiteral("radioButton_end_daily"))->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton_ok"))->click();
    });
    MainWindowTestAccess::openEndTime(shown);
    QVERIFY(end.answered());
    QVERIFY(shown.findChild<VexoAnalogClock *>()->getEndTime());
    QVERIFY2(!problem->text().contains(QStringLiteral("end time")), qPrintable(problem->text()));
}

ORVANE_TEST_MAIN(TestStudioClock)
#include "tst_studioclock.moc"
