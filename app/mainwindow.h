#pragma once

#include "app/settingsstore.h"
#include "comm/framestream.h"
#include "comm/readpause.h"
#include "comm/distributionrules.h"
#include "comm/release.h"
#include "comm/ticklevels.h"
#include "dialogs/clocksettings.h"
#include "dialogs/comm_st.h"
#include "dialogs/displaysettings.h"
#include "dialogs/remotesettings.h"
#include "dialogs/distributionsettings.h"
#include "walldisplay/fullscreen.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <array>

class CCommDialog;
class QBackingStore;
class ClockStatus;
class OnAirStatus;
class SecondTicker;
class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QNetworkDatagram;
class QLabel;
class QPaintEvent;
class QPixmap;
class QResizeEvent;
class QSerialPort;
class QUdpSocket;
class RemoteControl;
struct RemoteSnapshot;
class Ui_MainWindow;
class VexoLamp;
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

    // The pictures are never scaled beyond an 8K screen, and the window grows no larger, whoever
    // asks (a stored geometry, -qwindowgeometry, a window manager's whim): it would otherwise
    // cost gigabytes, and its backing store could not be shown.
    static constexpr QSize MaxPictureSize { 7680, 4320 };

    // Shows the window for the first time: on `screen` when that is a screen's index (else
    // where the settings put it), and in full screen when asked or when the display settings
    // say so.
    void showAtStart(bool fullScreen, int screen = -1);

    // The studio's ON AIR light on the clock's dial. Kept only while the program runs: after a
    // start the studio is not on air until someone says so.
    bool isOnAir() const;

public slots:
    // Just after each second boundary of the wall clock: the clocks show the new second
    // together, and everything that counts whole seconds follows.
    void secondTick();
    // ON AIR, as the operator or the playout automation says; held while the program runs.
    void setOnAir(bool on);

private slots:
    void onDataAvailable();
    void meterRelease();
    void openSettings();
    void openDisplaySettings();
    void resetPeaksAndOvers();
    void openEndTime();
    void openCountDown();
    void restartCountDown();
    void cancelCountDown();
    void udpReceive();
    void labelMeter1Clicked();
    void labelMeter2Clicked();
    void labelMeter3Clicked();
    void openRemoteSettings();
    void renameCaptions();
    void toggleKeys();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The constructor's steps, in the order it takes them.
    void createLabels();
    void setupRetries();
    // Every widget of the design where the panel layout puts it, its rectangle kept in
    // designRects.
    void placeDesignedWidgets();
    void setupClocks();
    void setupStatus();
    void startTimers();
    void startSecondTicker();

    // The six meters in frame order: programme, sub and control room, left before right.
    std::array<VexoPPMMeter *, LevelFrame::Channels> meters() const;
    // The three meter captions, programme to control room, and what they say until the
    // operator names them.
    std::array<myLabel *, 3> captions() const;
    std::array<QString, 3> defaultCaptions() const;
    // The meter captions and the time caption: they share their look.
    std::array<QLabel *, 4> captionLabels() const;
    // The widgets of the design, in the order of designRects.
    std::array<QWidget *, 14> designedWidgets() const;

    void readSettings();
    // Stores what this window changed since it read or last stored the settings, and its place,
    // unless the store cannot take it now; then it says so and tries again later. Waits at
    // most `lockWaitMs` for another writer's lock.
    bool writeSettings(int lockWaitMs = 0);
    // Every setting as this window holds it now.
    SettingsStore::Values heldSettings();
    // Puts the window where the settings had it, or where it can be seen.
    void restorePlacement(int storedScreen, const QByteArray &geometry);
    void fitToDesktop();
    // Moves the window where it can be seen (see placeWindow); the screen it belongs on.
    int placeOnScreens(int storedScreen, const QRect &storedGeometry, int requestedScreen);
    int currentScreenNumber();
    void setupCommunication();
    void serialPortConnect();
    void serialPortDisconnect();
    void updateMeters(unsigned char *frame);
    void resetMeters();
    void CalculatePPMRelease(VexoPPMMeter *meter, double *level);
    // While the tick runs, the inputs wait for it: it reads what arrived since the last tick,
    // and rests their own wake-ups again (or lets them wake the program once it rests).
    void readArrivals();
    void pauseArrivals(bool ticking);
    void readSerialLine();
    // Bytes from the serial line, however they were read.
    void takeSerialBytes(const QByteArray &bytes);
    // Starts the release tick again if it rests: something may move.
    void wakeRelease();
    void editCaption(myLabel *caption, const QString &prompt);
    // The captions as the operator named them: shown whole where they fit, cut at the end
    // with the whole name in a tooltip, and told to the lamps that name a pair.
    void showCaptions();
    std::array<QString, 3> captionTexts() const;
    // The lamps that flash go dark half a second after each second's wake; nothing is woken
    // for it while nothing flashes.
    void flashOff();
    // The panel's brightness for the time of day; the analog clock's hands as the display
    // settings say.
    void applyNight();
    void applyHands();
    // The panel's light at `brightness` (0 to 1): the meters' colours, the clocks', the
    // captions', the panel picture's; alarms keep theirs.
    void applyBrightness(double brightness);
    void placeKeys();
    void onSerialError();
    void retrySerialPort();
    // The window's right-click menu; the caller owns it.
    QMenu *createContextMenu();
    void bindClientSocket();
    // Where frames go on and what a client takes (comm/distribution.cpp): the server's socket
    // on the chosen interface with its TTL, the client's group and servers.
    void setupDistribution();
    void prepareSender();
    void prepareListener();
    void joinGroup();
    void rejoinGroupIfDue();
    void forwardFrame(const unsigned char *frame);
    void sendHeartbeat();
    void sendToPlant(const QByteArray &datagram);
    // Whether the datagram is one the client takes (a frame it used or passed over for the
    // other server, or a heartbeat); false for what it refuses.
    bool takeDatagram(const QNetworkDatagram &datagram);
    qint64 distributionNow() const;
    // What the operator must know: the serial or the UDP input does not work (empty: it does),
    // or the settings cannot be stored. Short reasons, shown together in the header band.
    void setSerialProblem(const QString &text);
    void setUdpProblem(const QString &text);
    void setSettingsProblem(const QString &text);
    void setDistributionProblem(const QString &text);
    void setProblem(QString &problem, const QString &text);
    void showProblems();
    void placeProblemLabel();

    // The display on the plant's network (app/remote.cpp): commands from it go to the
    // window's own operations, and the window's state and alarms go out to it.
    void setupRemote();
    void applyRemote();
    void setRemoteProblem(const QString &text);
    // Hands the state as it is now to the network side: from the second's wake and after
    // every change, never per frame. Does nothing while remote access is off.
    void publishRemote();
    RemoteSnapshot remoteSnapshot() const;
    void countDownFromRemote(int seconds);
    void endTimeFromRemote(ClockSettings::EndMode mode, const QTime &time);
    // Paints the rows that the meters' bars and peak marks moved over since the last call, all
    // six with one painter straight into the window's backing store, and shows them with one
    // flush; through the meters' own repaints where that cannot be done.
    void paintMovedMeters();
    // The window's backing store when it can be painted into outside a paint event.
    QBackingStore *directBackingStore();
    // White text on the panel's bands, for the captions and the problem line.
    static constexpr const char *WhiteText = "QLabel\n{\ncolor: rgb(255, 255, 255);\n}";

    // For an end that runs no destructors (the X server went away and the toolkit called
    // exit()): stores the settings and releases the serial port.
    static void storeAtExit();

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
    // The last frame's levels; the tick's own targets are in tickLevels.
    double meterLevels[6];
    TickLevels tickLevels;
    double releasePerTick;
    int releaseIntervalMs;
    // The tick's own interval: one refresh of the screen. releaseIntervalMs is the time the
    // fall rate is given per.
    int releasePaceMs;
    comm_st commSettings;
    QUdpSocket *udpSocket;
    DistributionSettings distributionSettings;
    Distribution::Listen listening;
    Distribution::Rejoin rejoin;
    Distribution::BackupSwitch backupSwitch;
    Distribution::Source followedSource = Distribution::Source::Main;
    QElapsedTimer distributionClock;
    QStringList joinedInterfaces;
    qint64 lastGroupDatagramMs = -1;

    // The link lamp, peak marks, over and silence lamps, and what the operator set for them.
    OnAirStatus *onAir;
    DisplaySettings displaySettings;

    // The one wake a second that drives both clocks; what the studio clock says beyond the
    // time (synchronisation, end time, count-down) and what the operator set for it.
    SecondTicker *secondTicker;
    ClockStatus *clockStatus;
    ClockSettings clockSettings;

    // Serial bytes arrive in arbitrary pieces; this turns them back into frames.
    FrameStream serialFrames;
    // The serial line's and the client socket's own wake-ups, at rest while the tick reads.
    ReadPause serialPause;
    ReadPause udpPause;
    // Brings a vanished serial port back without operator action. Held by value rather than
    // as a child, so the window's children stay the widgets, sockets, ports and release timer
    // that anything walking them expects, in their order.
    QTimer serialRetryTimer;
    // Times the release ticks; the fall of the current tick, which a tick on time makes
    // releasePerTick.
    ReleaseClock releaseClock;
    double releaseFallThisTick;
    // The same for a UDP port that another program holds, and for settings that could not be
    // stored: tried again while the fault lasts, never otherwise.
    QTimer udpRetryTimer;
    QTimer settingsRetryTimer;

    QString serialProblem;
    QString serialErrorText;
    QString udpProblem;
    QString settingsProblem;
    QString remoteProblem;
    // A stored end time that could not be read, and was turned off, until one is set.
    QString endTimeProblem;
    QString distributionProblem;
    // Made only when there is something to say, so that a working display has nothing more.
    QLabel *problemLabel;

    // The settings as this window held them when it last read or stored them: what differs
    // from them now is what it changed.
    SettingsStore::Values storedSettings;

    // F11 and double-click; the pointer hides in full screen. Held by value, not a child.
    FullScreenControl fullScreen;
    QTimer flashTimer;
    // The part of its light the panel shows now, 1 by day.
    double panelBrightness;
    // F1: the keys, over the panel, until any key or click. Made when first asked for.
    QLabel *keysOverlay;
    // Where the settings put the window: its screen, and its place as stored (empty if none).
    int startScreen;
    QRect storedPlace;

    // Remote access: its settings, the network side (off, it holds nothing), and when the
    // program started, for the uptime it reports.
    RemoteSettings remoteSettings;
    RemoteControl *remote = nullptr;
    qint64 startedMs = 0;

    friend struct MainWindowTestAccess;
};
