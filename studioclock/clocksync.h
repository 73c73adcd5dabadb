#pragma once

#include <QString>

#include <functional>

// Whether the system clock can be trusted, from the kernel's clock discipline (adjtimex):
// synchronised when the kernel answers and its maximum error is below 16 s, the rule by which
// systemd reports "System clock synchronized". The kernel's unsynchronised flag is not used:
// it stays set on machines whose time daemon leaves it alone to keep the kernel off the RTC.
struct KernelClock
{
    bool answered = false;
    int status = 0;
    long maxErrorUs = 0;
    long estErrorUs = 0;
};

namespace ClockSync {

// The kernel keeps its error figures below this; at it, the clock is running free.
constexpr long UnsyncedMaxErrorUs = 16000000;

bool synchronised(const KernelClock &kernel);
// "SYNC ±3 ms", "SYNC ±0.4 ms", "SYNC ±1.2 s" or "NOT SYNCED": short enough to read across a
// room; the estimated error, never shown smaller than it is.
QString legend(const KernelClock &kernel);

// The kernel's answer now; read-only, it needs no privilege.
KernelClock readKernel();

} // namespace ClockSync

// Asks the kernel at most every `IntervalSeconds` whole seconds, from the window's second tick:
// the question costs one system call, and the answer changes slowly.
class ClockSyncWatch
{
public:
    using Reader = std::function<KernelClock()>;
    static constexpr int IntervalSeconds = 5;

    ClockSyncWatch();
    void setReader(Reader reader);

    // Called once a second; returns true when the legend or the state has changed.
    bool tick();
    // Asks now, whatever the interval.
    bool refresh();

    bool synchronised() const { return synced; }
    const QString &legend() const { return text; }
    // The kernel's last answer, with its error figures.
    const KernelClock &lastReading() const { return last; }

private:
    Reader read;
    KernelClock last;
    int secondsToNext = 0;
    bool synced = false;
    QString text;
};
