#include "app/mainwindow.h"
#include "levelframes.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "storedsettings.h"
#include "testsupport.h"
#include "widgets/mylabel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QUdpSocket>

#include <memory>
#include <sys/stat.h>

// Each settings file that a fault run found harmful, at start-up: the window must come up
// within two seconds with sensible values, and must never broadcast what the serial line
// brings unless the file really asks for the server role. Broadcasts are looked for, so this
// runs only in a network namespace of its own (netns/isolated.sh).

namespace {

constexpr quint16 ServerPort = 47000;
constexpr int Frames = 50;

} // namespace

class TestHostileStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void comesUpAndNeverBroadcasts_data();
    void comesUpAndNeverBroadcasts();
};

void TestHostileStart::initTestCase()
{
    if (!OrvaneTest::onlyLoopbackHere())
        QFAIL("this test looks for broadcasts: run it through netns/isolated.sh, as root");
}

void TestHostileStart::init()
{
    emptySettingsStore();
}

void TestHostileStart::comesUpAndNeverBroadcasts_data()
{
    QTest::addColumn<QByteArray>("lines"); // %PTY% is the serial line's name
    QTest::addColumn<QString>("special"); // fifo, lock (a folder), geometry (a huge one)
    QTest::addColumn<QString>("caption"); // what the first caption must show
    QTest::addColumn<bool>("server"); // the file really asks for the server role
    QTest::addColumn<bool>("broadcasts"); // and names a port for it

    const QByteArray serial = "serialport=%PTY%\nserver_port=47000\n";
    // The control: a real server role does broadcast here, so silence below means something.
    QTest::newRow("server role asked for") << "is_server=true\n" + serial << ""
                                           << "Prog" << true << true;
    QTest::newRow("server flag yes") << "is_server=yes\n" + serial << ""
                                     << "Prog" << false << false;
    QTest::newRow("server flag rectangle")
        << "is_server=@Rect(1 2 3 4)\nuse_udp=@Rect(0 0 1 1)\n" + serial << ""
        << "Prog" << false << false;
    QTest::newRow("server flag garbage") << "is_server=\\x1\\x2\\x3zz\n" + serial << ""
                                         << "Prog" << false << false;
    QTest::newRow("huge geometry") << serial << "geometry"
                                   << "Prog" << false << false;
    // Loaded as a picture, this read /dev/zero into memory at every start.
    QTest::newRow("caption of markup")
        << "labelMeter1=\"<img src=\\\"/dev/zero\\\">\"\n" + serial << ""
        << "<img src=\"/dev/zero\">" << false << false;
    QTest::newRow("caption of raw UTF-8 and a comma")
        << "labelMeter1=Pr\xc3\xb6g \xe2\x82\xac, A\n" + serial << ""
        << QStringLiteral("Pr\u00f6g \u20ac, A") << false << false;
    QTest::newRow("settings file is a FIFO") << QByteArray() << "fifo"
                                             << "Prog" << false << false;
    QTest::newRow("folder in the lock's place") << serial << "lock"
                                                << "Prog" << false << false;
    QTest::newRow("client host with leading zeros")
        << QByteArray("use_udp=true\nclient_host=127.0.0.010\nclient_port=47001\n") << ""
        << "Prog" << false << false;
    QTest::newRow("client port out of range")
        << QByteArray("use_udp=true\nclient_host=127.0.0.1\nclient_port=65536\n") << ""
        << "Prog" << false << false;
    QTest::newRow("server port not a number")
        << QByteArray("is_server=true\nuse_udp=true\nserver_host=127.0.0.1\nserver_port=-5\n"
                      "serialport=%PTY%\n")
        << ""
        << "Prog" << true << false;
}

void TestHostileStart::comesUpAndNeverBroadcasts()
{
    QFETCH(QByteArray, lines);
    QFETCH(QString, special);
    QFETCH(QString, caption);
    QFETCH(bool, server);
    QFETCH(bool, broadcasts);

    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));
    QUdpSocket listener;
    QVERIFY2(listener.bind(QHostAddress::Any, ServerPort, QUdpSocket::ShareAddress),
             qPrintable(listener.errorString()));

    QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).path()));
    if (special == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(settingsFile()).constData(), 0600), 0);
    } else {
        QVERIFY(writeSettingsFile(
            "[General]\n" + QByteArray(lines).replace("%PTY%", line.programEnd().toUtf8())));
    }
    if (special == QLatin1String("lock"))
        QVERIFY(QDir().mkdir(settingsFile() + QStringLiteral(".lock")));
    if (special == QLatin1String("geometry")) {
        QWidget probe;
        probe.setGeometry(0, 30, 100000, 100000);
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("geometry"), probe.saveGeometry());
    }

    QElapsedTimer clock;
    clock.start();
    auto window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));

    QRect desktop;
    for (const QScreen *screen : QGuiApplication::screens())
        desktop |= screen->availableGeometry();
    QVERIFY(window->width() <= qMax(desktop.width(), window->minimumWidth()));
    QVERIFY(window->height() <= qMax(desktop.height(), window->minimumHeight()));
    QCOMPARE(MainWindowTestAccess::caption(*window, 1)->text(), caption);
    QCOMPARE(MainWindowTestAccess::caption(*window, 2)->text(), QStringLiteral("Sub"));
    const comm_st &settings = MainWindowTestAccess::commSettings(*window);
    QCOMPARE(settings.is_server, server);

    // Frames on the line, when the display reads it; each one read would have been sent on
    // at once, and on loopback it would already be queued at the listener.
    QSerialPort *port = MainWindowTestAccess::serialPort(*window);
    if (port && port->isOpen()) {
        QByteArray stream;
        for (int i = 0; i < Frames; ++i)
            stream += frameOf(quint16(20000 + i * 100), 7);
        QVERIFY(line.write(stream));
        QTRY_COMPARE(MainWindowTestAccess::serialFrames(*window).framesFound(), quint64(Frames));
    }
    QCoreApplication::processEvents();
    int received = 0;
    // Frames only: a server also says once a second that it is there.
    while (listener.hasPendingDatagrams()) {
        if (listener.pendingDatagramSize() == LevelFrame::Size)
            ++received;
        listener.readDatagram(nullptr, 0);
    }
    QCOMPARE(received, broadcasts ? Frames : 0);

    window.reset();
    if (special == QLatin1String("fifo")) {
        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(settingsFile()).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
    }
}

ORVANE_TEST_MAIN(TestHostileStart)
#include "tst_hostilestart.moc"
