#include "app/mainwindow.h"

#include "comm/levelframe.h"
#include "comm/releasegate.h"
#include "diagnostics/trace.h"
#include "onair/onairstatus.h"
#include "ui_mainwindow.h"
#include "widgets/vexoppmmeter.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSerialPort>
#include <QUdpSocket>
#include <QWindow>

void MainWindow::CalculatePPMRelease(VexoPPMMeter *meter, double *level)
{
    double next;
    if (!releaseStep(meter->dBPosition, *level, releaseFallThisTick, &next)) {
        // A resting bar may still carry a peak mark that has to fall to it.
        if (meter->peakPending())
            meter->CalculateMeter();
        return;
    }
    const int barBefore = meter->barHeight();
    meter->dBPosition = next;
    // Repaint only when the bar moved by a whole pixel, as most ticks of a slow fall do not,
    // and then only the rows it moved over: a meter is a tall column of a large window, and
    // repainting all of it for a step of a few pixels cost most of the program's time.
    if (meter->CalculateMeter())
        meter->repaintRows(meter->barChange(barBefore));
}

void MainWindow::meterRelease()
{
    readArrivals();
    const std::array<VexoPPMMeter *, LevelFrame::Channels> six = meters();
    // A late tick (a stalled display, a busy machine) falls for all the time it lost.
    releaseFallThisTick = releaseFall(releaseClock.sinceLastTick(releaseIntervalMs * 1000000LL),
                                      releasePerTick, releaseIntervalMs);
    // A link that has just gone quiet takes the meters down with the normal release, rather
    // than leaving them standing at the last levels it sent.
    if (onAir->tick(meterLevels))
        resetMeters();
    int moving = 0;
    int fallingPeaks = 0;
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        VexoPPMMeter *meter = six[i];
        double target = tickLevels.target(i);
        CalculatePPMRelease(meter, &target);
        if (!ReleaseGate::settled(meter->dBPosition, meterLevels[i], meter->getMindBPosition(),
                                  meter->getMaxdBPosition()))
            ++moving;
        // A mark held until reset never falls, and needs no tick.
        if (meter->peakPending() && meter->getPeakHoldTime() > 0.0)
            ++fallingPeaks;
    }
    tickLevels.ticked(meterLevels);
    if (Q_UNLIKELY(Trace::enabled))
        Trace::releaseTicked();
    paintMovedMeters();
    if (releaseTimer) {
        if (ReleaseGate::mayRest(moving, fallingPeaks, onAir->state() == LinkWatch::Live))
            releaseTimer->stop();
        else if (releaseTimer->interval() != releasePaceMs)
            releaseTimer->setInterval(releasePaceMs);
    }
    pauseArrivals(releaseTimer && releaseTimer->isActive());
}

void MainWindow::readArrivals()
{
    if (serialPause.paused())
        readSerialLine();
    if (udpPause.paused())
        udpReceive();
}

void MainWindow::pauseArrivals(bool ticking)
{
    if (!ticking) {
        serialPause.resume();
        udpPause.resume();
        return;
    }
    // A server forwards every frame as it comes: read at the tick, a frame would wait up to a
    // refresh before it even leaves for the other displays, whose own tick then waits again.
    if (serialPort && !commSettings.is_server
        && serialPause.pause(serialPort, serialPort->handle()) && Trace::enabled)
        Trace::awaitArrival(serialPort->handle());
    // A server's socket only sends; a client's brings the frames. Datagrams left unread by a
    // read are more than a console sends (a flood): until they are gone the socket wakes the
    // program for every arrival, as at rest, so that the kernel's buffer drains and the next
    // frame is not dropped for want of room in it.
    if (!commSettings.use_udp || commSettings.is_server)
        return;
    if (udpSocket->hasPendingDatagrams())
        udpPause.resume();
    else if (udpPause.pause(udpSocket, udpSocket->socketDescriptor()) && Trace::enabled)
        Trace::awaitArrival(udpSocket->socketDescriptor());
}

void MainWindow::wakeRelease()
{
    if (!releaseTimer || releaseTimer->isActive())
        return;
    const QScreen *screen = windowHandle() ? windowHandle()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    releasePaceMs = RepaintPacer::intervalMs(screen ? screen->refreshRate()
                                                    : RepaintPacer::DefaultRefreshHz);
    // A tick that ran a moment before the rest keeps the repaints a refresh apart.
    const int delay
        = RepaintPacer::delayMs(releaseClock.nowNs(), releaseClock.lastTickNs(), releasePaceMs);
    // Whatever moves now has moved since now: the first tick falls for the time from here.
    releaseClock.restart();
    releaseTimer->start(delay);
}

void MainWindow::resetMeters()
{
    for (double &level : meterLevels)
        level = LevelFrame::FloorDb;
    tickLevels.reset(LevelFrame::FloorDb);
    wakeRelease();
}
