#pragma once

#include <QObject>
#include <QTimer>

// Supervision by systemd (a Type=notify unit with WatchdogSec): says READY=1 once the window
// is up, and WATCHDOG=1 from a timer of the GUI thread, so that the pings stop when its event
// loop hangs and systemd restarts the program. Outside such a unit, or when the program was
// built without libsystemd, it does nothing and starts no timer.
class SystemdWatchdog : public QObject
{
    Q_OBJECT

public:
    SystemdWatchdog();

    // Whether this build can talk to systemd at all.
    static bool available();

    // READY=1, once; starts the pings if systemd asked for them.
    void notifyReady();

    // The ping interval (half the watchdog time), 0 when systemd wants none.
    int intervalMs() const { return pinger.isActive() ? pinger.interval() : 0; }

private:
    void ping();

    QTimer pinger;
    bool ready = false;
};
