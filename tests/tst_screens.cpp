#include "mainwindow.h"
#include "mainwindowprobe.h"
#include "screens.h"
#include "testsupport.h"

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
    QTest::newRow("two screens, normal window right of all") << pair << 3840 << false << 2;
    QTest::newRow("two screens, maximised window at 3832") << pair << 3832 << true << 2;
    QTest::newRow("two screens, window far left") << pair << -5000 << false << 0;

    // A task bar on the left of the first screen leaves its available area starting at 60.
    const QVector<QRect> leftBar = { QRect(60, 0, 1860, 1080), QRect(1920, 0, 1920, 1080) };
    QTest::newRow("left task bar, window at 30") << leftBar << 30 << false << 0;

    // Screen 0 sits right of screen 1: the index order decides, not the position.
    const QVector<QRect> swapped = { QRect(1920, 0, 1920, 1080), QRect(0, 0, 1920, 1080) };
    QTest::newRow("swapped screens, window at 100") << swapped << 100 << false << 0;
    QTest::newRow("swapped screens, window at 3900") << swapped << 3900 << false << 2;

    // Stacked screens share their horizontal range: only x is looked at.
    const QVector<QRect> stacked = { QRect(0, 0, 1920, 1080), QRect(0, 1080, 1920, 1080) };
    QTest::newRow("stacked screens, window on the lower one") << stacked << 100 << false << 0;

    const QVector<QRect> three
        = { QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080), QRect(3200, 0, 1024, 768) };
    QTest::newRow("three screens, window on the third") << three << 3300 << false << 2;
    QTest::newRow("three screens, window right of all") << three << 4224 << false << 3;

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

ORVANE_TEST_MAIN(TestScreens)
#include "tst_screens.moc"
