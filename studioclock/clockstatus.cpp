#include "studioclock/clockstatus.h"

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/vexolamp.h"

#include <QRect>
#include <QWidget>

#include <ctime>

namespace {

// The analog clock's count-down arc covers the last minute.
constexpr int ArcSeconds = 60;
// The end-time lamp turns red with the clock's approach arc.
constexpr int ApproachSeconds = 15;

qint64 bootTimeMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

ClockStatus::ClockStatus(QWidget *window, VexoAnalogClock *clock)
    : QObject(window)
    , analog(clock)
    , syncLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_sync")))
    , endLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_end_time")))
    , countDownLamp_(LampStyle::makeLegend(window, QStringLiteral("lamp_count_down")))
    , elapsedClock(bootTimeMs)
{
    endLamp_->hide();
    countDownLamp_->hide();
    syncLamp_->setToolTip(tr("Synchronisation of the system clock, and its estimated error"));
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
    if (countDown.update(nowMs, elapsedClock()) || countDown.state() == CountDown::TimeUp)
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

void ClockStatus::showSync()
{
    syncLamp_->setText(sync.legend());
    LampStyle::setColours(syncLamp_, sync.synchronised() ? LampStyle::Green : LampStyle::Amber,
                          LampStyle::Black);
}

void ClockStatus::showEnd()
{
    // The time as the analog clock shows it, so that the words and the marker agree.
    const QTime shown(analog->displayedHour(), analog->displayedMinute(),
                      analog->displayedSecond());
    const int left = EndTime::secondsLeft(settings, shown);
    const bool visible = left >= 0 && left <= EndTime::AnnounceSeconds;
    if (visible) {
        endLamp_->setText(EndTime::leftText(left));
        if (left <= ApproachSeconds)
            LampStyle::setColours(endLamp_, LampStyle::Red, LampStyle::White);
        else
            LampStyle::setColours(endLamp_, LampStyle::Amber, LampStyle::Black);
    }
    if (visible != endLamp_->isVisibleTo(endLamp_->parentWidget())) {
        endLamp_->setVisible(visible);
        placeLamps();
    }
}

void ClockStatus::showCountDown()
{
    const CountDown::State state = countDown.state();
    const bool visible = state != CountDown::Idle;
    if (state == CountDown::Running) {
        countDownLamp_->setText(countDown.text());
        countDownLamp_->setLit(true);
        LampStyle::setColours(countDownLamp_, LampStyle::Magenta, LampStyle::White);
        analog->setCountDownColor(LampStyle::Magenta);
        analog->setCountDownTime(
            countDown.secondsLeft() <= ArcSeconds ? float(countDown.secondsLeft()) : 0.0f);
    } else if (state == CountDown::TimeUp) {
        countDownLamp_->setText(countDown.text());
        LampStyle::setColours(countDownLamp_, LampStyle::Red, LampStyle::White);
        // A lamp that blinks once a second and a full red ring: seen from across the room.
        countDownLamp_->setLit(!countDownLamp_->getLit());
        analog->setCountDownColor(LampStyle::Red);
        analog->setCountDownTime(float(ArcSeconds));
    } else {
        analog->setCountDownTime(0.0f);
    }
    if (visible != countDownLamp_->isVisibleTo(countDownLamp_->parentWidget())) {
        countDownLamp_->setVisible(visible);
        countDownLamp_->setLit(true);
        placeLamps();
    }
}

void ClockStatus::layout(const DesignLayout::Fit &fit)
{
    fit_ = fit;
    syncLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::SyncLamp, fit));
    syncLamp_->setFont(LampStyle::font(StatusLayout::SyncLampPixelSize, fit));
    const QFont lower = LampStyle::font(StatusLayout::DialRowPixelSize, fit);
    endLamp_->setFont(lower);
    countDownLamp_->setFont(lower);
    placeLamps();
}

void ClockStatus::placeLamps()
{
    const DesignLayout::Fit &fit = fit_;
    const bool end = endLamp_->isVisibleTo(endLamp_->parentWidget());
    const bool count = countDownLamp_->isVisibleTo(countDownLamp_->parentWidget());
    if (end && count) {
        endLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::DialRowLeft, fit));
        countDownLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::DialRowRight, fit));
        return;
    }
    endLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::DialRowSingle, fit));
    countDownLamp_->setGeometry(DesignLayout::scaleRect(StatusLayout::DialRowSingle, fit));
}
