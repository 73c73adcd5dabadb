#include "levelframe.h"

#include "mainwindow.h"
#include "udpinput.h"

#include <QHostAddress>
#include <QUdpSocket>

#include <cmath>

namespace LevelFrame {

QByteArray encode(const unsigned short raw[Channels])
{
    QByteArray frame(Size, '\0');
    frame[0] = char(StartByte);
    frame[1] = char(StartByte);
    for (int i = 0; i < Channels; ++i) {
        frame[2 + 2 * i] = char(raw[i] >> 8);
        frame[3 + 2 * i] = char(raw[i] & 0xFF);
    }
    frame[14] = char(EndByte);
    frame[15] = char(EndByte);
    return frame;
}

unsigned short rawFromDb(double db)
{
    const double raw = std::round((db + 50.0) * 1000.0);
    if (!(raw > 0.0))
        return 0;
    if (raw >= 65535.0)
        return 65535;
    return static_cast<unsigned short>(raw);
}

} // namespace LevelFrame

void MainWindow::updateMeters(unsigned char *frame)
{
    for (int i = 0; i < LevelFrame::Channels; ++i)
        meterLevels[i] = LevelFrame::levelDb(frame, i);

    // Forwarding looks at the server flag alone, so a serial-only display that keeps the
    // server role still feeds the other displays.
    if (udpSocket && commSettings.is_server)
        udpSocket->writeDatagram(reinterpret_cast<const char *>(frame), LevelFrame::Size,
                                 QHostAddress(QHostAddress::Broadcast),
                                 portFromText(commSettings.server_port));
}
