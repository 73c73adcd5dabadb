#include "app/mainwindow.h"

#include "comm/levelframe.h"
#include "comm/releasegate.h"
#include "dialogs/ccommdialog.h"
#include "dialogs/cdisplaydialog.h"
#include "onair/onairstatus.h"
#include "panel/designlayout.h"
#include "panel/panellayout.h"
#include "studioclock/clockstatus.h"
#include "ui_mainwindow.h"
#include "widgets/mylabel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QLabel>
#include <QPixmap>
#include <QSerialPort>
#include <QTimer>
#include <QUdpSocket>

#include <cstdlib>

namespace {

// A port that vanished is tried again this often until it is back; so is a UDP port that
// another program holds, and a settings store that could not take the settings.
constexpr int SerialRetryIntervalMs = 2000;
constexpr int UdpRetryIntervalMs = 2000;
constexpr int SettingsRetryIntervalMs = 2000;
// When the program ends, another writer's lock on the settings is waited for this long.
constexpr int FinalLockWaitMs = 1000;

// The window whose settings an end without destructors stores.
MainWindow *windowToStoreAtExit = nullptr;

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
    , serialPort(nullptr)
    , releaseTimer(nullptr)
    , commDialog(nullptr)
    , windowSize()
    , background(nullptr)
    , emptyBackground(nullptr)
    , scaledBackground(nullptr)
    , scaledEmptyBackground(nullptr)
    , resized(false)
    , settingsLabel(nullptr)
    , labelMeter1(nullptr)
    , labelMeter2(nullptr)
    , labelMeter3(nullptr)
    , meterLevels {}
    , releasePerTick(0.133)
    , releaseIntervalMs(10)
    , releasePaceMs(RepaintPacer::intervalMs(RepaintPacer::DefaultRefreshHz))
    , udpSocket(nullptr)
    , onAir(nullptr)
    , secondTicker(nullptr)
    , clockStatus(nullptr)
    , releaseFallThisTick(0.133)
    , problemLabel(nullptr)
    , panelBrightness(1.0)
    , keysOverlay(nullptr)
    , startScreen(0)
{
    // The pictures are compiled into the static library; this reference keeps the linker
    // from dropping them.
    Q_INIT_RESOURCE(resources);

    ui->setupUi(this);
    // The design places the window's own children and the central widget's children in one
    // coordinate system. Where the platform gives the empty menu bar room inside the window it
    // would push the central widget down, so it is hidden.
    ui->menuBar->hide();
    setMaximumSize(MaxPictureSize);

    QCoreApplication::setOrganizationName(QStringLiteral("Vexo"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("vexo.nl"));
    QCoreApplication::setApplicationName(QStringLiteral("Unknown"));

    createLabels();
    background = new QPixmap(QStringLiteral(":/resources/png/TessikBackground.png"));
    // The design's role until the settings say otherwise.
    commSettings.is_server = true;
    setupRetries();
    udpSocket = new QUdpSocket(this);
    placeDesignedWidgets();
    for (double &level : meterLevels)
        level = LevelFrame::FloorDb;
    setupClocks();
    setupStatus();
    setupRemote();

    readSettings();
    fullScreen.attach(this);
    onAir->apply(displaySettings);
    clockStatus->apply(clockSettings);
    clockStatus->setShowSync(displaySettings.showClockSync);
    showCaptions();
    applyHands();
    setupCommunication();
    applyRemote();

    startTimers();
    applyNight();
    emptyBackground = new QPixmap(QStringLiteral(":/resources/png/OrvaneBackgroundEmpty.png"));
    scaledBackground = new QPixmap();
    scaledEmptyBackground = new QPixmap();

    // Registered after the settings were first read, so that the store's own statics are
    // still there when the handler runs: exit() undoes registrations in reverse order.
    static const bool registered = std::atexit(&MainWindow::storeAtExit) == 0;
    Q_UNUSED(registered)
    windowToStoreAtExit = this;
}

void MainWindow::createLabels()
{
    settingsLabel = new myLabel(QString(), this);
    settingsLabel->setStyleSheet(QStringLiteral("image: url(:/resources/png/Settings.png);"));

    labelMeter1 = new myLabel(QString(), this);
    labelMeter2 = new myLabel(QString(), this);
    labelMeter3 = new myLabel(QString(), this);

    ui->footerlabel->setText(tr("Vexo Broadcast, 2019-2026 - v%1.%2")
                                 .arg(ORVANE_VERSION_MAJOR)
                                 .arg(ORVANE_VERSION_MINOR));

    // Captions are the operator's text, stored and read back: text that looks like markup is
    // shown as typed, never loaded as a picture or swallowed as a tag.
    for (QLabel *label : captionLabels()) {
        label->setStyleSheet(QString::fromLatin1(WhiteText));
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
    }
    // A caption too long for its place is cut at its end, never at both.
    for (myLabel *caption : captions())
        caption->setElideMode(Qt::ElideRight);
    settingsLabel->setToolTip(tr("Communication settings\u2026 (right-click for more)"));
    ui->footerlabel->setTextFormat(Qt::PlainText);

    connect(settingsLabel, &myLabel::clicked, this, &MainWindow::openSettings);
    connect(labelMeter1, &myLabel::clicked, this, &MainWindow::labelMeter1Clicked);
    connect(labelMeter2, &myLabel::clicked, this, &MainWindow::labelMeter2Clicked);
    connect(labelMeter3, &myLabel::clicked, this, &MainWindow::labelMeter3Clicked);
}

void MainWindow::setupRetries()
{
    serialRetryTimer.setInterval(SerialRetryIntervalMs);
    connect(&serialRetryTimer, &QTimer::timeout, this, &MainWindow::retrySerialPort);
    udpRetryTimer.setInterval(UdpRetryIntervalMs);
    connect(&udpRetryTimer, &QTimer::timeout, this, &MainWindow::bindClientSocket);
    settingsRetryTimer.setInterval(SettingsRetryIntervalMs);
    settingsRetryTimer.setSingleShot(true);
    connect(&settingsRetryTimer, &QTimer::timeout, this, [this] { writeSettings(); });
    flashTimer.setInterval(500);
    flashTimer.setSingleShot(true);
    connect(&flashTimer, &QTimer::timeout, this, &MainWindow::flashOff);
}

std::array<VexoPPMMeter *, LevelFrame::Channels> MainWindow::meters() const
{
    return { ui->ProgLeft, ui->ProgRight, ui->SubLeft, ui->SubRight, ui->CrmLeft, ui->CrmRight };
}

std::array<myLabel *, 3> MainWindow::captions() const
{
    return { labelMeter1, labelMeter2, labelMeter3 };
}

std::array<QLabel *, 4> MainWindow::captionLabels() const
{
    return { labelMeter1, labelMeter2, labelMeter3, ui->timelabel };
}

std::array<QString, 3> MainWindow::defaultCaptions() const
{
    return { tr("Prog"), tr("Sub"), tr("CRM") };
}

std::array<QWidget *, 14> MainWindow::designedWidgets() const
{
    const std::array<VexoPPMMeter *, LevelFrame::Channels> six = meters();
    return {
        six[0],      six[1],          six[2],           six[3],        six[4],
        six[5],      ui->AnalogClock, ui->DigitalClock, labelMeter1,   labelMeter2,
        labelMeter3, ui->timelabel,   ui->footerlabel,  settingsLabel,
    };
}

void MainWindow::placeDesignedWidgets()
{
    using namespace PictureLayout;
    const std::array<QWidget *, 14> designed = designedWidgets();
    const QRect rects[14] = {
        ScalePairs[0].left.meterRect(),
        ScalePairs[0].right.meterRect(),
        ScalePairs[1].left.meterRect(),
        ScalePairs[1].right.meterRect(),
        ScalePairs[2].left.meterRect(),
        ScalePairs[2].right.meterRect(),
        ClockRect,
        DigitalClockRect,
        CaptionRects[0],
        CaptionRects[1],
        CaptionRects[2],
        TimeCaptionRect,
        FooterTextRect,
        SettingsButtonRect,
    };
    for (int i = 0; i < 14; ++i) {
        designRects[i] = rects[i];
        designed[i]->setGeometry(rects[i]);
    }
}

void MainWindow::setupStatus()
{
    for (VexoPPMMeter *meter : meters()) {
        meter->setGradientForground(true);
        // The release tick paints what moved on all six in one go (paintMovedMeters).
        meter->setPaintedByOwner(true);
    }

    const DesignLayout::Fit design = DesignLayout::atDesignSize();
    onAir = new OnAirStatus(this, meters());
    onAir->layout(design);
    clockStatus = new ClockStatus(this, ui->AnalogClock, ui->DigitalClock);
    clockStatus->layout(design);
}

void MainWindow::startTimers()
{
    startSecondTicker();
    // Steady steps a refresh apart, not the 5 % slack of a coarse timer: the meters' motion
    // shows every unevenness.
    releaseTimer = new QTimer(this);
    releaseTimer->setTimerType(Qt::PreciseTimer);
    connect(releaseTimer, &QTimer::timeout, this, &MainWindow::meterRelease);
    releaseTimer->start(releasePaceMs);
}

MainWindow::~MainWindow()
{
    if (windowToStoreAtExit == this)
        windowToStoreAtExit = nullptr;
    settingsRetryTimer.stop();
    udpRetryTimer.stop();
    if (serialPort && serialPort->isOpen())
        serialPort->close();
    writeSettings(FinalLockWaitMs);
    delete ui;
    delete background;
    delete emptyBackground;
    delete scaledBackground;
    delete scaledEmptyBackground;
}

void MainWindow::storeAtExit()
{
    MainWindow *window = windowToStoreAtExit;
    if (!window)
        return;
    windowToStoreAtExit = nullptr;
    if (window->serialPort && window->serialPort->isOpen())
        window->serialPort->close();
    window->writeSettings(FinalLockWaitMs);
}

void MainWindow::openSettings()
{
    commDialog = new CCommDialog(this, &commSettings, &distributionSettings);
    const bool accepted = commDialog->exec() == QDialog::Accepted;
    // A studio machine may be switched off at the wall: keep the new choice at once.
    if (accepted)
        writeSettings();
    setupCommunication();
    // Every opening builds a fresh dialog; the old one would only pile up.
    delete commDialog;
    commDialog = nullptr;
}

void MainWindow::openDisplaySettings()
{
    CDisplayDialog dialog(this, &displaySettings, captionTexts());
    if (dialog.exec() != QDialog::Accepted)
        return;
    onAir->apply(displaySettings);
    wakeRelease();
    clockStatus->setShowSync(displaySettings.showClockSync);
    applyHands();
    applyNight();
    writeSettings();
    publishRemote();
}

void MainWindow::resetPeaksAndOvers()
{
    onAir->resetPeaksAndOvers();
    wakeRelease();
    publishRemote();
}

QMenu *MainWindow::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->addAction(tr("Communication settings\u2026"), this, &MainWindow::openSettings);
    menu->addAction(tr("Display settings\u2026"), this, &MainWindow::openDisplaySettings);
    menu->addAction(tr("Rename captions\u2026"), this, &MainWindow::renameCaptions);
    menu->addAction(tr("Remote access\u2026"), this, &MainWindow::openRemoteSettings);
    menu->addSeparator();
    menu->addAction(tr("End time\u2026"), this, &MainWindow::openEndTime);
    menu->addAction(tr("Count-down\u2026"), this, &MainWindow::openCountDown);
    menu->addAction(tr("Restart count-down"), this, &MainWindow::restartCountDown,
                    QKeySequence(Qt::Key_C));
    if (clockStatus->countDownActive())
        menu->addAction(tr("Stop count-down"), this, &MainWindow::cancelCountDown,
                        QKeySequence(Qt::Key_Escape));
    menu->addSeparator();
    QAction *onAirAction = menu->addAction(tr("ON AIR"), this, &MainWindow::setOnAir);
    onAirAction->setCheckable(true);
    onAirAction->setChecked(isOnAir());
    menu->addAction(tr("Reset peaks and overs"), this, &MainWindow::resetPeaksAndOvers,
                    QKeySequence(Qt::Key_R));
    QAction *full = menu->addAction(tr("Full screen"), &fullScreen, &FullScreenControl::toggle,
                                    QKeySequence(Qt::Key_F11));
    full->setCheckable(true);
    full->setChecked(fullScreen.isFullScreen());
    menu->addAction(tr("Keys\u2026"), this, &MainWindow::toggleKeys, QKeySequence(Qt::Key_F1));
    return menu;
}

void MainWindow::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    menu->exec(event->globalPos());
    delete menu;
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (keysOverlay && keysOverlay->isVisible()) {
        // Any key closes the list of keys, and does nothing else.
        toggleKeys();
        return;
    }
    if (event->key() == Qt::Key_F1 && plain) {
        toggleKeys();
        return;
    }
    if (event->key() == Qt::Key_R && plain) {
        resetPeaksAndOvers();
        return;
    }
    if (event->key() == Qt::Key_C && plain) {
        restartCountDown();
        return;
    }
    if (event->key() == Qt::Key_Escape && plain) {
        // A running count-down is what Esc stops first; otherwise it leaves full screen.
        if (clockStatus->countDownActive()) {
            cancelCountDown();
            return;
        }
        if (fullScreen.isFullScreen()) {
            fullScreen.leave();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}
