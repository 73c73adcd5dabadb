#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

// Supervision by systemd (a Type=notify unit with WatchdogSec): says READY=1 once the window
// is up, and WATCHDOG=1 from a timer of the GUI thread, so that the pings stop when its event
// loop hangs and systemd restarts the program. Outside such a unit, or when the program was
// built without libsystemd, it does nothing and starts no timer.
//
// A message is never waited for: when systemd does not read its socket, the queue fills and a
// blocking send would freeze the meters and clocks, and leave SIGTERM unanswered, until it
// did. A message that cannot be sent at once is dropped.
class SystemdWatchdog : public QObject
{
    Q_OBJECT

public:
    // However short the watchdog time, a ping no more often than this.
    static constexpr int MinIntervalMs = 100;

    SystemdWatchdog();
    ~SystemdWatchdog() override;

    // Whether this build can talk to systemd at all.
    static bool available();

    // READY=1, once; starts the pings if systemd asked for them.
    void notifyReady();

    // The ping interval (half the watchdog time), 0 when systemd wants none.
    int intervalMs() const { return pinger.isActive() ? pinger.interval() : 0; }

private:
    void ping();
    // Opens a socket of its own to NOTIFY_SOCKET; false where there is none to talk to.
    bool openNotifySocket();
    // Whether the message went; it never waits.
    bool send(const char *message);

    QTimer pinger;
    bool ready = false;
    bool readySent = false;
    int notifyFd = -1;
    // The socket address of NOTIFY_SOCKET, as sendto() takes it.
    QByteArray notifyAddress;
};
