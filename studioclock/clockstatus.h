#pragma once

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "studioclock/clocksync.h"
#include "studioclock/countdown.h"
#include "studioclock/endtime.h"

#include <QObject>

#include <functional>

class VexoAnalogClock;
class VexoDigitalClock;
class VexoLamp;
class QWidget;

// What the studio clock says beyond the time: whether the studio is on air, whether the time
// can be trusted, how long until the end time, and a count-down. It holds their state and their
// lamps on the dial, sets the analog clock's end-time marker and count-down arc, and gives the
// date's place to the count-down or the end time while one runs; the window calls secondTick()
// from its one wake a second, so none of it wakes the program on its own.
class ClockStatus : public QObject
{
    Q_OBJECT

public:
    // The lamps become children of `window`, on the analog clock's dial.
    ClockStatus(QWidget *window, VexoAnalogClock *analog, VexoDigitalClock *digital);

    void apply(const ClockSettings &settings);
    void setShowSync(bool show);

    // `nowMs` is the wall clock's time, read just after a second boundary.
    void secondTick(qint64 nowMs);

    // Milliseconds of elapsed time, which the count-down measures: the system's clock that
    // runs on through a suspend and that no setting of the time moves, unless a test gives
    // another.
    using ElapsedClock = std::function<qint64()>;
    void setElapsedClock(ElapsedClock clock);

    void startCountDown(int seconds, qint64 nowMs);
    void cancelCountDown();
    bool countDownActive() const { return countDown.state() != CountDown::Idle; }
    const CountDown &countDownState() const { return countDown; }

    // The studio's ON AIR light on the dial: red with its words while on, dark glass otherwise.
    void setOnAir(bool on);
    bool onAir() const;

    // Legends that flash are lit for the first half of every second and dark for the second.
    void setFlashPhase(bool lit);
    bool flashing() const;
    // What is no alarm at `brightness` (0 to 1) of its light; alarms stay full.
    void setBrightness(double brightness);

    ClockSyncWatch &syncWatch() { return sync; }
    const ClockSyncWatch &syncWatch() const { return sync; }

    void layout(const DesignLayout::Fit &fit);

    VexoLamp *syncLamp() const { return syncLamp_; }
    VexoLamp *endLamp() const { return endLamp_; }
    VexoLamp *countDownLamp() const { return countDownLamp_; }
    VexoLamp *onAirLamp() const { return onAirLamp_; }

signals:
    // The alarms, as their lamps change: the clock lost or regained its synchronisation, a
    // count-down reached zero.
    void syncChanged(bool synchronised);
    void timeUp();

private:
    void showSync();
    void showEnd();
    void showCountDown();
    void placeLamps();
    void light(VexoLamp *lamp, LampStyle::State state) const;

    VexoAnalogClock *analog;
    VexoDigitalClock *digital;
    VexoLamp *syncLamp_;
    VexoLamp *endLamp_;
    VexoLamp *countDownLamp_;
    VexoLamp *onAirLamp_;

    ClockSettings settings;
    ClockSyncWatch sync;
    CountDown countDown;
    ElapsedClock elapsedClock;
    bool showSyncLamp = true;
    bool flashLit = true;
    double brightness = 1.0;
    // The looks the dial's legends show now, for the brightness and the flashing.
    LampStyle::State endState = LampStyle::State::EndNear;
    LampStyle::State countState = LampStyle::State::CountDown;
    // The window's layout, kept for placing the lamps when one appears or goes.
    DesignLayout::Fit fit_ = DesignLayout::atDesignSize();
};
