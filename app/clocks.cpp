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
    clock->setHourLinesColor(QColor(0, 255, 0, 255));
    clock->setMinuteLines(true);
    clock->setMinuteLinesLength(4);
    clock->setMinuteLinesColor(QColor(0, 170, 0, 255));
    clock->setSecondDots(true);
    clock->setSecondDotsCountDown(false);
    clock->setDotSize(4);
    clock->setDotColor(QColor(255, 255, 255, 255));
    clock->setHands(true);
    clock->setHourHandColor(QColor(255, 0, 0, 128));
    clock->setHourHandBorder(24);
    clock->setHourHandLength(12);
    clock->setHourHandWidth(12);
    clock->setMinuteHandColor(QColor(0, 0, 255, 128));
    clock->setMinuteHandBorder(8);
    clock->setMinuteHandLength(28);
    clock->setMinuteHandWidth(8);
    // The end-time marker, when the operator sets one, must be seen across the room.
    clock->setEndTimeLength(14);
    clock->setEndTimeWidth(3);

    VexoDigitalClock *digital = ui->DigitalClock;
    QFont widgetFont(QStringLiteral("Bitstream Vera Sans"), 36, QFont::Bold, false);
    widgetFont.setStrikeOut(false);
    digital->setFont(widgetFont);
    digital->setTimeDisplayFont(QFont(Palette::FontFamily, PictureLayout::TimePointSize));
    digital->setTimeDisplayFontColor(QColor(255, 255, 255, 255));
    digital->setDateDisplay(true);
    digital->setDateDisplayFont(QFont(Palette::FontFamily, PictureLayout::DatePointSize));
    digital->setDateDisplayFontColor(QColor(255, 255, 255, 255));
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
    // The server's heartbeat and the client's fresh join ride on this wake: no new one.
    if (commSettings.is_server)
        sendHeartbeat();
    else
        rejoinGroupIfDue();
    // The link lamp's NO DATA count and the silence lamps show whole seconds: while the meters
    // rest there is no release tick to move them on, so this wake does.
    if (releaseTimer && !releaseTimer->isActive() && onAir->tick(meterLevels))
        resetMeters();
}

void MainWindow::openEndTime()
{
    CEndTimeDialog dialog(this, &clockSettings);
    if (dialog.exec() != QDialog::Accepted)
        return;
    clockStatus->apply(clockSettings);
    writeSettings();
}

void MainWindow::openCountDown()
{
    CCountDownDialog dialog(this, &clockSettings);
    if (dialog.exec() != QDialog::Accepted)
        return;
    clockStatus->startCountDown(clockSettings.countDownSeconds,
                                QDateTime::currentMSecsSinceEpoch());
    writeSettings();
}

void MainWindow::restartCountDown()
{
    clockStatus->startCountDown(clockSettings.countDownSeconds,
                                QDateTime::currentMSecsSinceEpoch());
}

void MainWindow::cancelCountDown()
{
    clockStatus->cancelCountDown();
}
