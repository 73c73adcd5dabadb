#include "app/mainwindow.h"
#include "levelframes.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QThread>
#include <QUdpSocket>

#include <memory>
#include <sys/socket.h>

// A server display broadcasts every frame to 255.255.255.255. This test only ever runs in a
// network namespace of its own (netns/isolated.sh), and refuses to run anywhere else.

namespace {

// Keeps every datagram sent to the broadcast address on a port, in arrival order. Bound to
// that address, it shares the port with a server socket bound to an interface address.
class BroadcastListener : public QObject
{
public:
    bool listen(quint16 port)
    {
        if (!socket.bind(QHostAddress(QHostAddress::Broadcast), port))
            return false;
        // A thousand frames leave in a few bursts of some 250 datagrams: more than the
        // default receive buffer holds. Root may raise it past the system limit.
        const int bytes = 8 << 20;
        const int fd = int(socket.socketDescriptor());
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
            return false;
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            // The server's once-a-second heartbeat goes the same way; frames are counted here.
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket.receiveDatagram();
                if (datagram.data().size() == LevelFrame::Size)
                    received.append(datagram);
            }
        });
        return true;
    }

    QUdpSocket socket;
    QList<QNetworkDatagram> received;
};

} // namespace

class TestForwarding : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void forwardsEverySerialFrame_data();
    void forwardsEverySerialFrame();
    void clientDoesNotForward();
    void serverSocketIsNotRead();

private:
    void configure(bool useUdp, bool isServer, const QString &serverPort);

    std::unique_ptr<PtyPair> line;
    std::unique_ptr<MainWindow> window;
};

void TestForwarding::initTestCase()
{
    if (!OrvaneTest::onlyLoopbackHere())
        QFAIL("this test broadcasts: run it through netns/isolated.sh, as root");
}

void TestForwarding::init()
{
    line = std::make_unique<PtyPair>();
    QVERIFY2(line->start(), qPrintable(line->error()));
    window = std::make_unique<MainWindow>();
}

void TestForwarding::cleanup()
{
    window.reset();
    line.reset();
}

void TestForwarding::configure(bool useUdp, bool isServer, const QString &serverPort)
{
    comm_st &settings = MainWindowTestAccess::commSettings(*window);
    settings.use_udp = useUdp;
    settings.is_server = isServer;
    settings.serialport = line->programEnd();
    settings.server_host = QStringLiteral("127.0.0.1");
    settings.server_port = serverPort;
    settings.client_host = QStringLiteral("127.0.0.1");
    settings.client_port = QStringLiteral("47001");
    // What these displays always did; a first start now chooses multicast.
    MainWindowTestAccess::distributionSettings(*window).mode = Distribution::Mode::Broadcast;
    MainWindowTestAccess::setupCommunication(*window);
}

void TestForwarding::forwardsEverySerialFrame_data()
{
    QTest::addColumn<bool>("serverFirst");
    QTest::addColumn<bool>("useUdp");
    QTest::addColumn<QString>("serverPort");
    QTest::addColumn<int>("destinationPort");
    QTest::addColumn<bool>("fromServerPort");

    QTest::newRow("server role") << false << true << QStringLiteral("47000") << 47000 << true;
    QTest::newRow("server port text 70000 sends to 4464")
        << false << true << QStringLiteral("70000") << 4464 << true;
    // The socket made at start-up is unbound: the system picks its port on the first send.
    QTest::newRow("serial only, server role kept")
        << false << false << QStringLiteral("47000") << 47000 << false;
    // The server's socket stays when UDP is switched off, and keeps sending from its port.
    QTest::newRow("serial only after the server role")
        << true << false << QStringLiteral("47000") << 47000 << true;
}

// A thousand frames in one write, repeats and garbage among them, then a last frame that
// marks the end: the listener must get each accepted frame once, byte for byte, in order,
// sent to the broadcast address from the server's address.
void TestForwarding::forwardsEverySerialFrame()
{
    QFETCH(bool, serverFirst);
    QFETCH(bool, useUdp);
    QFETCH(QString, serverPort);
    QFETCH(int, destinationPort);
    QFETCH(bool, fromServerPort);

    BroadcastListener listener;
    QVERIFY2(listener.listen(quint16(destinationPort)), qPrintable(listener.socket.errorString()));
    if (serverFirst)
        configure(true, true, serverPort);
    configure(useUdp, true, serverPort);
    QVERIFY(MainWindowTestAccess::serialPort(*window)->isOpen());

    QList<QByteArray> frames;
    QByteArray stream;
    for (int i = 0; i < 1000; ++i) {
        // Every tenth frame repeats the one before: unchanged levels are forwarded too.
        const QByteArray frame
            = i % 10 == 9 ? frames.last() : frameOf(static_cast<unsigned short>(i * 61), 13);
        frames.append(frame);
        if (i % 100 == 50)
            stream += QByteArray("noise\x00\x55\x55", 8);
        stream += frame;
    }
    QVERIFY(line->write(stream));
    const QByteArray last = frameOf(60000, 1);
    frames.append(last);
    QVERIFY(line->write(last));

    QTRY_VERIFY_WITH_TIMEOUT(
        !listener.received.isEmpty() && listener.received.last().data() == last, 10000);
    QCOMPARE(listener.received.size(), frames.size());
    quint16 senderPort = 0;
    for (int i = 0; i < frames.size(); ++i) {
        const QNetworkDatagram &datagram = listener.received.at(i);
        QVERIFY2(datagram.data() == frames.at(i), qPrintable(QString::number(i)));
        QVERIFY(datagram.senderAddress().isEqual(QHostAddress(QStringLiteral("127.0.0.1")),
                                                 QHostAddress::ConvertV4MappedToIPv4));
        QVERIFY(datagram.destinationAddress().isEqual(QHostAddress(QHostAddress::Broadcast),
                                                      QHostAddress::ConvertV4MappedToIPv4));
        QCOMPARE(datagram.destinationPort(), destinationPort);
        if (i == 0)
            senderPort = quint16(datagram.senderPort());
        QCOMPARE(quint16(datagram.senderPort()), senderPort);
    }
    if (fromServerPort)
        QCOMPARE(int(senderPort), destinationPort);
    QCOMPARE(MainWindowTestAccess::serialFrames(*window).framesFound(), quint64(frames.size()));
    const double *targets = MainWindowTestAccess::meterLevels(*window);
    QCOMPARE(QVector<double>(targets, targets + LevelFrame::Channels), levelsIn(last));
}

// A client takes frames from the network and never sends them on.
void TestForwarding::clientDoesNotForward()
{
    BroadcastListener listener;
    QVERIFY(listener.listen(47000));
    configure(true, false, QStringLiteral("47000"));

    QUdpSocket server;
    const QByteArray frame = frameOf(42000, 500);
    server.writeDatagram(frame, QHostAddress::LocalHost, 47001);
    const double *targets = MainWindowTestAccess::meterLevels(*window);
    QTRY_COMPARE(QVector<double>(targets, targets + LevelFrame::Channels), levelsIn(frame));
    // A forwarded copy would have been delivered on loopback before the levels were set.
    QCoreApplication::processEvents();
    QVERIFY(!listener.socket.hasPendingDatagrams());
    QVERIFY(listener.received.isEmpty());
}

// The server's socket is bound to the chosen address and port and only sends: a datagram
// sent to it stays unread and moves no meter.
void TestForwarding::serverSocketIsNotRead()
{
    configure(true, true, QStringLiteral("47000"));
    QUdpSocket *socket = MainWindowTestAccess::udpSocket(*window);
    QCOMPARE(socket->localAddress(), QHostAddress(QStringLiteral("127.0.0.1")));
    QCOMPARE(socket->localPort(), quint16(47000));
    QCOMPARE(window->windowTitle(), QStringLiteral("Unknown - (%1)").arg(line->programEnd()));

    QUdpSocket client;
    client.writeDatagram(frameOf(42000, 500), QHostAddress::LocalHost, 47000);
    const QDeadlineTimer deadline(3000);
    while (!socket->hasPendingDatagrams() && !deadline.hasExpired())
        QThread::usleep(200);
    QVERIFY(socket->hasPendingDatagrams());
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QVERIFY(socket->hasPendingDatagrams());
    const double *targets = MainWindowTestAccess::meterLevels(*window);
    QCOMPARE(QVector<double>(targets, targets + LevelFrame::Channels),
             QVector<double>(LevelFrame::Channels, LevelFrame::FloorDb));
}

ORVANE_TEST_MAIN(TestForwarding)

#include "tst_forwarding.moc"
