#pragma once

#include <QHostAddress>
#include <QUdpSocket>

// A UDP port that nothing uses at the moment, on loopback or any other address.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::Any), 0);
    return probe.localPort();
}
