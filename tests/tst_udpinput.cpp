#include "app/mainwindow.h"
#include "comm/udprules.h"
#include "levelframes.h"
#include "mainwindowprobe.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

// Every datagram here goes to a loopback address; the displays are clients, which never send.

namespace {

const QVector<double> Floor(LevelFrame::Channels, LevelFrame::FloorDb);

quint16 unusedLoopbackPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0, QUdpSocket::DontShareAddress))
        return 0;
    return probe.localPort();
}

// Waits, without running the event loop (so the display's slot cannot run), until the
// socket holds a datagram.
bool datagramQueued(QUdpSocket *socket)
{
    const QDeadlineTimer deadline(3000);
    while (!socket->hasPendingDatagrams()) {
        if (deadline.hasExpired())
            return false;
        QThread::usleep(200);
    }
    return true;
}

} // namespace

class TestUdpInput : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void acceptsOnlyFramesFromServer_data();
    void acceptsOnlyFramesFromServer();
    void framesFollowReadyRead();
    void queuedDatagramsHandledInOneCall();
    void datagramsWaitForTheTickWhileLive();
    void backlogBeyondOneTickIsReadAsItComes();
    void portFromText_data();
    void portFromText();
    void hostFromText_data();
    void hostFromText();
    void portTextCutTo16Bits_data();
    void portTextCutTo16Bits();
    void takenPortIsBoundOnceFree();
    void unreadableServerIsSaid();
    void clientToSerialOnlyStopsListening();

private:
    void becomeClient(const QString &serverHost, const QString &portText);
    QVector<double> levels() const;
    QUdpSocket *clientSocket() const { return MainWindowTestAccess::udpSocket(*window); }

    std::unique_ptr<MainWindow> window;
    quint16 port = 0;
};

void TestUdpInput::init()
{
    window = std::make_unique<MainWindow>();
    port = unusedLoopbackPort();
    QVERIFY(port != 0);
}

void TestUdpInput::cleanup()
{
    window.reset();
}

void TestUdpInput::becomeClient(const QString &serverHost, const QString &portText)
{
    comm_st &settings = MainWindowTestAccess::commSettings(*window);
    settings.use_udp = true;
    settings.is_server = false;
    settings.serialport.clear();
    settings.client_host = serverHost;
    settings.client_port = portText;
    MainWindowTestAccess::setupCommunication(*window);
}

QVector<double> TestUdpInput::levels() const
{
    const double *targets = MainWindowTestAccess::meterLevels(*window);
    return QVector<double>(targets, targets + LevelFrame::Channels);
}

void TestUdpInput::acceptsOnlyFramesFromServer_data()
{
    QTest::addColumn<QString>("serverHost");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("accepted");

    const QString local = QStringLiteral("127.0.0.1");
    const QByteArray frame = frameOf(30000, 2500);
    QTest::newRow("frame from the server") << local << local << frame << true;
    QTest::newRow("frame from another address")
        << local << QStringLiteral("127.0.0.2") << frame << false;
    QTest::newRow("15 bytes from the server") << local << local << frame.left(15) << false;
    QTest::newRow("17 bytes from the server") << local << local << frame + '\0' << false;
    QTest::newRow("empty datagram from the server") << local << local << QByteArray() << false;
    QTest::newRow("16 bytes without markers from the server")
        << local << local
        << QByteArray("\x01\x02\x9c\x40\xab\xcd\xef\x01\x23\x45\x67\x89\xa0\xb0\x00\x00", 16)
        << true;
    QTest::newRow("server given as a host name")
        << QStringLiteral("localhost") << local << frame << false;
    QTest::newRow("no server given") << QString() << local << frame << false;
    // The text is read as a person means it, not as inet_aton reads it.
    QTest::newRow("leading zeros, sender of the decimal value")
        << QStringLiteral("127.0.0.010") << QStringLiteral("127.0.0.10") << frame << true;
    QTest::newRow("leading zeros, sender of the octal value")
        << QStringLiteral("127.0.0.010") << QStringLiteral("127.0.0.8") << frame << false;
    QTest::newRow("two-part address") << QStringLiteral("127.1") << local << frame << false;
    QTest::newRow("hexadecimal part") << QStringLiteral("0x7f.0.0.1") << local << frame << false;
    QTest::newRow("address as one number")
        << QStringLiteral("2130706433") << local << frame << false;
}

void TestUdpInput::acceptsOnlyFramesFromServer()
{
    QFETCH(QString, serverHost);
    QFETCH(QString, sender);
    QFETCH(QByteArray, datagram);
    QFETCH(bool, accepted);

    becomeClient(serverHost, QString::number(port));
    QCOMPARE(clientSocket()->localPort(), port);

    QUdpSocket source;
    QVERIFY(source.bind(QHostAddress(sender), 0));
    QCOMPARE(source.writeDatagram(datagram, QHostAddress::LocalHost, port),
             qint64(datagram.size()));
    QVERIFY(datagramQueued(clientSocket()));

    MainWindowTestAccess::udpReceive(*window);
    QVERIFY(!clientSocket()->hasPendingDatagrams());
    QCOMPARE(levels(), accepted ? levelsIn(datagram) : Floor);
}

// The real path: the socket's own notification runs the slot.
void TestUdpInput::framesFollowReadyRead()
{
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QCOMPARE(window->windowTitle(), QStringLiteral("Unknown - (%1)").arg(port));

    QUdpSocket source;
    for (unsigned short first : { 10000, 55000, 0 }) {
        const QByteArray frame = frameOf(first, 1000);
        source.writeDatagram(frame, QHostAddress::LocalHost, port);
        QTRY_COMPARE(levels(), levelsIn(frame));
    }
}

void TestUdpInput::queuedDatagramsHandledInOneCall()
{
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QUdpSocket source;
    const QByteArray frames[] = { frameOf(5000, 10), frameOf(15000, 20), frameOf(25000, 30) };
    for (const QByteArray &frame : frames)
        source.writeDatagram(frame, QHostAddress::LocalHost, port);
    QVERIFY(datagramQueued(clientSocket()));

    MainWindowTestAccess::udpReceive(*window);
    QVERIFY(!clientSocket()->hasPendingDatagrams());
    QCOMPARE(levels(), levelsIn(frames[2]));
}

// While the meters move, the release tick takes the datagrams once a refresh: the socket does
// not wake the display for each of them.
void TestUdpInput::datagramsWaitForTheTickWhileLive()
{
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QSignalSpy wakes(clientSocket(), &QUdpSocket::readyRead);
    QUdpSocket source;
    QByteArray frame;
    for (int i = 0; i < 200; ++i) {
        frame = frameOf(static_cast<unsigned short>(8000 + i), 7);
        source.writeDatagram(frame, QHostAddress::LocalHost, port);
        QTest::qWait(2);
    }
    QTRY_COMPARE(levels(), levelsIn(frame));
    qInfo("200 datagrams in %d wake-ups of the socket's own", int(wakes.count()));
    QVERIFY2(wakes.count() <= 5, qPrintable(QString::number(wakes.count())));
}

// More datagrams than a tick reads are more than any console sends: the socket then wakes the
// display for them as they come, so that the kernel's buffer drains and the next frame finds
// room in it, and rests again for the tick once they are gone.
void TestUdpInput::backlogBeyondOneTickIsReadAsItComes()
{
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QUdpSocket source;
    const QByteArray first = frameOf(9000, 7);
    source.writeDatagram(first, QHostAddress::LocalHost, port);
    QTRY_COMPARE(levels(), levelsIn(first));
    QTimer *tick = MainWindowTestAccess::releaseTimer(*window);
    QVERIFY(tick->isActive());

    // Written while the display does nothing, so that they wait for the tick; the kernel's
    // default buffer would hold fewer than a tick reads.
    clientSocket()->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 21);
    for (int i = 0; i < 2000; ++i)
        source.writeDatagram(frameOf(static_cast<unsigned short>(10000 + i), 3),
                             QHostAddress::LocalHost, port);
    QVERIFY(datagramQueued(clientSocket()));
    MainWindowTestAccess::meterRelease(*window);
    QVERIFY2(clientSocket()->hasPendingDatagrams(), "the backlog fits in one tick's read");
    // No further tick comes for an hour: what is left is read without one, and then the socket
    // rests for the tick again.
    tick->setInterval(3600 * 1000);
    QTRY_VERIFY(!clientSocket()->hasPendingDatagrams()
                && MainWindowTestAccess::udpPause(*window).paused());
    const QByteArray last = frameOf(30000, 3);
    source.writeDatagram(last, QHostAddress::LocalHost, port);
    QVERIFY(datagramQueued(clientSocket()));
    MainWindowTestAccess::meterRelease(*window);
    QCOMPARE(levels(), levelsIn(last));
}

void TestUdpInput::portFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // 0: no port

    QTest::newRow("lowest") << QStringLiteral("1") << 1;
    QTest::newRow("common") << QStringLiteral("7000") << 7000;
    QTest::newRow("highest") << QStringLiteral("65535") << 65535;
    QTest::newRow("leading zero") << QStringLiteral("07000") << 7000;
    QTest::newRow("stored above 16 bits keeps the cut") << QStringLiteral("70000") << 4464;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("cut to zero") << QStringLiteral("65536") << 0;
    QTest::newRow("negative") << QStringLiteral("-5") << 0;
    QTest::newRow("plus sign") << QStringLiteral("+7000") << 0;
    QTest::newRow("spaces") << QStringLiteral(" 7000") << 0;
    QTest::newRow("word") << QStringLiteral("abc") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("beyond 32 bits") << QStringLiteral("99999999999") << 0;
}

void TestUdpInput::portFromText()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(int(::portFromText(text)), expected);
}

void TestUdpInput::hostFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: invalid

    QTest::newRow("dotted decimal") << QStringLiteral("192.168.1.20") << "192.168.1.20";
    QTest::newRow("leading zeros are decimal")
        << QStringLiteral("192.168.001.020") << "192.168.1.20";
    QTest::newRow("loopback with a leading zero") << QStringLiteral("127.0.0.010") << "127.0.0.10";
    QTest::newRow("zeros") << QStringLiteral("0.0.0.0") << "0.0.0.0";
    QTest::newRow("IPv6 loopback") << QStringLiteral("::1") << "::1";
    QTest::newRow("IPv6") << QStringLiteral("fe80::1:2") << "fe80::1:2";
    QTest::newRow("two parts") << QStringLiteral("127.1") << "";
    QTest::newRow("three parts") << QStringLiteral("127.0.1") << "";
    QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << "";
    QTest::newRow("hexadecimal") << QStringLiteral("0x7f.0.0.1") << "";
    QTest::newRow("one number") << QStringLiteral("2130706433") << "";
    QTest::newRow("octet above 255") << QStringLiteral("192.168.1.256") << "";
    QTest::newRow("four digits") << QStringLiteral("192.168.1.0020") << "";
    QTest::newRow("empty part") << QStringLiteral("192..1.2") << "";
    QTest::newRow("trailing dot") << QStringLiteral("1.2.3.4.") << "";
    QTest::newRow("space") << QStringLiteral(" 1.2.3.4") << "";
    QTest::newRow("host name") << QStringLiteral("localhost") << "";
    QTest::newRow("broken IPv6") << QStringLiteral("::g") << "";
    QTest::newRow("empty") << QString() << "";
}

void TestUdpInput::hostFromText()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    const QHostAddress host = ::hostFromText(text);
    if (address.isEmpty())
        QVERIFY2(host.isNull(), qPrintable(host.toString()));
    else
        QCOMPARE(host, QHostAddress(address));
}

void TestUdpInput::portTextCutTo16Bits_data()
{
    QTest::addColumn<QString>("portText");
    QTest::addColumn<int>("boundPort"); // 0: nothing bound
    QTest::addColumn<QString>("title");
    QTest::newRow("70000 binds 4464")
        << QStringLiteral("70000") << 4464 << QStringLiteral("Unknown - (70000)");
    // No port binds nothing: a port the system chose would receive from nobody.
    QTest::newRow("not a number binds nothing")
        << QStringLiteral("meters") << 0 << QStringLiteral("Unknown - (0)");
    QTest::newRow("0 binds nothing")
        << QStringLiteral("0") << 0 << QStringLiteral("Unknown - (0)");
    QTest::newRow("65536 binds nothing")
        << QStringLiteral("65536") << 0 << QStringLiteral("Unknown - (65536)");
    QTest::newRow("-5 binds nothing")
        << QStringLiteral("-5") << 0 << QStringLiteral("Unknown - (0)");
    QTest::newRow("+7000 binds nothing")
        << QStringLiteral("+7000") << 0 << QStringLiteral("Unknown - (0)");
    QTest::newRow("empty binds nothing") << QString() << 0 << QStringLiteral("Unknown - (0)");
}

// The title shows the number as written; the socket is bound to its low 16 bits, and frames
// sent there arrive. A text that gives no port binds nothing and says so.
void TestUdpInput::portTextCutTo16Bits()
{
    QFETCH(QString, portText);
    QFETCH(int, boundPort);
    QFETCH(QString, title);

    becomeClient(QStringLiteral("127.0.0.1"), portText);
    QCOMPARE(window->windowTitle(), title);
    const QLabel *problem = window->findChild<QLabel *>(QStringLiteral("label_problem"));
    if (boundPort == 0) {
        QCOMPARE(clientSocket()->state(), QAbstractSocket::UnconnectedState);
        QVERIFY(problem);
        QVERIFY(!problem->isHidden());
        QCOMPARE(problem->text(), QStringLiteral("no port"));
        return;
    }
    QVERIFY(!problem || problem->isHidden());
    const quint16 bound = clientSocket()->localPort();
    QCOMPARE(int(bound), boundPort);

    QUdpSocket source;
    const QByteArray frame = frameOf(47000, 333);
    source.writeDatagram(frame, QHostAddress::LocalHost, bound);
    QTRY_COMPARE(levels(), levelsIn(frame));
}

// A server address that the display cannot read refuses every frame: the reason is said.
void TestUdpInput::unreadableServerIsSaid()
{
    becomeClient(QStringLiteral("127.1"), QString::number(port));
    const QLabel *problem = window->findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem && !problem->isHidden());
    QCOMPARE(problem->text(), QStringLiteral("server 127.1 unreadable"));
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QVERIFY(problem->isHidden());
}

// Another program holds the port: the display says so, and takes the port once it is free.
void TestUdpInput::takenPortIsBoundOnceFree()
{
    auto holder = std::make_unique<QUdpSocket>();
    QVERIFY(holder->bind(QHostAddress::Any, port));
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QCOMPARE(window->windowTitle(), QStringLiteral("Unknown - (%1)").arg(port));
    QCOMPARE(clientSocket()->state(), QAbstractSocket::UnconnectedState);
    const QLabel *problem = window->findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem);
    // The header lamp names the port; the reason is said once, here.
    QCOMPARE(problem->text(), QStringLiteral("in use by another program"));
    QVERIFY(!problem->isHidden());

    holder.reset();
    QTRY_COMPARE_WITH_TIMEOUT(clientSocket()->state(), QAbstractSocket::BoundState, 10000);
    QCOMPARE(clientSocket()->localPort(), port);
    QVERIFY(problem->isHidden());
    QUdpSocket source;
    const QByteArray frame = frameOf(41000, 700);
    source.writeDatagram(frame, QHostAddress::LocalHost, port);
    QTRY_COMPARE(levels(), levelsIn(frame));
}

// Leaving the client role for serial only closes the listening socket; an unbound one is
// kept for forwarding.
void TestUdpInput::clientToSerialOnlyStopsListening()
{
    becomeClient(QStringLiteral("127.0.0.1"), QString::number(port));
    QUdpSocket *listening = clientSocket();
    QUdpSocket source;
    const QByteArray frame = frameOf(40000, 100);
    source.writeDatagram(frame, QHostAddress::LocalHost, port);
    QTRY_COMPARE(levels(), levelsIn(frame));

    MainWindowTestAccess::commSettings(*window).use_udp = false;
    MainWindowTestAccess::setupCommunication(*window);
    QCOMPARE(levels(), Floor);
    QCOMPARE(listening->state(), QAbstractSocket::UnconnectedState);
    QUdpSocket *kept = clientSocket();
    QVERIFY(kept);
    QVERIFY(kept != listening);
    QCOMPARE(kept->state(), QAbstractSocket::UnconnectedState);

    // The port is free again: nobody else holds it, not even with a shared binding.
    QUdpSocket successor;
    QVERIFY2(successor.bind(QHostAddress::Any, port, QUdpSocket::DontShareAddress),
             qPrintable(successor.errorString()));
}

ORVANE_TEST_MAIN(TestUdpInput)

#include "tst_udpinput.moc"
