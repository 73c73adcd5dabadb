#include "walldisplay/watchdog.h"

#ifdef ORVANE_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

SystemdWatchdog::SystemdWatchdog()
{
    connect(&pinger, &QTimer::timeout, this, &SystemdWatchdog::ping);
}

SystemdWatchdog::~SystemdWatchdog()
{
    if (notifyFd >= 0)
        ::close(notifyFd);
}

bool SystemdWatchdog::available()
{
#ifdef ORVANE_HAVE_SYSTEMD
    return true;
#else
    return false;
#endif
}

void SystemdWatchdog::notifyReady()
{
    if (ready)
        return;
    ready = true;
#ifdef ORVANE_HAVE_SYSTEMD
    // Without NOTIFY_SOCKET (not started by systemd) nothing is sent, and pings that nobody
    // can receive would only wake the program.
    if (!openNotifySocket())
        return;
    readySent = send("READY=1");
    uint64_t usec = 0;
    // Also checks WATCHDOG_PID: a watchdog meant for another process is not ours to feed.
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    // Pinging at half the watchdog time leaves a whole half for a slow moment.
    const uint64_t halfMs = qMax<uint64_t>(MinIntervalMs, usec / 2000);
    pinger.setTimerType(Qt::CoarseTimer);
    pinger.start(int(qMin<uint64_t>(halfMs, uint64_t(std::numeric_limits<int>::max()))));
    ping();
#endif
}

void SystemdWatchdog::ping()
{
    // READY=1 that met a full queue goes with the next ping: without it, systemd would count
    // the start as failed.
    if (!readySent)
        readySent = send("READY=1");
    send("WATCHDOG=1");
}

bool SystemdWatchdog::openNotifySocket()
{
    // As systemd names it: a path, or an abstract socket written with a leading '@'.
    const QByteArray name = qgetenv("NOTIFY_SOCKET");
    if (name.isEmpty() || (name.at(0) != '/' && name.at(0) != '@'))
        return false;
    sockaddr_un address {};
    if (size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0';
    notifyFd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (notifyFd < 0)
        return false;
    // Not connected: each message goes to the name, which systemd makes anew when it
    // re-executes itself.
    notifyAddress = QByteArray(reinterpret_cast<const char *>(&address),
                               int(offsetof(sockaddr_un, sun_path)) + name.size());
    return true;
}

bool SystemdWatchdog::send(const char *message)
{
    if (notifyFd < 0)
        return false;
    // A message the queue cannot take now (EAGAIN) is dropped: the next ping follows anyway,
    // and a reader that stays away ends the program through systemd's own watchdog.
    const size_t length = std::strlen(message);
    return ::sendto(notifyFd, message, length, MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr *>(notifyAddress.constData()),
                    socklen_t(notifyAddress.size()))
        == ssize_t(length);
}
