#include "diagnostics/trace.h"

#include "comm/levelframe.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/vexodigitalclock.h"
#include "widgets/vexoppmmeter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <memory>

namespace Trace {
bool enabled = false;
}

namespace {

qint64 nsOf(clockid_t id)
{
    timespec ts {};
    clock_gettime(id, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 monotonicNs()
{
    return nsOf(CLOCK_MONOTONIC);
}

enum class Kind : quint8 {
    Main,
    Window,
    FirstPaint,
    FirstShown,
    Frame,
    Release,
    AnalogClock,
    DigitalClock,
    MeterPaint,
    Latency,
    AnalogSecond,
    DigitalSecond,
};

struct Event
{
    qint64 at;
    qint64 value;
    Kind kind;
    quint8 channel;
};

// Collects events in a buffer allocated once and writes them out from the event loop, twice a
// second and at the end, so that no event costs a file write.
class Recorder : public QObject
{
public:
    // Twice a second a live display records a few hundred events; a flood of frames fills
    // the buffer, and what does not fit is counted as lost.
    static constexpr int Capacity = 1 << 15;

    explicit Recorder(FILE *out)
        : file(out)
        , events(new Event[Capacity])
    {
    }
    ~Recorder() override
    {
        flush();
        if (lost > 0)
            std::fprintf(file, "lost %llu\n", static_cast<unsigned long long>(lost));
        std::fclose(file);
        Trace::enabled = false;
    }

    void record(Kind kind, qint64 at, int channel = 0, qint64 value = 0)
    {
        if (count == Capacity) {
            ++lost;
            return;
        }
        events[count++] = { at, value, kind, static_cast<quint8>(channel) };
    }

    void attach(QWidget *mainWindow);
    void frameArrived(const double *targets, const unsigned char *frame);
    void releaseTicked();
    void awaitArrival(qintptr descriptor);
    void meterPainted(int channel, qint64 at);
    void flush();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FILE *file;
    std::unique_ptr<Event[]> events;
    int count = 0;
    quint64 lost = 0;
    QTimer flushTimer;

    QWidget *window = nullptr;
    VexoPPMMeter *meters[LevelFrame::Channels] = {};
    // Per channel: the earliest arrival since the last tick that changed the target; the
    // arrival whose effect the last ticks drew and no paint has shown yet; the bar height
    // seen at the last tick.
    qint64 pending[LevelFrame::Channels] = {};
    qint64 awaiting[LevelFrame::Channels] = {};
    int lastBar[LevelFrame::Channels] = {};
    bool firstPaintSeen = false;
    // Watches of the inputs that the tick reads, and the first arrival they saw since the last
    // tick (0: none).
    QHash<qintptr, QSocketNotifier *> arrivalWatches;
    qint64 arrivedAt = 0;
    // The clocks and the second each showed at its last paint: a paint that shows a new
    // second is stamped with the wall clock, whose fraction of a second is then its lag.
    VexoAnalogClock *analog = nullptr;
    VexoDigitalClock *digital = nullptr;
    int analogShown = -1;
    QString digitalShown;
};

Recorder *recorder = nullptr;

void Recorder::attach(QWidget *mainWindow)
{
    window = mainWindow;
    record(Kind::Window, monotonicNs());
    static const char *const names[LevelFrame::Channels]
        = { "ProgLeft", "ProgRight", "SubLeft", "SubRight", "CrmLeft", "CrmRight" };
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        meters[i] = window->findChild<VexoPPMMeter *>(QLatin1String(names[i]));
        if (meters[i]) {
            meters[i]->installEventFilter(this);
            lastBar[i] = meters[i]->barHeight();
        }
    }
    window->installEventFilter(this);

    // The clocks' timers are their own; a connection of ours sees each tick.
    auto watchClock = [this](QWidget *clock, Kind kind) {
        if (!clock)
            return;
        for (QTimer *timer : clock->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
            connect(timer, &QTimer::timeout, this, [this, kind] { record(kind, monotonicNs()); });
    };
    analog = window->findChild<VexoAnalogClock *>();
    digital = window->findChild<VexoDigitalClock *>();
    watchClock(analog, Kind::AnalogClock);
    watchClock(digital, Kind::DigitalClock);
    for (QWidget *clock : { static_cast<QWidget *>(analog), static_cast<QWidget *>(digital) })
        if (clock)
            clock->installEventFilter(this);

    connect(&flushTimer, &QTimer::timeout, this, &Recorder::flush);
    flushTimer.start(500);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &Recorder::flush);
}

void Recorder::frameArrived(const double *targets, const unsigned char *frame)
{
    const qint64 at = arrivedAt != 0 ? arrivedAt : monotonicNs();
    int changed = 0;
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        if (LevelFrame::levelDb(frame, i) == targets[i])
            continue;
        changed |= 1 << i;
        if (pending[i] == 0)
            pending[i] = at;
    }
    record(Kind::Frame, at, 0, changed);
}

void Recorder::releaseTicked()
{
    record(Kind::Release, monotonicNs());
    arrivedAt = 0;
    for (QSocketNotifier *watch : qAsConst(arrivalWatches))
        watch->setEnabled(false);
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        if (!meters[i])
            continue;
        const int bar = meters[i]->barHeight();
        if (bar != lastBar[i] && pending[i] != 0 && awaiting[i] == 0)
            awaiting[i] = pending[i];
        lastBar[i] = bar;
        pending[i] = 0;
    }
}

void Recorder::awaitArrival(qintptr descriptor)
{
    QSocketNotifier *&watch = arrivalWatches[descriptor];
    if (!watch) {
        watch = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
        QSocketNotifier *const self = watch;
        connect(watch, &QSocketNotifier::activated, this, [this, self] {
            if (arrivedAt == 0)
                arrivedAt = monotonicNs();
            // The bytes stay for the tick; one arrival is all that is wanted.
            self->setEnabled(false);
        });
    }
    watch->setEnabled(true);
}

bool Recorder::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint)
        return false;
    const qint64 at = monotonicNs();
    if (watched == window) {
        if (!firstPaintSeen) {
            firstPaintSeen = true;
            record(Kind::FirstPaint, at);
            // Runs once this paint is done and flushed and the event loop is back.
            QMetaObject::invokeMethod(
                this, [this] { record(Kind::FirstShown, monotonicNs()); }, Qt::QueuedConnection);
        }
        return false;
    }
    if (watched == analog) {
        if (analog->displayedSecond() != analogShown) {
            analogShown = analog->displayedSecond();
            record(Kind::AnalogSecond, at, 0, nsOf(CLOCK_REALTIME));
        }
        return false;
    }
    if (watched == digital) {
        if (digital->timeText() != digitalShown) {
            digitalShown = digital->timeText();
            record(Kind::DigitalSecond, at, 0, nsOf(CLOCK_REALTIME));
        }
        return false;
    }
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        if (watched == meters[i])
            meterPainted(i, at);
    }
    return false;
}

void Recorder::meterPainted(int channel, qint64 at)
{
    record(Kind::MeterPaint, at, channel);
    if (awaiting[channel] != 0) {
        record(Kind::Latency, at, channel, at - awaiting[channel]);
        awaiting[channel] = 0;
    }
}

void Recorder::flush()
{
    static const char *const names[] = {
        "main",  "window", "firstpaint", "firstshown", "frame",       "release",
        "clock", "clock",  "meterpaint", "latency",    "secondpaint", "secondpaint",
    };
    for (int i = 0; i < count; ++i) {
        const Event &e = events[i];
        const auto at = static_cast<long long>(e.at);
        switch (e.kind) {
        case Kind::Frame:
            std::fprintf(file, "frame %lld %lld\n", at, static_cast<long long>(e.value));
            break;
        case Kind::AnalogClock:
        case Kind::DigitalClock:
            std::fprintf(file, "clock %lld %s\n", at,
                         e.kind == Kind::AnalogClock ? "analog" : "digital");
            break;
        case Kind::AnalogSecond:
        case Kind::DigitalSecond:
            std::fprintf(file, "secondpaint %lld %s %lld\n", at,
                         e.kind == Kind::AnalogSecond ? "analog" : "digital",
                         static_cast<long long>(e.value));
            break;
        case Kind::MeterPaint:
            std::fprintf(file, "meterpaint %lld %d\n", at, e.channel);
            break;
        case Kind::Latency:
            std::fprintf(file, "latency %lld %d %lld\n", at, e.channel,
                         static_cast<long long>(e.value));
            break;
        default:
            std::fprintf(file, "%s %lld\n", names[int(e.kind)], at);
            break;
        }
    }
    count = 0;
    std::fflush(file);
}

} // namespace

namespace Trace {

void begin()
{
    const qint64 at = monotonicNs();
    const QByteArray path = qgetenv("ORVANE_TRACE");
    if (path.isEmpty())
        return;
    FILE *out = std::fopen(path.constData(), "we");
    if (!out)
        return;
    recorder = new Recorder(out);
    recorder->record(Kind::Main, at);
    enabled = true;
}

void attach(QWidget *mainWindow)
{
    if (!recorder)
        return;
    // Goes with the application object, after the window: the last events are written then.
    recorder->setParent(QCoreApplication::instance());
    QObject::connect(recorder, &QObject::destroyed, [] { recorder = nullptr; });
    recorder->attach(mainWindow);
}

void frameArrived(const double *targets, const unsigned char *frame)
{
    recorder->frameArrived(targets, frame);
}

void releaseTicked()
{
    recorder->releaseTicked();
}

void awaitArrival(qintptr descriptor)
{
    recorder->awaitArrival(descriptor);
}

void meterPainted(int channel)
{
    recorder->meterPainted(channel, monotonicNs());
}

} // namespace Trace
