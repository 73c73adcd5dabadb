#include "app/mainwindow.h"

#include "dialogs/ccountdowndialog.h"
#include "dialogs/cendtimedialog.h"
#include "studioclock/clockstatus.h"
#include "studioclock/secondticker.h"
#include "onair/onairstatus.h"
#include "panel/palette.h"
#include "panel/panellayout.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QTimer>

void MainWindow::setupClocks()
{
    VexoAnalogClock *clock = ui->AnalogClock;
    clock->setHourLines(true);
    clock->setHourLinesColor(Palette::HourTicks);
    clock->setMinuteLines(true);
    clock->setMinuteLinesLength(4);
    clock->setMinuteLinesColor(Palette::MinuteTicks);
    clock->setSecondDots(true);
    clock->setSecondDotsCountDown(false);
    clock->setDotSize(4);
    clock->setDotColor(Palette::SecondDots);
    clock->setHands(true);
    // Pointers at the rim, light on the dark dial with a dark outline: they stop short of the
    // time, the date and the lamps on the dial, which all keep within a radius of 72.
    clock->setHourHandColor(Palette::HourHand);
    clock->setHourHandBorder(16);
    clock->setHourHandLength(10);
    clock->setHourHandWidth(10);
    clock->setMinuteHandColor(Palette::MinuteHand);
    clock->setMinuteHandBorder(8);
    clock->setMinuteHandLength(18);
    clock->setMinuteHandWidth(8);
    clock->setHandOutlineColor(Palette::HandOutline);
    // The end-time marker, when the operator sets one, must be seen across the room.
    clock->setEndTimeLength(14);
    clock->setEndTimeWidth(3);

    VexoDigitalClock *digital = ui->DigitalClock;
    QFont widgetFont(QStringLiteral("Bitstream Vera Sans"), 36, QFont::Bold, false);
    widgetFont.setStrikeOut(false);
    digital->setFont(widgetFont);
    digital->setTimeDisplayFont(QFont(Palette::FontFamily, PictureLayout::TimePointSize));
    digital->setTimeDisplayFontColor(Palette::ClockFigures);
    digital->setDateDisplay(true);
    digital->setDateDisplayFont(QFont(Palette::FontFamily, PictureLayout::DatePointSize));
    digital->setDateDisplayFontColor(Palette::ClockFigures);
}

void MainWindow::applyHands()
{
    ui->AnalogClock->setHands(displaySettings.showHands);
}

void MainWindow::startSecondTicker()
{
    // Both clocks change on the true second, in one paint, woken once a second instead of
    // polling twenty times.
    ui->AnalogClock->setDriven(true);
    ui->DigitalClock->setDriven(true);
    secondTicker = new SecondTicker(this);
    connect(secondTicker, &SecondTicker::ticked, this, &MainWindow::secondTick);
    secondTicker->start();
    // The first paint shows the time, not the clocks' empty start-up state until the first
    // wake up to a second later.
    ui->AnalogClock->checkTime();
    ui->DigitalClock->checkTime();
}

void MainWindow::secondTick()
{
    ui->AnalogClock->checkTime();
    ui->DigitalClock->checkTime();
    clockStatus->secondTick(QDateTime::currentMSecsSinceEpoch());
    applyNight();
    // Whatever flashes is lit now, with the new second, and goes dark halfway through it.
    onAir->setFlashPhase(true);
    clockStatus->setFlashPhase(true);
    // The server's heartbeat and the client's fresh join ride on this wake: no new one.
    if (commSettings.is_server)
        sendHeartbeat();
    else
        rejoinGroupIfDue();
    // The link lamp's NO DATA count and the silence lamps show whole seconds: while the meters
    // rest there is no release tick to move them on, so this wake does.
    if (releaseTimer && !releaseTimer->isActive() && onAir->tick(meterLevels))
        resetMeters();
    if (onAir->flashing() || clockStatus->flashing())
        flashTimer.start();
    publishRemote();
}

void MainWindow::flashOff()
{
    onAir->setFlashPhase(false);
    clockStatus->setFlashPhase(false);
}

bool MainWindow::isOnAir() const
{
    return clockStatus->onAir();
}

void MainWindow::openEndTime()
{
    CEndTimeDialog dialog(this, &clockSettings);
    if (dialog.exec() != QDialog::Accepted)
        return;
    setProblem(endTimeProblem, QString());
    clockStatus->apply(clockSettings);
    writeSettings();
    publishRemote();
}

void MainWindow::openCountDown()
{
    CCountDownDialog dialog(this, &clockSettings);
    if (dialog.exec() != QDialog::Accepted)
        return;
    clockStatus->startCountDown(clockSettings.countDownSeconds,
                                QDateTime::currentMSecsSinceEpoch());
    writeSettings();
    publishRemote();
}

void MainWindow::restartCountDown()
{
    clockStatus->startCountDown(clockSettings.countDownSeconds,
                                QDateTime::currentMSecsSinceEpoch());
    publishRemote();
}

void MainWindow::cancelCountDown()
{
    clockStatus->cancelCountDown();
    publishRemote();
}
