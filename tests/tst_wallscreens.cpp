#include "testsupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

// The real program on an X server with two screens (Xvfb with Xinerama): where its window
// opens, with and without the command line, read back from the X server. Xvfb's Xinerama
// puts both heads at the origin, so the screens are told apart by their sizes: the first is
// 1280 x 720, the second 1920 x 1080.

namespace {

const QRect First(0, 0, 1280, 720);
const QRect Second(0, 0, 1920, 1080);

QRect centred(const QRect &screen)
{
    QRect r(0, 0, 986, 580);
    r.moveCenter(screen.center());
    return r;
}

} // namespace

class TestWallScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void opensOnAVisibleScreen_data();
    void opensOnAVisibleScreen();
    void badCommandLineIsRefused_data();
    void badCommandLineIsRefused();

private:
    QRect windowGeometry(const QString &window);
    QString findWindow();

    QProcess xvfb;
    QString display;
    QProcessEnvironment toolEnvironment;
};

void TestWallScreens::initTestCase()
{
    for (const char *tool : { "Xvfb", "xdotool" })
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is missing (scripts/install-deps)").arg(tool)));
    // Without RandR the toolkit takes the screens from Xinerama; -noreset keeps the server
    // between the program's starts.
    display = OrvaneTest::startOwnXvfb(
        xvfb, { QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x720x24"),
                QStringLiteral("-screen"), QStringLiteral("1"), QStringLiteral("1920x1080x24"),
                QStringLiteral("+xinerama"), QStringLiteral("-extension"), QStringLiteral("RANDR"),
                QStringLiteral("-noreset") });
    QVERIFY2(!display.isEmpty(), "Xvfb reported no display");
    toolEnvironment = QProcessEnvironment::systemEnvironment();
    toolEnvironment.insert(QStringLiteral("DISPLAY"), display);
}

void TestWallScreens::cleanupTestCase()
{
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        if (!xvfb.waitForFinished(10000)) {
            xvfb.kill();
            xvfb.waitForFinished();
        }
    }
}

QString TestWallScreens::findWindow()
{
    QProcess search;
    search.setProcessEnvironment(toolEnvironment);
    search.start(QStringLiteral("xdotool"),
                 { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                   QStringLiteral("--name"), QStringLiteral("^Unknown - \\(") });
    if (!search.waitForFinished(10000))
        return QString();
    return QString::fromLatin1(search.readAllStandardOutput().split('\n').value(0).trimmed());
}

QRect TestWallScreens::windowGeometry(const QString &window)
{
    QProcess query;
    query.setProcessEnvironment(toolEnvironment);
    query.start(QStringLiteral("xdotool"), { QStringLiteral("getwindowgeometry"), window });
    if (!query.waitForFinished(10000))
        return QRect();
    const QString out = QString::fromLatin1(query.readAllStandardOutput());
    const QRegularExpressionMatch position
        = QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+)")).match(out);
    const QRegularExpressionMatch size
        = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(out);
    if (!position.hasMatch() || !size.hasMatch())
        return QRect();
    return QRect(position.captured(1).toInt(), position.captured(2).toInt(),
                 size.captured(1).toInt(), size.captured(2).toInt());
}

void TestWallScreens::opensOnAVisibleScreen_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("lostInStore"); // a geometry far right of every screen is stored
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<int>("storedScreen"); // what the program stores at its end
    QTest::addColumn<QRect>("afterF11"); // where F11 then puts it; empty: not pressed

    QTest::newRow("no options, empty store: the first screen's corner, as ever")
        << QStringList() << false << QRect(0, 0, 986, 580) << 0 << QRect();
    QTest::newRow("stored off every screen: centred on the primary")
        << QStringList() << true << centred(First) << 0 << QRect();
    QTest::newRow("--screen 1: centred on the second")
        << QStringList({ "--screen", "1" }) << false << centred(Second) << 1 << QRect();
    // Without a window manager, as on a kiosk's bare X server: the window leaves full screen by
    // itself.
    QTest::newRow("--fullscreen fills the first, F11 gives the window back")
        << QStringList({ "--fullscreen" }) << false << First << 0 << QRect(0, 0, 986, 580);
    QTest::newRow("--fullscreen --screen 1 fills the second")
        << QStringList({ "--fullscreen", "--screen", "1" }) << true << Second << 1 << QRect();
}

void TestWallScreens::opensOnAVisibleScreen()
{
    QFETCH(QStringList, options);
    QFETCH(bool, lostInStore);
    QFETCH(QRect, expected);
    QFETCH(int, storedScreen);
    QFETCH(QRect, afterF11);

    // A settings folder of its own, serial-only: nothing is ever broadcast.
    QTemporaryDir config;
    QVERIFY(config.isValid());
    {
        QSettings stored(config.path() + QStringLiteral("/Vexo/Unknown.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("is_server"), false);
        stored.setValue(QStringLiteral("use_udp"), false);
        if (lostInStore) {
            QWidget probe;
            probe.setGeometry(9000, 300, 986, 580);
            stored.setValue(QStringLiteral("geometry"), probe.saveGeometry());
            stored.setValue(QStringLiteral("current_screen"), 2);
        }
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The display is named by Qt's own -display option, which must keep working beside the
    // program's options.
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(ORVANE_METERS_BINARY),
                  QStringList({ QStringLiteral("-display"), display }) + options);
    QVERIFY(program.waitForStarted(10000));
    const auto stop = qScopeGuard([&program] {
        program.terminate();
        if (!program.waitForFinished(10000)) {
            program.kill();
            program.waitForFinished();
        }
    });

    // The first start on a machine builds the font cache: wait for the window, however long.
    QString window;
    const QDeadlineTimer mapped(60000);
    while (window.isEmpty() && !mapped.hasExpired() && program.state() == QProcess::Running) {
        window = findWindow();
        if (window.isEmpty())
            QTest::qWait(100);
    }
    QVERIFY2(!window.isEmpty(), "the program's window did not appear");

    // The window may be placed after it is mapped: wait until it settles where it belongs.
    QRect seen;
    const QDeadlineTimer placed(20000);
    while (!placed.hasExpired()) {
        seen = windowGeometry(window);
        if (seen == expected)
            break;
        QTest::qWait(100);
    }
    QCOMPARE(seen, expected);
    QVERIFY(program.state() == QProcess::Running);

    if (!afterF11.isEmpty()) {
        QProcess key;
        key.setProcessEnvironment(toolEnvironment);
        key.start(QStringLiteral("xdotool"),
                  { QStringLiteral("key"), QStringLiteral("--window"), window,
                    QStringLiteral("F11") });
        QVERIFY(key.waitForFinished(10000));
        const QDeadlineTimer restored(20000);
        while (!restored.hasExpired() && (seen = windowGeometry(window)) != afterF11)
            QTest::qWait(100);
        QCOMPARE(seen, afterF11);
    }

    // Both heads start at the origin: only the window system knows which one holds the window.
    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QSettings stored(config.path() + QStringLiteral("/Vexo/Unknown.conf"), QSettings::IniFormat);
    QCOMPARE(stored.value(QStringLiteral("current_screen")).toInt(), storedScreen);
}

void TestWallScreens::badCommandLineIsRefused_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("told");

    QTest::newRow("no third screen") << QStringList({ "--screen", "2" })
                                     << "--screen 2: no such screen; there are 0 (";
    QTest::newRow("no screen of that name") << QStringList({ "--screen", "HDMI-9" })
                                            << "--screen HDMI-9: no such screen";
    QTest::newRow("unknown option") << QStringList({ "--kiosk" }) << "Unknown option 'kiosk'";
    // Qt's own options, which it takes itself: the last -display counts.
    QTest::newRow("a display that does not open")
        << QStringList({ "-display", ":9999" }) << "could not connect to display :9999";
    QTest::newRow("a platform that does not exist")
        << QStringList({ "-platform", "nosuch" }) << "platform plugin \"nosuch\"";
}

void TestWallScreens::badCommandLineIsRefused()
{
    QFETCH(QStringList, options);
    QFETCH(QString, told);

    QTemporaryDir config;
    QVERIFY(config.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORVANE_METERS_BINARY),
                  QStringList({ QStringLiteral("-display"), display }) + options);
    QVERIFY(program.waitForStarted(10000));
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        QFAIL("the program went on to open its window");
    }
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(errors.contains(told), qPrintable(errors));
    // Nothing was stored: the program never got as far as its window.
    QVERIFY(!QFile::exists(config.path() + QStringLiteral("/Vexo/Unknown.conf")));
}

ORVANE_TEST_MAIN(TestWallScreens)
#include "tst_wallscreens.moc"
