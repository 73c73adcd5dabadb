#include "dialogs/interfaceorder.h"

QStringList orderedInterfaceAddresses(const QList<InterfaceAddress> &addresses)
{
    QStringList live;
    QStringList down;
    QStringList loopback;
    for (const InterfaceAddress &address : addresses)
        (address.loopback ? loopback : address.live ? live : down).append(address.text);
    return live + down + loopback;
}
