#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QHostAddress;

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

// The addresses of the machine's interfaces that `keep` takes (given the address and whether its
// interface is a loopback one), read without a name lookup. Interfaces that are down are listed
// too: the one a setting names may be down while a dialog is open (a cable being changed), and
// OK must not replace its stored address.
QList<InterfaceAddress>
machineAddresses(const std::function<bool(const QHostAddress &, bool loopbackInterface)> &keep);
