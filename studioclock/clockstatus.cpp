#include "studioclock/clockstatus.h"

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/vexodigitalclock.h"
#include "widgets/vexolamp.h"

#include <QRect>
#include <QWidget>

#include <ctime>

namespace {

// The analog clock's count-down arc covers the last minute.
constexpr int ArcSeconds = 60;

bool shown(const VexoLamp *lamp)
{
    return lamp->isVisibleTo(lamp->parentWidget());
}

qint64 bootTimeMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

ClockStatus::ClockStatus(QWidget *window, VexoAnalogClock *clock, VexoDigitalClock *digitalClock)
    : QObject(window)
    , analog(clock)
    , digital(digitalClock)
    , syncLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_sync")))
    , endLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_end_time")))
    , countDownLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_count_down")))
    , onAirLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_on_air")))
    , elapsedClock(bootTimeMs)
{
    endLamp_->hide();
    countDownLamp_->hide();
    endLamp_->setLabel(tr("END"));
    // Words straight on the dial: dark between two flashes.
    for (VexoLamp *legend : { endLamp_, countDownLamp_ }) {
        legend->setUnlitColor(Qt::transparent);
        legend->setUnlitTextColor(Qt::transparent);
    }
    syncLamp_->setToolTip(tr("Synchronisation of the system clock, and its estimated error"));
    LampStyle::show(onAirLamp_, LampStyle::State::OnAir);
    onAirLamp_->setText(tr("ON AIR"));
    // Off, the lamp is dark glass that says nothing.
    onAirLamp_->setUnlitColor(QColor(24, 6, 6));
    onAirLamp_->setUnlitTextColor(QColor(24, 6, 6));
    onAirLamp_->setLit(false);
    sync.refresh();
    showSync();
}

void ClockStatus::apply(const ClockSettings &s)
{
    settings = s;
    const bool on = s.endMode != ClockSettings::EndOff;
    const QTime &end = s.endMode == ClockSettings::EndHourly ? s.endHourly : s.endDaily;
    // An hour of 24 or more marks the minutes and seconds of every hour.
    analog->setEndTimeHour(s.endMode == ClockSettings::EndHourly ? 24 : end.hour());
    analog->setEndTimeMinute(end.minute());
    analog->setEndTimeSecond(end.second());
    analog->setEndTime(on);
    showEnd();
}

void ClockStatus::setShowSync(bool show)
{
    if (show == showSyncLamp)
        return;
    showSyncLamp = show;
    syncLamp_->setVisible(show);
}

void ClockStatus::secondTick(qint64 nowMs)
{
    const bool wasSynced = sync.synchronised();
    if (sync.tick())
        showSync();
    showEnd();
    const CountDown::State was = countDown.state();
    if (countDown.update(nowMs, elapsedClock()))
        showCountDown();
    if (sync.synchronised() != wasSynced)
        emit syncChanged(sync.synchronised());
    if (was == CountDown::Running && countDown.state() == CountDown::TimeUp)
        emit timeUp();
}

void ClockStatus::setElapsedClock(ElapsedClock clock)
{
    elapsedClock = std::move(clock);
}

void ClockStatus::startCountDown(int seconds, qint64 nowMs)
{
    countDown.start(seconds, nowMs, elapsedClock());
    showCountDown();
}

void ClockStatus::cancelCountDown()
{
    if (countDown.state() == CountDown::Idle)
        return;
    countDown.cancel();
    showCountDown();
}

void ClockStatus::setOnAir(bool on)
{
    onAirLamp_->setLit(on);
}

bool ClockStatus::onAir() const
{
    return onAirLamp_->getLit();
}

void ClockStatus::setFlashPhase(bool lit)
{
    flashLit = lit;
    if (LampStyle::look(countState).flashes)
        countDownLamp_->setLit(lit);
}

bool ClockStatus::flashing() const
{
    return shown(countDownLamp_) && LampStyle::look(countState).flashes;
}

void ClockStatus::setBrightness(double value)
{
    if (qFuzzyCompare(value, brightness))
        return;
    brightness = value;
    showSync();
    light(endLamp_, endState);
    light(countDownLamp_, countState);
}

void ClockStatus::light(VexoLamp *lamp, LampStyle::State state) const
{
    const LampStyle::Look look = LampStyle::look(state);
    const double k = look.alarm ? 1.0 : brightness;
    LampStyle::setColours(lamp, LampStyle::dimmed(look.lit, k), LampStyle::dimmed(look.text, k));
}

void ClockStatus::showSync()
{
    syncLamp_->setText(sync.legend());
    light(syncLamp_, sync.synchronised() ? LampStyle::State::Synced : LampStyle::State::NotSynced);
}

void ClockStatus::showEnd()
{
    // The time as the analog clock shows it, so that the words and the marker agree.
    const QTime now(analog->displayedHour(), analog->displayedMinute(), analog->displayedSecond());
    const EndTime::Legend legend = EndTime::legend(settings, now);
    const bool visible = !legend.text.isEmpty();
    if (visible) {
        endLamp_->setText(legend.text);
        if (legend.state != endState || !shown(endLamp_)) {
            endState = legend.state;
            light(endLamp_, endState);
        }
    }
    if (visible != shown(endLamp_)) {
        endLamp_->setVisible(visible);
        placeLamps();
    }
}

void ClockStatus::showCountDown()
{
    const CountDown::State state = countDown.state();
    const bool visible = state != CountDown::Idle;
    if (state == CountDown::Running) {
        countState = LampStyle::State::CountDown;
        countDownLamp_->setLabel(tr("COUNT"));
        countDownLamp_->setText(LampStyle::clockCount(countDown.secondsLeft()));
        countDownLamp_->setLit(true);
        analog->setCountDownColor(LampStyle::look(countState).text);
        analog->setCountDownTime(
            countDown.secondsLeft() <= ArcSeconds ? float(countDown.secondsLeft()) : 0.0f);
    } else if (state == CountDown::TimeUp) {
        // Flashing words and a full red ring: seen from across the room.
        countState = LampStyle::State::TimeUp;
        countDownLamp_->setLabel(QString());
        countDownLamp_->setText(tr("TIME UP"));
        countDownLamp_->setLit(flashLit);
        analog->setCountDownColor(LampStyle::look(countState).text);
        analog->setCountDownTime(float(ArcSeconds));
    } else {
        analog->setCountDownTime(0.0f);
    }
    light(countDownLamp_, countState);
    if (visible != shown(countDownLamp_)) {
        countDownLamp_->setVisible(visible);
        placeLamps();
    }
}

void ClockStatus::layout(const DesignLayout::Fit &fit)
{
    fit_ = fit;
    syncLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::SyncLamp, fit));
    syncLamp_->setFont(LampStyle::font(StatusLayout::SyncLampPixelSize, fit));
    onAirLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::OnAirLamp, fit));
    onAirLamp_->setFont(LampStyle::font(StatusLayout::OnAirPixelSize, fit));
    placeLamps();
}

void ClockStatus::placeLamps()
{
    using namespace StatusLayout;
    const auto place = [this](VexoLamp *lamp, const QRect &row, int textSize, int labelSize) {
        lamp->setGeometry(DesignLayout::scaleRect(row, fit_));
        lamp->setFont(LampStyle::font(textSize, fit_));
        lamp->setLabelFont(LampStyle::font(labelSize, fit_));
    };
    // The count-down is what must be read now: it takes the date's place, and an end time
    // that is near as well moves to the row below.
    const bool count = shown(countDownLamp_);
    const bool end = shown(endLamp_);
    place(countDownLamp_, DialRow, DialRowPixelSize, DialRowLabelPixelSize);
    if (count)
        place(endLamp_, DialLowerRow, DialLowerRowPixelSize, DialLowerRowLabelPixelSize);
    else
        place(endLamp_, DialRow, DialRowPixelSize, DialRowLabelPixelSize);
    digital->setDateDisplay(!count && !end);
}
