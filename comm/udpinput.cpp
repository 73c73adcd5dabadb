#include "app/mainwindow.h"

#include "comm/distributionrules.h"
#include "comm/levelframe.h"
#include "comm/udprules.h"
#include "onair/onairstatus.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QTimer>
#include <QUdpSocket>

namespace {

// A flood of datagrams must not starve the release timer and the clocks: the slot handles at
// most this many per wake-up and leaves the rest to the next pass of the event loop.
constexpr int MaxDatagramsPerWakeUp = 256;

} // namespace

void MainWindow::setupCommunication()
{
    serialPortDisconnect();
    udpPause.forget();
    udpRetryTimer.stop();
    setUdpProblem(QString());
    resetMeters();
    onAir->setInputKind(commSettings.use_udp && !commSettings.is_server ? OnAirStatus::Udp
                                                                        : OnAirStatus::Serial);

    if (!commSettings.use_udp || commSettings.is_server)
        serialPortConnect();

    if (!commSettings.use_udp) {
        // Leaving the client role: a listening socket left open would keep feeding the meters
        // next to the serial line. A server socket stays, since forwarding still uses it.
        if (disconnect(udpSocket, &QUdpSocket::readyRead, this, &MainWindow::udpReceive)) {
            udpSocket->close();
            udpSocket = new QUdpSocket(this);
        }
        setupDistribution();
        return;
    }

    if (udpSocket)
        udpSocket->close();
    udpSocket = new QUdpSocket(this);

    if (commSettings.is_server) {
        const quint16 port = portFromText(commSettings.server_port);
        if (port == 0)
            setUdpProblem(tr("no port"));
        else if (!udpSocket->bind(hostFromText(commSettings.server_host), port))
            setUdpProblem(tr("port %1: %2").arg(port).arg(udpSocket->errorString()));
        setupDistribution();
        return;
    }

    connect(udpSocket, &QUdpSocket::readyRead, this, &MainWindow::udpReceive);
    setWindowTitle(QStringLiteral("Unknown") + QStringLiteral(" - (")
                   + QString::number(portNumberFromText(commSettings.client_port))
                   + QStringLiteral(")"));
    setupDistribution();
    bindClientSocket();
}

void MainWindow::bindClientSocket()
{
    const quint16 port = portFromText(commSettings.client_port);
    const QString udpName = tr("UDP %1").arg(commSettings.client_port.trimmed());
    if (port == 0) {
        udpRetryTimer.stop();
        setUdpProblem(tr("no port"));
        onAir->inputFailed(udpName);
        return;
    }
    // Another program may hold the port for a while; the display takes it when it is free.
    // Bound to IPv4 alone to join an IPv4 group, and shared, so that the machine's other
    // programs may listen to the group as well.
    const bool ipv4
        = hostFromText(commSettings.client_host).protocol() == QAbstractSocket::IPv4Protocol;
    if (udpSocket->bind(ipv4 ? QHostAddress(QHostAddress::AnyIPv4)
                             : QHostAddress(QHostAddress::Any),
                        port, QUdpSocket::ShareAddress)) {
        udpRetryTimer.stop();
        // Every frame would be refused as coming from someone else.
        const QString host = commSettings.client_host;
        setUdpProblem(!host.isEmpty() && hostFromText(host).isNull()
                          ? tr("server %1 unreadable").arg(host)
                          : QString());
        onAir->inputOpened(udpName);
        joinGroup();
        return;
    }
    setUdpProblem(tr("in use by another program"));
    onAir->inputFailed(udpName);
    if (!udpRetryTimer.isActive())
        udpRetryTimer.start();
}

void MainWindow::udpReceive()
{
    for (int handled = 0; handled < MaxDatagramsPerWakeUp && udpSocket->hasPendingDatagrams();
         ++handled) {
        const qint64 size = udpSocket->pendingDatagramSize();
        if (size != LevelFrame::Size && size != Distribution::Heartbeat::Size) {
            // Drop it without reading it into memory; a negative size means the queue
            // emptied under us.
            if (size < 0)
                break;
            udpSocket->readDatagram(nullptr, 0);
            onAir->datagramRefused();
            continue;
        }
        if (!takeDatagram(udpSocket->receiveDatagram(size)))
            onAir->datagramRefused();
    }
    // The first frame after a rest has started the tick: the next ones wait for it.
    if (releaseTimer && releaseTimer->isActive())
        pauseArrivals(true);
}
