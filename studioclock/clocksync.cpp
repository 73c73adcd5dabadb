#include "studioclock/clocksync.h"

#include <QObject>

#include <cmath>
#include <sys/timex.h>

namespace ClockSync {

bool synchronised(const KernelClock &kernel)
{
    return kernel.answered && kernel.maxErrorUs >= 0 && kernel.maxErrorUs < UnsyncedMaxErrorUs;
}

QString legend(const KernelClock &kernel)
{
    if (!synchronised(kernel))
        return QObject::tr("NOT SYNCED");
    const long us = qMax(0L, kernel.estErrorUs);
    const QChar pm(0x00B1);
    // Rounded up: an error of 3.2 ms is not "±3 ms".
    if (us < 1000)
        return QObject::tr("SYNC %1%2 ms")
            .arg(pm)
            .arg(QString::number(qMax(1L, (us + 99) / 100) / 10.0, 'f', 1));
    if (us < 1000000)
        return QObject::tr("SYNC %1%2 ms").arg(pm).arg((us + 999) / 1000);
    return QObject::tr("SYNC %1%2 s")
        .arg(pm)
        .arg(QString::number(std::ceil(us / 100000.0) / 10.0, 'f', 1));
}

KernelClock readKernel()
{
    timex tx {};
    tx.modes = 0;
    KernelClock k;
    const int state = adjtimex(&tx);
    if (state == -1)
        return k;
    k.answered = true;
    k.status = tx.status;
    k.maxErrorUs = tx.maxerror;
    k.estErrorUs = tx.esterror;
    return k;
}

} // namespace ClockSync

ClockSyncWatch::ClockSyncWatch()
    : read(&ClockSync::readKernel)
    , text(ClockSync::legend(KernelClock()))
{
}

void ClockSyncWatch::setReader(Reader reader)
{
    read = std::move(reader);
    secondsToNext = 0;
}

bool ClockSyncWatch::tick()
{
    if (--secondsToNext > 0)
        return false;
    return refresh();
}

bool ClockSyncWatch::refresh()
{
    secondsToNext = IntervalSeconds;
    const KernelClock kernel = read();
    last = kernel;
    const bool nowSynced = ClockSync::synchronised(kernel);
    const QString nowText = ClockSync::legend(kernel);
    if (nowSynced == synced && nowText == text)
        return false;
    synced = nowSynced;
    text = nowText;
    return true;
}
