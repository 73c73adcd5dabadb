#include "dialogs/interfaceorder.h"

#include <QHostAddress>
#include <QNetworkInterface>

QStringList orderedInterfaceAddresses(const QList<InterfaceAddress> &addresses)
{
    QStringList live;
    QStringList down;
    QStringList loopback;
    for (const InterfaceAddress &address : addresses)
        (address.loopback ? loopback : address.live ? live : down).append(address.text);
    return live + down + loopback;
}

QList<InterfaceAddress>
machineAddresses(const std::function<bool(const QHostAddress &, bool loopbackInterface)> &keep)
{
    QList<InterfaceAddress> addresses;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        const bool loopback = flags & QNetworkInterface::IsLoopBack;
        const bool live
            = (flags & QNetworkInterface::IsUp) && (flags & QNetworkInterface::IsRunning);
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (keep(address, loopback))
                addresses.append({ address.toString(), live, loopback || address.isLoopback() });
        }
    }
    return addresses;
}
