#include "comm/readpause.h"

#include <QAbstractSocket>

namespace {

// A bound UDP socket reads datagrams without being open as a device.
bool isOpen(const QIODevice *device)
{
    if (const auto *socket = qobject_cast<const QAbstractSocket *>(device))
        return socket->state() != QAbstractSocket::UnconnectedState;
    return device->isOpen();
}

} // namespace

bool ReadPause::pause(QIODevice *of, qintptr descriptor)
{
    if (!of || !isOpen(of) || descriptor < 0)
        return false;
    if (of != device || !notifier || notifier->socket() != descriptor) {
        forget();
        for (QSocketNotifier *candidate : of->findChildren<QSocketNotifier *>()) {
            if (candidate->type() == QSocketNotifier::Read && candidate->socket() == descriptor) {
                device = of;
                notifier = candidate;
                break;
            }
        }
        if (!notifier)
            return false;
    }
    notifier->setEnabled(false);
    return true;
}

void ReadPause::resume()
{
    // A closed device's notifier watches a descriptor that may be gone or given to another
    // file.
    if (notifier && device && isOpen(device))
        notifier->setEnabled(true);
    forget();
}

void ReadPause::forget()
{
    device.clear();
    notifier.clear();
}

bool ReadPause::paused() const
{
    return notifier && device && isOpen(device) && !notifier->isEnabled();
}
