#include "widgets/clocksource.h"

#include "widgets/wholeseconds.h"

#include <QTimer>
#include <QWidget>

#include <limits>

ClockSource::~ClockSource() = default;

namespace {

// The system's local time, converted once per second. The conversion consults the time zone,
// which glibc checks anew with a stat of /etc/localtime every time: the two clocks, polling
// ten times a second each, did that sixty times a second, a tenth of the idle program's time.
// Local time reaches a new second only when the system time does (zone offsets are whole
// seconds), so a reading within the same second repeats the first one: the seconds and all
// above are the same, only the milliseconds stand still.
QDateTime systemLocalTime()
{
    static qint64 convertedSecond = std::numeric_limits<qint64>::min();
    static QDateTime converted;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = WholeSeconds::secondOf(ms);
    if (second != convertedSecond) {
        convertedSecond = second;
        converted = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    }
    return converted;
}

} // namespace

QDateTime currentDateTime(const ClockSource *source)
{
    return source ? source->now() : systemLocalTime();
}

QTime currentTime(const ClockSource *source)
{
    return source ? source->now().time() : systemLocalTime().time();
}

void setClockDriven(QWidget *clock, QTimer *poll, bool &driven, bool value)
{
    if (value == driven)
        return;
    driven = value;
    if (driven)
        poll->stop();
    else
        poll->start(ClockPollMs);
    clock->update();
}
