#include "udpinput.h"

#include "levelframe.h"
#include "mainwindow.h"
#include "onairstatus.h"

#include <QHostAddress>
#include <QSerialPort>
#include <QTimer>
#include <QUdpSocket>

namespace {

// A flood of datagrams must not starve the release timer and the clocks: the slot handles at
// most this many per wake-up and leaves the rest to the next pass of the event loop.
constexpr int MaxDatagramsPerWakeUp = 256;

} // namespace

unsigned portNumberFromText(const QString &text)
{
    bool ok = false;
    const unsigned number = text.toUInt(&ok, 10);
    return ok ? number : 0u;
}

quint16 portFromText(const QString &text)
{
    if (text.isEmpty())
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    return static_cast<quint16>(portNumberFromText(text) & 0xFFFFu);
}

QHostAddress hostFromText(const QString &text)
{
    if (text.contains(QLatin1Char(':'))) {
        QHostAddress address;
        if (address.setAddress(text) && address.protocol() == QAbstractSocket::IPv6Protocol)
            return address;
        return QHostAddress();
    }
    // QHostAddress reads inet_aton's forms: octal for a leading zero, hex, fewer than four
    // parts. Only the dotted decimal form is what an operator means.
    const QVector<QStringRef> parts = text.splitRef(QLatin1Char('.'));
    if (parts.size() != 4)
        return QHostAddress();
    quint32 ip = 0;
    for (const QStringRef &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return QHostAddress();
        unsigned value = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return QHostAddress();
            value = value * 10 + unsigned(c.unicode() - '0');
        }
        if (value > 255)
            return QHostAddress();
        ip = (ip << 8) | value;
    }
    return QHostAddress(ip);
}

bool acceptsDatagram(qint64 size, const QHostAddress &sender, const QHostAddress &server)
{
    if (size != LevelFrame::Size || server.isNull())
        return false;
    return sender.isEqual(server, QHostAddress::ConvertV4MappedToIPv4);
}

void MainWindow::setupCommunication()
{
    serialPortDisconnect();
    udpRetryTimer.stop();
    setUdpProblem(QString());
    resetMeters();

    if (!commSettings.use_udp || commSettings.is_server)
        serialPortConnect();

    if (!commSettings.use_udp) {
        // Leaving the client role: a listening socket left open would keep feeding the meters
        // next to the serial line. A server socket stays, since forwarding still uses it.
        if (disconnect(udpSocket, &QUdpSocket::readyRead, this, &MainWindow::udpReceive)) {
            udpSocket->close();
            udpSocket = new QUdpSocket(this);
        }
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
        return;
    }

    connect(udpSocket, &QUdpSocket::readyRead, this, &MainWindow::udpReceive);
    setWindowTitle(QStringLiteral("Unknown") + QStringLiteral(" - (")
                   + QString::number(portNumberFromText(commSettings.client_port))
                   + QStringLiteral(")"));
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
    if (udpSocket->bind(QHostAddress::Any, port)) {
        udpRetryTimer.stop();
        setUdpProblem(QString());
        onAir->inputOpened(udpName);
        return;
    }
    setUdpProblem(tr("port %1 in use").arg(port));
    onAir->inputFailed(udpName);
    if (!udpRetryTimer.isActive())
        udpRetryTimer.start();
}

void MainWindow::udpReceive()
{
    const QHostAddress server = hostFromText(commSettings.client_host);
    for (int handled = 0; handled < MaxDatagramsPerWakeUp && udpSocket->hasPendingDatagrams();
         ++handled) {
        const qint64 size = udpSocket->pendingDatagramSize();
        if (size != LevelFrame::Size) {
            // Drop it without reading it into memory; a negative size means the queue
            // emptied under us.
            if (size < 0)
                break;
            udpSocket->readDatagram(nullptr, 0);
            onAir->datagramRefused();
            continue;
        }
        unsigned char frame[LevelFrame::Size];
        QHostAddress sender;
        const qint64 read
            = udpSocket->readDatagram(reinterpret_cast<char *>(frame), sizeof frame, &sender);
        if (acceptsDatagram(read, sender, server))
            updateMeters(frame);
        else
            onAir->datagramRefused();
    }
}
