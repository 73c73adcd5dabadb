#include "app/mainwindow.h"

#include "dialogs/cremotedialog.h"
#include "onair/onairstatus.h"
#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "remote/alarmevent.h"
#include "remote/remotecontrol.h"
#include "remote/remotesnapshot.h"
#include "studioclock/clockstatus.h"
#include "studioclock/endtime.h"
#include "ui_mainwindow.h"
#include "walldisplay/commandline.h"
#include "widgets/mylabel.h"
#include "widgets/vexolamp.h"
#include "widgets/vexoppmmeter.h"

#include <QDateTime>
#include <QSysInfo>

namespace {

qint64 wallNowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

RemoteSnapshot::LinkState linkStateOf(LinkWatch::State state)
{
    switch (state) {
    case LinkWatch::Live:
        return RemoteSnapshot::Live;
    case LinkWatch::NoData:
        return RemoteSnapshot::NoData;
    case LinkWatch::NoLink:
        break;
    }
    return RemoteSnapshot::NoLink;
}

RemoteSnapshot::CountDownState countDownStateOf(CountDown::State state)
{
    switch (state) {
    case CountDown::Running:
        return RemoteSnapshot::CountDownRunning;
    case CountDown::TimeUp:
        return RemoteSnapshot::CountDownTimeUp;
    case CountDown::Idle:
        break;
    }
    return RemoteSnapshot::CountDownIdle;
}

} // namespace

void MainWindow::setupRemote()
{
    startedMs = wallNowMs();

    // Made always: its alarms go to the journal also while remote access is off.
    remote = new RemoteControl(this);
    connect(remote, &RemoteControl::resetRequested, this, &MainWindow::resetPeaksAndOvers);
    connect(remote, &RemoteControl::countDownRequested, this, &MainWindow::countDownFromRemote);
    connect(remote, &RemoteControl::countDownCancelled, this, &MainWindow::cancelCountDown);
    connect(remote, &RemoteControl::endTimeRequested, this, &MainWindow::endTimeFromRemote);
    connect(remote, &RemoteControl::onAirRequested, this, &MainWindow::setOnAir);

    // Each lamp's change leaves the room as it happens, with the wall clock's time of it.
    connect(onAir, &OnAirStatus::linkChanged, this, [this](LinkWatch::State state) {
        remote->alarm(AlarmEvent::link(linkStateOf(state), onAir->input(), wallNowMs()));
        publishRemote();
    });
    connect(onAir, &OnAirStatus::silenceChanged, this, [this](int pair, bool raised) {
        remote->alarm(AlarmEvent::silence(pair, raised, wallNowMs()));
        publishRemote();
    });
    connect(onAir, &OnAirStatus::overLatched, this, [this](int pair, int overs) {
        remote->over(pair, overs, wallNowMs());
        // The count of a lamp that stays latched goes out with the second's state.
        if (overs == 1)
            publishRemote();
    });
    connect(clockStatus, &ClockStatus::syncChanged, this, [this](bool synchronised) {
        remote->alarm(AlarmEvent::clockSync(synchronised, wallNowMs()));
        publishRemote();
    });
    connect(clockStatus, &ClockStatus::timeUp, this, [this]() {
        remote->alarm(AlarmEvent::timeUp(wallNowMs()));
        publishRemote();
    });
}

void MainWindow::applyRemote()
{
    QString error;
    const bool serving = remote->apply(remoteSettings, &error);
    // The header band has room for a few words; the whole reason goes to the journal.
    if (!remoteSettings.fault.isEmpty()) {
        setRemoteProblem(tr("remote access off"));
        qWarning("Remote access off: %s", qPrintable(remoteSettings.fault));
    } else if (!serving) {
        setRemoteProblem(tr("remote access failed"));
        qWarning("Remote access: %s", qPrintable(error));
    } else {
        setRemoteProblem(QString());
    }
    publishRemote();
}

void MainWindow::openRemoteSettings()
{
    CRemoteDialog dialog(this, &remoteSettings);
    if (dialog.exec() != QDialog::Accepted)
        return;
    writeSettings();
    applyRemote();
}

void MainWindow::setOnAir(bool on)
{
    if (on != isOnAir()) {
        clockStatus->setOnAir(on);
        remote->alarm(AlarmEvent::onAir(on, wallNowMs()));
    }
    publishRemote();
}

void MainWindow::countDownFromRemote(int seconds)
{
    // Without a length: the last one again, as the C key does.
    if (seconds > 0) {
        clockSettings.countDownSeconds = seconds;
        writeSettings();
    }
    restartCountDown();
}

void MainWindow::endTimeFromRemote(ClockSettings::EndMode mode, const QTime &time)
{
    clockSettings.endMode = mode;
    if (mode == ClockSettings::EndDaily)
        clockSettings.endDaily = time;
    else if (mode == ClockSettings::EndHourly)
        clockSettings.endHourly = time;
    setProblem(endTimeProblem, QString());
    clockStatus->apply(clockSettings);
    writeSettings();
    publishRemote();
}

void MainWindow::publishRemote()
{
    if (remote && remote->listening())
        remote->publish(remoteSnapshot());
}

RemoteSnapshot MainWindow::remoteSnapshot() const
{
    RemoteSnapshot s;
    s.version = versionText().section(QLatin1Char(' '), 1);
    s.displayName = QSysInfo::machineHostName();
    s.nowMs = wallNowMs();
    s.utcOffsetSeconds = QDateTime::currentDateTime().offsetFromUtc();
    s.startedMs = startedMs;

    // The watches count on their own monotonic clock: their moments, on the wall clock.
    const qint64 monotonicNow = onAir->clockMs();
    const auto wall = [&](qint64 monotonicMs) { return s.nowMs - (monotonicNow - monotonicMs); };
    const LinkWatch &link = onAir->linkWatch();
    s.link = linkStateOf(link.state(monotonicNow));
    s.linkSource = onAir->input();
    s.lastFrameMs = link.hasFrame() ? wall(link.lastFrameMs()) : -1;
    s.framesAccepted = link.framesAccepted();
    s.bytesDropped = onAir->bytesDropped();
    s.datagramsRefused = onAir->datagramsRefused();

    const std::array<VexoPPMMeter *, LevelFrame::Channels> six = meters();
    for (int i = 0; i < RemoteSnapshot::Meters; ++i)
        s.meters[i] = { six[i]->getdBPosition(), six[i]->getPeakdB() };
    const std::array<myLabel *, 3> labels = captions();
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p) {
        RemoteSnapshot::Pair &pair = s.pairs[p];
        pair.caption = labels[p]->text();
        const OverLatch &over = onAir->overLatch(p);
        pair.overLatched = over.latched();
        pair.overCount = over.overs();
        pair.lastOverMs = over.latched() ? wall(over.lastOverMs()) : -1;
        const SilenceDetector &silence = onAir->silenceDetector(p);
        pair.silenceWatched = displaySettings.silence[p].enabled;
        pair.silenceActive = silence.alarm();
        // Raised once the pair had been quiet for the silence time.
        pair.silenceSinceMs = silence.alarm()
            ? wall(monotonicNow - silence.quietForMs(monotonicNow) + silence.timeMs())
            : -1;
    }

    const ClockSyncWatch &sync = clockStatus->syncWatch();
    s.clockSynchronised = sync.synchronised();
    s.clockLegend = sync.legend();
    const KernelClock &kernel = sync.lastReading();
    s.clockEstimatedErrorS = kernel.answered ? kernel.estErrorUs / 1e6 : -1.0;
    s.clockMaxErrorS = kernel.answered ? kernel.maxErrorUs / 1e6 : -1.0;

    s.endMode = clockSettings.endMode;
    s.endTime = clockSettings.endMode == ClockSettings::EndHourly ? clockSettings.endHourly
        : clockSettings.endMode == ClockSettings::EndDaily        ? clockSettings.endDaily
                                                                  : QTime();
    s.endSecondsLeft = EndTime::secondsLeft(clockSettings, QTime::currentTime());

    const CountDown &countDown = clockStatus->countDownState();
    s.countDown = countDownStateOf(countDown.state());
    s.countDownLength = countDown.length();
    s.countDownLeft = countDown.secondsLeft();
    s.countDownEndsMs
        = countDown.state() == CountDown::Idle ? -1 : countDown.endsAtSecond() * 1000;
    s.countDownLast = clockSettings.countDownSeconds;

    s.onAir = isOnAir();
    for (const QString &problem : { serialProblem, udpProblem, settingsProblem, remoteProblem }) {
        if (!problem.isEmpty())
            s.problems.append(problem);
    }
    return s;
}
