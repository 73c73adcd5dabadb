#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "comm/udprules.h"
#include "diagnostics/trace.h"
#include "onair/onairstatus.h"
#include "remote/remotecontrol.h"

#include <QHostAddress>
#include <QUdpSocket>

void MainWindow::updateMeters(unsigned char *frame)
{
    if (Q_UNLIKELY(Trace::enabled))
        Trace::frameArrived(meterLevels, frame);
    for (int i = 0; i < LevelFrame::Channels; ++i)
        meterLevels[i] = LevelFrame::levelDb(frame, i);
    tickLevels.take(meterLevels);
    onAir->frameAccepted(meterLevels);
    remote->frameLevels(meterLevels);
    wakeRelease();

    // Forwarding looks at the server flag alone, so a serial-only display that keeps the
    // server role still feeds the other displays.
    // A text that names no port sends nothing: port 0 would only fail.
    if (udpSocket && commSettings.is_server) {
        const quint16 port = portFromText(commSettings.server_port);
        if (port != 0)
            udpSocket->writeDatagram(reinterpret_cast<const char *>(frame), LevelFrame::Size,
                                     QHostAddress(QHostAddress::Broadcast), port);
    }
}
