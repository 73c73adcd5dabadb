#include "levelframes.h"
#include "mainwindow.h"
#include "mainwindowprobe.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QThread>
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
    void portTextCutTo16Bits_data();
    void portTextCutTo16Bits();
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

void TestUdpInput::portTextCutTo16Bits_data()
{
    QTest::addColumn<QString>("portText");
    QTest::addColumn<int>("boundPort");
    QTest::addColumn<QString>("title");
    QTest::newRow("70000 binds 4464")
        << QStringLiteral("70000") << 4464 << QStringLiteral("Unknown - (70000)");
    // 0 lets the system choose the port.
    QTest::newRow("not a number binds a chosen port")
        << QStringLiteral("meters") << 0 << QStringLiteral("Unknown - (0)");
}

// The title shows the number as written; the socket is bound to its low 16 bits, and frames
// sent there arrive.
void TestUdpInput::portTextCutTo16Bits()
{
    QFETCH(QString, portText);
    QFETCH(int, boundPort);
    QFETCH(QString, title);

    becomeClient(QStringLiteral("127.0.0.1"), portText);
    QCOMPARE(window->windowTitle(), title);
    const quint16 bound = clientSocket()->localPort();
    if (boundPort != 0)
        QCOMPARE(int(bound), boundPort);
    else
        QVERIFY(bound != 0);

    QUdpSocket source;
    const QByteArray frame = frameOf(47000, 333);
    source.writeDatagram(frame, QHostAddress::LocalHost, bound);
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
