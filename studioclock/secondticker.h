#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// One wake a second, just after the wall clock's second boundary, for everything that shows or
// counts whole seconds: the clocks then change within a few milliseconds of the true second,
// together, in one paint. Each wake reads the wall clock afresh and arms the next from that
// reading, so that a stepped clock (time set, NTP step, resume) is followed at the next wake
// and no error carries over from one second to the next.
class SecondTicker : public QObject
{
    Q_OBJECT

public:
    // Milliseconds since the epoch; the system's wall clock unless a test gives another.
    using WallClock = std::function<qint64()>;

    // How long after a boundary the wake is armed: the timer's own granularity is a
    // millisecond, and a wake that lands before the boundary would find the old second.
    static constexpr int LeadMs = 1;

    explicit SecondTicker(QObject *parent = nullptr);

    void setWallClock(WallClock clock);
    void start();
    void stop();
    bool isActive() const { return timer.isActive(); }

    // The delay from `nowMs` to the wake that follows the next second boundary; a wake that
    // came a little early (just before a boundary) waits only for that boundary.
    static int delayToNextSecond(qint64 nowMs);

signals:
    void ticked();

private:
    void wake();
    void arm();

    QTimer timer;
    WallClock wallClock;
};
