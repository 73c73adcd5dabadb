#include "app/mainwindow.h"
#include "mainwindowprobe.h"
#include "studioclock/clockstatus.h"
#include "testsupport.h"
#include "widgets/mylabel.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QWindow>
#include <QtTest>

// Full screen in a real window: F11 and a double-click on the panel toggle it, the pointer
// hides after resting and comes back when moved, and the display setting starts it.
class TestFullScreen : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void togglesAndHidesThePointer();
    void keysAndEsc();
    void startsAsTheSettingsSay_data();
    void startsAsTheSettingsSay();
};

namespace {

// A point on the panel itself, away from the captions and the settings button.
QWidget *panelPointTarget(MainWindow &window, QPoint *local)
{
    const QPoint onWindow(window.width() / 2, window.height() / 4);
    QWidget *target = window.childAt(onWindow);
    if (!target)
        target = &window;
    *local = target->mapFrom(&window, onWindow);
    return target;
}

// Pointer movement as the window system delivers it: to the window's native window, whatever
// widget lies under it.
void movePointer(MainWindow &window, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, window.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &move);
}

bool pointerBlank(const MainWindow &window)
{
    return window.cursor().shape() == Qt::BlankCursor;
}

} // namespace

void TestFullScreen::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestFullScreen::togglesAndHidesThePointer()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    FullScreenControl &control = MainWindowTestAccess::fullScreen(window);
    QCOMPARE(control.hideDelayMs(), 3000);
    // A shorter rest, so that the test waits less; the rule is the same.
    constexpr int DelayMs = 400;
    control.setHideDelayMs(DelayMs);
    const QRect screen = window.screen()->geometry();

    // Not in full screen, the pointer never hides and nothing waits to hide it.
    movePointer(window, QPoint(10, 10));
    QVERIFY(!control.pointerTimerActive());

    QElapsedTimer rest;
    QTest::keyClick(&window, Qt::Key_F11);
    rest.start();
    QTRY_VERIFY(window.isFullScreen());
    // What the window system shows; the widget's own record may lag behind on some platforms.
    QTRY_COMPARE(window.windowHandle()->geometry(), screen);
    QVERIFY(!pointerBlank(window));
    QTRY_VERIFY_WITH_TIMEOUT(pointerBlank(window), 10000);
    QVERIFY2(rest.elapsed() >= DelayMs - 20, qPrintable(QString::number(rest.elapsed())));
    // Hidden, the program has nothing more to time: an idle display is not woken again.
    QVERIFY(!control.pointerTimerActive());

    // A movement brings it back at once, and another rest hides it again.
    movePointer(window, QPoint(200, 150));
    QVERIFY(!pointerBlank(window));
    QVERIFY(control.pointerTimerActive());
    // Movements keep it shown: each restarts the rest.
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(DelayMs / 2);
        movePointer(window, QPoint(200 + i, 150));
        QVERIFY(!pointerBlank(window));
    }
    QTRY_VERIFY_WITH_TIMEOUT(pointerBlank(window), 10000);

    // A double-click on the panel goes back to the window, with the pointer.
    QPoint local;
    QWidget *target = panelPointTarget(window, &local);
    QVERIFY2(!qobject_cast<myLabel *>(target), "the point chosen is on a clickable label");
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, local);
    QTRY_VERIFY(!window.isFullScreen());
    QVERIFY(!pointerBlank(window));
    QVERIFY(!control.pointerTimerActive());
    QTRY_VERIFY(window.windowHandle()->geometry() != screen);

    // And a double-click fills the screen again, F11 leaves it.
    target = panelPointTarget(window, &local);
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, local);
    QTRY_VERIFY(window.isFullScreen());
    QTest::keyClick(&window, Qt::Key_F11);
    QTRY_VERIFY(!window.isFullScreen());
    QVERIFY(!pointerBlank(window));
}

// F1 lists the keys over the panel and any key closes the list; Esc stops a running count-down
// first and only then leaves full screen.
void TestFullScreen::keysAndEsc()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClick(&window, Qt::Key_F1);
    auto *keys = window.findChild<QLabel *>(QStringLiteral("label_keys"));
    QVERIFY(keys);
    QVERIFY(keys->isVisible());
    QVERIFY2(keys->text().contains(QStringLiteral("Esc")), qPrintable(keys->text()));
    QVERIFY(window.rect().contains(keys->geometry()));
    // None of its words is cut off.
    QVERIFY2(
        keys->width() >= keys->sizeHint().width(),
        qPrintable(QStringLiteral("%1 < %2").arg(keys->width()).arg(keys->sizeHint().width())));
    // The key that closes it does nothing else: C starts no count-down.
    ClockStatus *clock = MainWindowTestAccess::clockStatus(window);
    MainWindowTestAccess::clockSettings(window).countDownSeconds = 30;
    QTest::keyClick(&window, Qt::Key_C);
    QVERIFY(!keys->isVisible());
    QVERIFY(!clock->countDownActive());

    QTest::keyClick(&window, Qt::Key_F11);
    QTRY_VERIFY(window.isFullScreen());
    QTest::keyClick(&window, Qt::Key_C);
    QVERIFY(clock->countDownActive());
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!clock->countDownActive());
    QVERIFY(window.isFullScreen());
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_VERIFY(!window.isFullScreen());
}

void TestFullScreen::startsAsTheSettingsSay_data()
{
    QTest::addColumn<QString>("stored"); // the [display] group's start_full_screen, or none
    QTest::addColumn<bool>("option"); // --fullscreen
    QTest::addColumn<bool>("expected");

    QTest::newRow("nothing stored, no option: a window, as ever") << "" << false << false;
    QTest::newRow("setting on") << "true" << false << true;
    QTest::newRow("setting off") << "false" << false << false;
    QTest::newRow("option beats the setting") << "false" << true << true;
}

void TestFullScreen::startsAsTheSettingsSay()
{
    QFETCH(QString, stored);
    QFETCH(bool, option);
    QFETCH(bool, expected);

    if (!stored.isEmpty()) {
        QSettings file(OrvaneTest::isolatedSettings().settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("display/start_full_screen"), stored);
    }
    MainWindow window;
    window.showAtStart(option);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.isFullScreen(), expected);
    if (expected)
        QTRY_COMPARE(window.windowHandle()->geometry(), window.screen()->geometry());
    else
        QCOMPARE(window.size(), QSize(986, 580));
}

ORVANE_TEST_MAIN(TestFullScreen)
#include "tst_fullscreen.moc"
