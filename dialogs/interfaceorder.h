#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One IPv4 address of one of the machine's interfaces, as the interface list sees it.
struct InterfaceAddress
{
    QString text;
    // Up and running: a server bound to it can send.
    bool live = false;
    bool loopback = false;
};

// The interface list's order: addresses of live interfaces first, then those of interfaces
// that are down, loopback last; the kernel's order within each group. A new dialog makes the
// first entry current, so it must be one that can carry the frames.
QStringList orderedInterfaceAddresses(const QList<InterfaceAddress> &addresses);
