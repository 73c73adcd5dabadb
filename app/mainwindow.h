#pragma once

#include "comm_st.h"
#include "displaysettings.h"
#include "framestream.h"
#include "release.h"

#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QTimer>

class CCommDialog;
class OnAirStatus;
class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QPaintEvent;
class QPixmap;
class QResizeEvent;
class QSerialPort;
class QUdpSocket;
class Ui_MainWindow;
class VexoPPMMeter;
class myLabel;

// The meter bridge's only window: six meters, two clocks and the captions over one fixed
// 986 x 580 design that is scaled as a whole to the window.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private slots:
    void onDataAvailable();
    void meterRelease();
    void openSettings();
    void openDisplaySettings();
    void resetPeaksAndOvers();
    void udpReceive();
    void labelMeter1Clicked();
    void labelMeter2Clicked();
    void labelMeter3Clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void readSettings();
    void writeSettings();
    int currentScreenNumber();
    void setupCommunication();
    void serialPortConnect();
    void serialPortDisconnect();
    void updateMeters(unsigned char *frame);
    void resetMeters();
    void CalculatePPMRelease(VexoPPMMeter *meter, double *level);
    void editCaption(myLabel *caption, const QString &prompt);
    void onSerialError();
    void retrySerialPort();
    // The window's right-click menu; the caller owns it.
    QMenu *createContextMenu();

    Ui_MainWindow *ui;
    QSerialPort *serialPort;
    QTimer *releaseTimer;
    CCommDialog *commDialog;
    QSize windowSize;
    QPixmap *background;
    QPixmap *emptyBackground;
    QPixmap *scaledBackground;
    QPixmap *scaledEmptyBackground;
    bool resized;
    myLabel *settingsLabel;
    myLabel *labelMeter1;
    myLabel *labelMeter2;
    myLabel *labelMeter3;
    QRect designRects[14];
    double meterLevels[6];
    double releasePerTick;
    int releaseIntervalMs;
    comm_st commSettings;
    QUdpSocket *udpSocket;

    // The link lamp, peak marks, over and silence lamps, and what the operator set for them.
    OnAirStatus *onAir;
    DisplaySettings displaySettings;

    // Serial bytes arrive in arbitrary pieces; this turns them back into frames.
    FrameStream serialFrames;
    // Brings a vanished serial port back without operator action. Held by value rather than
    // as a child, so the window's children stay the widgets, sockets, ports and release timer
    // that anything walking them expects, in their order.
    QTimer serialRetryTimer;
    // Times the release ticks; the fall of the current tick, which a tick on time makes
    // releasePerTick.
    ReleaseClock releaseClock;
    double releaseFallThisTick;

    friend struct MainWindowTestAccess;
};
