#pragma once

#include "app/mainwindow.h"
#include "onair/onairstatus.h"
#include "studioclock/clockstatus.h"

#include <QSerialPort>
#include <QUdpSocket>

class VexoPPMMeter;

// The tests' way into the main window's private state: what a frame set, what the release step
// did, which sockets and ports are in use.
struct MainWindowTestAccess
{
    static double *meterLevels(MainWindow &w) { return w.meterLevels; }
    static comm_st &commSettings(MainWindow &w) { return w.commSettings; }
    static DistributionSettings &distributionSettings(MainWindow &w)
    {
        return w.distributionSettings;
    }
    static QSerialPort *serialPort(MainWindow &w) { return w.serialPort; }
    static QUdpSocket *udpSocket(MainWindow &w) { return w.udpSocket; }
    static const QRect *designRects(MainWindow &w) { return w.designRects; }
    static QSize windowSize(MainWindow &w) { return w.windowSize; }
    static bool resized(MainWindow &w) { return w.resized; }
    static const QPixmap *scaledBackground(MainWindow &w) { return w.scaledBackground; }
    static const QPixmap *scaledEmptyBackground(MainWindow &w) { return w.scaledEmptyBackground; }
    // The loaded pictures themselves, so that a test can stand in a picture that failed to load.
    static QPixmap *background(MainWindow &w) { return w.background; }
    static QPixmap *emptyBackground(MainWindow &w) { return w.emptyBackground; }
    static QTimer *releaseTimer(MainWindow &w) { return w.releaseTimer; }
    static const ReadPause &udpPause(MainWindow &w) { return w.udpPause; }
    static QTimer *serialRetryTimer(MainWindow &w) { return &w.serialRetryTimer; }
    static const FrameStream &serialFrames(MainWindow &w) { return w.serialFrames; }
    static double releasePerTick(MainWindow &w) { return w.releasePerTick; }
    static int releaseIntervalMs(MainWindow &w) { return w.releaseIntervalMs; }
    static ReleaseClock &releaseClock(MainWindow &w) { return w.releaseClock; }
    static double &releaseFallThisTick(MainWindow &w) { return w.releaseFallThisTick; }

    static void updateMeters(MainWindow &w, unsigned char *frame) { w.updateMeters(frame); }
    static void setupCommunication(MainWindow &w) { w.setupCommunication(); }
    static void udpReceive(MainWindow &w) { w.udpReceive(); }
    static void meterRelease(MainWindow &w) { w.meterRelease(); }
    static void calculatePPMRelease(MainWindow &w, VexoPPMMeter *meter, double *level)
    {
        w.CalculatePPMRelease(meter, level);
    }
    static void readSettings(MainWindow &w) { w.readSettings(); }
    static void writeSettings(MainWindow &w) { w.writeSettings(); }
    static int currentScreenNumber(MainWindow &w) { return w.currentScreenNumber(); }
    static void openSettings(MainWindow &w) { w.openSettings(); }
    // The three meter captions, 1 to 3, and the settings button.
    static myLabel *caption(MainWindow &w, int n)
    {
        return n == 1 ? w.labelMeter1 : n == 2 ? w.labelMeter2 : w.labelMeter3;
    }
    static myLabel *settingsLabel(MainWindow &w) { return w.settingsLabel; }
    static OnAirStatus *onAir(MainWindow &w) { return w.onAir; }
    static DisplaySettings &displaySettings(MainWindow &w) { return w.displaySettings; }
    static QMenu *createContextMenu(MainWindow &w) { return w.createContextMenu(); }
    static void openDisplaySettings(MainWindow &w) { w.openDisplaySettings(); }
    static ClockStatus *clockStatus(MainWindow &w) { return w.clockStatus; }
    static ClockSettings &clockSettings(MainWindow &w) { return w.clockSettings; }
    static SecondTicker *secondTicker(MainWindow &w) { return w.secondTicker; }
    static void openEndTime(MainWindow &w) { w.openEndTime(); }
    static void openCountDown(MainWindow &w) { w.openCountDown(); }
    static FullScreenControl &fullScreen(MainWindow &w) { return w.fullScreen; }
};
