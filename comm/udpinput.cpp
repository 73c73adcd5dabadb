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
    return static_cast<quint16>(portNumberFromText(text) & 0xFFFFu);
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
        udpSocket->bind(QHostAddress(commSettings.server_host),
                        portFromText(commSettings.server_port));
        return;
    }

    const QString udpName
        = tr("UDP %1").arg(portNumberFromText(commSettings.client_port));
    if (udpSocket->bind(QHostAddress::Any, portFromText(commSettings.client_port)))
        onAir->inputOpened(udpName);
    else
        onAir->inputFailed(udpName);
    connect(udpSocket, &QUdpSocket::readyRead, this, &MainWindow::udpReceive);
    setWindowTitle(QStringLiteral("Unknown") + QStringLiteral(" - (")
                   + QString::number(portNumberFromText(commSettings.client_port))
                   + QStringLiteral(")"));
}

void MainWindow::udpReceive()
{
    const QHostAddress server(commSettings.client_host);
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
