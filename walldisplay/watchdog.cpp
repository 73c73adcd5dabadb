#include "walldisplay/watchdog.h"

#ifdef ORVANE_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

#include <QtGlobal>

#include <cstdint>
#include <limits>

SystemdWatchdog::SystemdWatchdog()
{
    connect(&pinger, &QTimer::timeout, this, &SystemdWatchdog::ping);
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
    // Without NOTIFY_SOCKET (not started by systemd) this sends nothing.
    sd_notify(0, "READY=1");
    // Pings that nobody can receive would only wake the program.
    if (qEnvironmentVariableIsEmpty("NOTIFY_SOCKET"))
        return;
    uint64_t usec = 0;
    // Also checks WATCHDOG_PID: a watchdog meant for another process is not ours to feed.
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    // Pinging at half the watchdog time leaves a whole half for a slow moment.
    const uint64_t halfMs = qMax<uint64_t>(1, usec / 2000);
    pinger.setTimerType(Qt::CoarseTimer);
    pinger.start(int(qMin<uint64_t>(halfMs, uint64_t(std::numeric_limits<int>::max()))));
    ping();
#endif
}

void SystemdWatchdog::ping()
{
#ifdef ORVANE_HAVE_SYSTEMD
    sd_notify(0, "WATCHDOG=1");
#endif
}
