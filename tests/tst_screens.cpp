#include "app/mainwindow.h"
#include "mainwindowprobe.h"
#include "testsupport.h"
#include "walldisplay/screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QtTest>

class TestScreens : public QObject
{
    Q_OBJECT

private slots:
    void screenNumberFor_data();
    void screenNumberFor();
    void singleRealScreenIsAlwaysZero_data();
    void singleRealScreenIsAlwaysZero();
    void placeWindow_data();
    void placeWindow();
    void storedNormalGeometry_data();
    void storedNormalGeometry();
    void lostWindowOpensCentredOnThePrimary();
};

void TestScreens::screenNumberFor_data()
{
    QTest::addColumn<QVector<QRect>>("areas");
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<int>("expected");

    // Two 1920 wide screens side by side; the second has a task bar at its bottom.
    const QVector<QRect> pair = { QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1040) };
    QTest::newRow("two screens, normal window at 1915") << pair << 1915 << false << 0;
    QTest::newRow("two screens, maximised window at 1915") << pair << 1915 << true << 1;
    QTest::newRow("two screens, maximised window at 1911") << pair << 1911 << true << 0;
    QTest::newRow("two screens, normal window at 1919") << pair << 1919 << false << 0;
    QTest::newRow("two screens, normal window at 1920") << pair << 1920 << false << 1;
    QTest::newRow("two screens, maximised window at -8") << pair << -8 << true << 0;
    QTest::newRow("two screens, normal window at 3839") << pair << 3839 << false << 1;
    QTest::newRow("two screens, normal window right of all") << pair << 3840 << false << 1;
    QTest::newRow("two screens, maximised window at 3832") << pair << 3832 << true << 1;
    QTest::newRow("two screens, window far left") << pair << -5000 << false << 0;

    // A task bar on the left of the first screen leaves its available area starting at 60.
    const QVector<QRect> leftBar = { QRect(60, 0, 1860, 1080), QRect(1920, 0, 1920, 1080) };
    QTest::newRow("left task bar, window at 30") << leftBar << 30 << false << 0;

    // Screen 0 sits right of screen 1: the index order decides, not the position.
    const QVector<QRect> swapped = { QRect(1920, 0, 1920, 1080), QRect(0, 0, 1920, 1080) };
    QTest::newRow("swapped screens, window at 100") << swapped << 100 << false << 0;
    QTest::newRow("swapped screens, window at 3900") << swapped << 3900 << false << 0;

    // Stacked screens share their horizontal range: only x is looked at.
    const QVector<QRect> stacked = { QRect(0, 0, 1920, 1080), QRect(0, 1080, 1920, 1080) };
    QTest::newRow("stacked screens, window on the lower one") << stacked << 100 << false << 0;

    const QVector<QRect> three
        = { QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080), QRect(3200, 0, 1024, 768) };
    QTest::newRow("three screens, window on the third") << three << 3300 << false << 2;
    QTest::newRow("three screens, window right of all") << three << 4224 << false << 2;

    const QVector<QRect> one = { QRect(0, 0, 1920, 1080) };
    QTest::newRow("one screen, window on it") << one << 100 << false << 0;
    QTest::newRow("one screen, window right of it") << one << 5000 << true << 0;
    QTest::newRow("no screens") << QVector<QRect>() << 100 << false << 0;
}

void TestScreens::screenNumberFor()
{
    QFETCH(QVector<QRect>, areas);
    QFETCH(int, x);
    QFETCH(bool, maximised);
    QFETCH(int, expected);

    // The vertical position never matters.
    for (int y : { 0, 1500, -300 })
        QCOMPARE(::screenNumberFor(areas, QPoint(x, y), maximised), expected);
}

void TestScreens::singleRealScreenIsAlwaysZero_data()
{
    QTest::addColumn<QPoint>("position");

    QTest::newRow("at the origin") << QPoint(0, 0);
    QTest::newRow("right of the screen") << QPoint(9000, 40);
    QTest::newRow("left of the screen") << QPoint(-3000, 40);
}

void TestScreens::singleRealScreenIsAlwaysZero()
{
    QFETCH(QPoint, position);
    QCOMPARE(QGuiApplication::screens().size(), 1);

    {
        MainWindow window;
        window.move(position);
        QCOMPARE(window.pos(), position);
        QCOMPARE(MainWindowTestAccess::currentScreenNumber(window), 0);
    }
    QSettings file(OrvaneTest::isolatedSettings().settingsFile(), QSettings::IniFormat);
    QVERIFY(file.contains(QStringLiteral("current_screen")));
    QCOMPARE(file.value(QStringLiteral("current_screen")).toInt(), 0);
}

void TestScreens::placeWindow_data()
{
    QTest::addColumn<QVector<QRect>>("areas");
    QTest::addColumn<int>("primary");
    QTest::addColumn<int>("storedScreen");
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("screen");
    QTest::addColumn<QRect>("geometry"); // empty: stays as restored

    const QSize design(986, 580);
    // A laptop on the left, a 1080p screen right of it with a task bar, the primary one.
    const QVector<QRect> desk = { QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1040) };
    const QRect onLaptop(100, 80, 986, 580);
    const QRect onBig(1500, 200, 1200, 700);
    const QRect centredOnBig(1280 + (1920 - 986) / 2, (1040 - 580) / 2, 986, 580);
    const QRect centredOnLaptop((1280 - 986) / 2, (800 - 580) / 2, 986, 580);

    QTest::newRow("kept on its screen") << desk << 1 << 0 << onLaptop << -1 << 0 << QRect();
    QTest::newRow("kept on the other") << desk << 1 << 1 << onBig << -1 << 1 << QRect();
    QTest::newRow("empty store: kept at the first screen's corner")
        << desk << 1 << 0 << QRect() << -1 << 0 << QRect();
    QTest::newRow("stored screen gone") << desk << 1 << 2 << onBig << -1 << 1 << centredOnBig;
    QTest::newRow("stored screen gone, no geometry")
        << desk << 1 << 5 << QRect() << -1 << 1 << centredOnBig;
    QTest::newRow("negative stored screen") << desk << 1 << -3 << onLaptop << -1 << 1
                                            << centredOnBig;
    QTest::newRow("off every screen, right") << desk << 1 << 1 << QRect(5000, 100, 986, 580)
                                             << -1 << 1 << centredOnBig;
    QTest::newRow("off every screen, above") << desk << 1 << 0 << QRect(100, -2000, 986, 580)
                                             << -1 << 1 << centredOnBig;
    // Only a sliver showing counts as lost: its centre is off every screen.
    QTest::newRow("mostly off the left edge") << desk << 1 << 0 << QRect(-900, 100, 986, 580)
                                              << -1 << 1 << centredOnBig;
    QTest::newRow("half over both screens: kept")
        << desk << 1 << 0 << QRect(800, 100, 986, 580) << -1 << 1 << QRect();
    QTest::newRow("larger than its screen") << desk << 1 << 0 << QRect(0, 0, 1900, 1000) << -1
                                            << 1 << centredOnBig;
    QTest::newRow("a task bar's height too tall") << desk << 1 << 1 << QRect(1280, 0, 1920, 1080)
                                                  << -1 << 1 << centredOnBig;
    QTest::newRow("exactly the available area: kept")
        << desk << 1 << 1 << QRect(1280, 0, 1920, 1040) << -1 << 1 << QRect();
    // The design size is the least a window can be: on a smaller screen it is what it shows.
    const QVector<QRect> small = { QRect(0, 0, 800, 600) };
    QTest::newRow("small screen, design size kept") << small << 0 << 0 << QRect(0, 10, 986, 580)
                                                    << -1 << 0 << QRect();
    QTest::newRow("small screen, lost: at its corner")
        << small << 0 << 0 << QRect(3000, 10, 986, 580) << -1 << 0 << QRect(0, 0, 986, 580);
    // The primary screen need not be the first, nor exist in the list's order.
    QTest::newRow("primary out of range: the first")
        << desk << 7 << 3 << onLaptop << -1 << 0 << centredOnLaptop;

    // A screen asked for on the command line.
    QTest::newRow("asked for, stored there: kept") << desk << 1 << 1 << onBig << 1 << 1
                                                   << QRect();
    QTest::newRow("asked for another") << desk << 1 << 0 << onLaptop << 1 << 1 << centredOnBig;
    QTest::newRow("asked for, empty store") << desk << 1 << 0 << QRect() << 0 << 0
                                            << centredOnLaptop;
    QTest::newRow("asked for, stored screen gone") << desk << 1 << 4 << onBig << 0 << 0
                                                   << centredOnLaptop;
    QTest::newRow("asked for a screen that is not there: as without")
        << desk << 1 << 0 << onLaptop << 5 << 0 << QRect();
    // Heads that all start at the origin, as some X servers report them: the screen asked for
    // wins among those that hold the window.
    const QVector<QRect> overlapping = { QRect(0, 0, 1280, 720), QRect(0, 0, 1920, 1080) };
    QTest::newRow("overlapping, stored on the second: kept")
        << overlapping << 0 << 1 << QRect(100, 100, 986, 580) << -1 << 1 << QRect();
    QTest::newRow("overlapping, asked for the second: kept")
        << overlapping << 0 << 0 << QRect(100, 100, 986, 580) << 1 << 1 << QRect();
    QTest::newRow("overlapping, below the first: on the second")
        << overlapping << 0 << 0 << QRect(0, 700, 986, 580) << -1 << 1 << QRect();
    QTest::newRow("overlapping, below both: lost")
        << overlapping << 0 << 1 << QRect(0, 900, 986, 580) << -1 << 0
        << QRect(147, 70, 986, 580);
    QTest::newRow("no screens at all") << QVector<QRect>() << 0 << 0 << onLaptop << -1 << 0
                                       << QRect();
}

void TestScreens::placeWindow()
{
    QFETCH(QVector<QRect>, areas);
    QFETCH(int, primary);
    QFETCH(int, storedScreen);
    QFETCH(QRect, stored);
    QFETCH(int, requested);

    const WindowPlacement placement
        = ::placeWindow(areas, primary, storedScreen, stored, QSize(986, 580), requested);
    QTEST(placement.screen, "screen");
    QTEST(placement.geometry, "geometry");
    // Wherever it goes, it can be seen: on the screen it belongs to.
    if (!placement.geometry.isEmpty() && areas.at(placement.screen).width() >= 986)
        QVERIFY(areas.at(placement.screen).contains(placement.geometry));
}

void TestScreens::storedNormalGeometry_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QRect>("expected");

    QByteArray saved;
    {
        QWidget probe;
        probe.setGeometry(5000, 40, 990, 600);
        saved = probe.saveGeometry();
    }
    QTest::newRow("as the toolkit saves it") << saved << QRect(5000, 40, 990, 600);
    QTest::newRow("empty") << QByteArray() << QRect();
    QTest::newRow("header only") << QByteArray("\x01\xd9\xd0\xcb\x00\x03\x00\x00", 8)
                                 << QRect();
    QByteArray future = saved;
    future[5] = 9; // a major version this program does not know
    QTest::newRow("unknown version") << future << QRect();
    QTest::newRow("garbage") << QByteArray("\x01\xd9\xd0\xcb\xff\x00garbage", 13) << QRect();
}

void TestScreens::storedNormalGeometry()
{
    QFETCH(QByteArray, block);
    QTEST(::storedNormalGeometry(block), "expected");
}

// The whole road with the real store: a window saved far right of every screen comes up
// centred on the primary one, where restoring alone would have left it at the edge.
void TestScreens::lostWindowOpensCentredOnThePrimary()
{
    QByteArray block;
    {
        QWidget probe;
        probe.setGeometry(9000, 300, 986, 580);
        block = probe.saveGeometry();
    }
    {
        QSettings file(OrvaneTest::isolatedSettings().settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("geometry"), block);
        file.setValue(QStringLiteral("current_screen"), 1);
    }
    MainWindow window;
    QRect expected(QPoint(), QSize(986, 580));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    if (area.width() >= 986 && area.height() >= 580)
        expected.moveCenter(area.center());
    else
        expected.moveTopLeft(area.topLeft());
    QCOMPARE(window.geometry(), expected);
    OrvaneTest::isolatedSettings().clear();
}

ORVANE_TEST_MAIN(TestScreens)
#include "tst_screens.moc"
