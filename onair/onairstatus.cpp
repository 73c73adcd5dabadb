#include "onair/onairstatus.h"

#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"
#include "widgets/vexolamp.h"
#include "widgets/vexoppmmeter.h"

#include <QDateTime>
#include <QEvent>
#include <QFont>
#include <QWidget>

#include <cmath>

namespace {

// "12 s" under a minute, then "3:25" and "1:03:25": the lamps count once a second and must
// stay short enough to read across a room.
QString duration(qint64 ms)
{
    const qint64 s = qMax<qint64>(0, ms / 1000);
    if (s < 60)
        return QObject::tr("%1 s").arg(s);
    return LampStyle::minutesAndSeconds(s);
}

// The wall-clock time of a moment on the monotonic clock, for the lamps' legends.
QDateTime wallTimeOf(qint64 monotonicMs, qint64 nowMs)
{
    return QDateTime::fromMSecsSinceEpoch(QDateTime::currentMSecsSinceEpoch()
                                          - (nowMs - monotonicMs));
}

} // namespace

OnAirStatus::OnAirStatus(QWidget *window,
                         const std::array<VexoPPMMeter *, LevelFrame::Channels> &meters)
    : QObject(window)
{
    clock.start();

    using namespace LampStyle;
    link_ = makeLamp(window, QStringLiteral("lamp_link"));
    setColours(link_, DarkRed, White);
    link_->setLit(true);
    link_->installEventFilter(this);
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        Pair &pair = pairs[i];
        pair.left = meters[2 * i];
        pair.right = meters[2 * i + 1];
        const QString name = DisplaySettings::pairName(i);
        pair.overLamp = makeLamp(window, QStringLiteral("lamp_over_") + name);
        setColours(pair.overLamp, Red, White);
        pair.overLamp->setToolTip(tr("Click, or press R, to reset peaks and overs"));
        connect(pair.overLamp, &VexoLamp::clicked, this, &OnAirStatus::resetPeaksAndOvers);
        pair.silenceLamp = makeLamp(window, QStringLiteral("lamp_silence_") + name);
        setColours(pair.silenceLamp, Orange, Black);
        // The legend lies over the meters and must not take their clicks or hide them
        // while the link is live.
        pair.mark = makeLegend(window, QStringLiteral("mark_link_") + name);
        setColours(pair.mark, Amber, Black);
        pair.mark->hide();
        showOver(pair);
    }
    watch.inputFailed();
    showLink(now());
}

void OnAirStatus::apply(const DisplaySettings &s)
{
    watch.setStaleMs(static_cast<qint64>(std::llround(s.staleSeconds * 1000.0)));
    for (const Pair &pair : pairs) {
        for (VexoPPMMeter *meter : { pair.left, pair.right }) {
            meter->setPeakHoldTime(s.peakHoldUntilReset ? 0.0 : s.peakHoldSeconds);
            meter->setPeakHold(s.peakHold);
        }
    }
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        Pair &pair = pairs[i];
        const DisplaySettings::Silence &silence = s.silence[i];
        pair.over.setThresholdDb(s.overThresholdDb);
        pair.silence.setEnabled(silence.enabled);
        pair.silence.setThresholdDb(silence.thresholdDb);
        pair.silence.setTimeMs(static_cast<qint64>(std::llround(silence.seconds * 1000.0)));
        showSilence(pair, now(), Show::Again);
    }
    showLink(now(), Show::Again);
}

void OnAirStatus::inputOpened(const QString &input)
{
    inputName = input;
    watch.inputOpened(now());
    showLink(now(), Show::Again);
}

void OnAirStatus::inputFailed(const QString &input)
{
    inputName = input;
    watch.inputFailed();
    showLink(now(), Show::Again);
}

void OnAirStatus::frameAccepted(const double *levels)
{
    const qint64 t = now();
    const bool wasShownLive = shownState == LinkWatch::Live;
    watch.frameAccepted(t);
    // The first good frame clears a NO DATA or NO LINK at once, not at the next tick.
    if (!wasShownLive)
        showLink(t);
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        if (pairs[i].over.feed(levels[2 * i], levels[2 * i + 1], t))
            showOver(pairs[i]);
    }
}

void OnAirStatus::setServerExpected(bool expected)
{
    watch.setServerExpected(expected);
    showLink(now(), Show::Again);
}

void OnAirStatus::serverHeard()
{
    watch.serverHeard(now());
    showLink(now());
}

void OnAirStatus::setFollowingBackup(bool backup)
{
    if (followingBackup == backup)
        return;
    followingBackup = backup;
    showLink(now(), Show::Again);
}

void OnAirStatus::setLinkNote(const QString &note)
{
    linkNote = note;
}

bool OnAirStatus::tick(const double *targets)
{
    const qint64 t = now();
    // showLink() leaves the state as of now in shownState.
    showLink(t);
    const bool live = shownState == LinkWatch::Live;
    const bool justDown = wasLive && !live;
    wasLive = live;
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        // Without a live link there are no levels to call silent: the link lamp speaks.
        if (live)
            pairs[i].silence.feed(targets[2 * i], targets[2 * i + 1], t);
        else
            pairs[i].silence.suspend();
        showSilence(pairs[i], t);
    }
    return justDown;
}

void OnAirStatus::resetPeaksAndOvers()
{
    for (Pair &pair : pairs) {
        pair.left->resetPeak();
        pair.right->resetPeak();
        pair.over.reset();
        showOver(pair);
    }
}

LinkWatch::State OnAirStatus::state() const
{
    return watch.state(now());
}

QString OnAirStatus::linkLegend() const
{
    const qint64 t = now();
    switch (watch.state(t)) {
    case LinkWatch::Live:
        return followingBackup ? tr("LIVE BACKUP") : tr("LIVE");
    case LinkWatch::NoData:
        if (watch.serverSilent(t))
            return tr("NO SERVER %1").arg(duration(watch.silentForMs(t)));
        return tr("NO DATA %1").arg(duration(watch.silentForMs(t)));
    case LinkWatch::NoLink:
        break;
    }
    return inputName.isEmpty() ? tr("NO LINK") : tr("NO LINK %1").arg(inputName);
}

QString OnAirStatus::linkReport() const
{
    const qint64 t = now();
    QString last = tr("none yet");
    if (watch.hasFrame()) {
        last = tr("%1 (%2 s ago)")
                   .arg(wallTimeOf(watch.lastFrameMs(), t)
                            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                   .arg(static_cast<double>(t - watch.lastFrameMs()) / 1000.0, 0, 'f', 1);
    }
    QString report = tr("Input: %1\nFrames accepted: %2\nBytes dropped by the deframer: %3\n"
                        "Datagrams refused: %4\nLast frame: %5\nNo data after: %6 s")
                         .arg(inputName.isEmpty() ? tr("none") : inputName)
                         .arg(watch.framesAccepted())
                         .arg(dropped)
                         .arg(refused)
                         .arg(last)
                         .arg(static_cast<double>(watch.staleMs()) / 1000.0, 0, 'f', 1);
    if (followingBackup)
        report += tr("\nFollowing the backup server");
    if (!linkNote.isEmpty())
        report += QLatin1Char('\n') + linkNote;
    return report;
}

void OnAirStatus::showLink(qint64 t, Show show)
{
    const LinkWatch::State state = watch.state(t);
    const qint64 seconds = state == LinkWatch::NoData ? watch.silentForMs(t) / 1000 : 0;
    const bool serverSilent = watch.serverSilent(t);
    const bool backup = followingBackup && state == LinkWatch::Live;
    if (show == Show::IfChanged && state == shownState && seconds == shownSeconds
        && serverSilent == shownServerSilent && backup == shownBackup)
        return;
    const bool stateChanged = show == Show::Again || state != shownState
        || serverSilent != shownServerSilent || backup != shownBackup;
    shownState = state;
    shownSeconds = seconds;
    shownServerSilent = serverSilent;
    shownBackup = backup;

    link_->setText(linkLegend());
    if (!stateChanged)
        return;
    using namespace LampStyle;
    const QColor colour = backup     ? Blue
        : state == LinkWatch::Live   ? Green
        : serverSilent               ? Purple
        : state == LinkWatch::NoData ? Amber
                                     : DarkRed;
    const QColor text = state == LinkWatch::NoLink || serverSilent || backup ? White : Black;
    setColours(link_, colour, text);
    for (const Pair &pair : pairs) {
        pair.mark->setVisible(state != LinkWatch::Live);
        pair.mark->setText(state == LinkWatch::NoLink ? tr("NO LINK")
                               : serverSilent         ? tr("NO SERVER")
                                                      : tr("NO DATA"));
        setColours(pair.mark, colour, text);
    }
}

void OnAirStatus::showOver(Pair &pair)
{
    const OverLatch &over = pair.over;
    VexoLamp *lamp = pair.overLamp;
    lamp->setLit(over.latched());
    if (!over.latched()) {
        lamp->setText(tr("OVER"));
        return;
    }
    lamp->setText(
        tr("OVER %1\u00d7 %2")
            .arg(over.overs())
            .arg(wallTimeOf(over.lastOverMs(), now()).toString(QStringLiteral("hh:mm:ss"))));
}

void OnAirStatus::showSilence(Pair &pair, qint64 t, Show show)
{
    const SilenceDetector &silence = pair.silence;
    const qint64 seconds = silence.alarm() ? silence.quietForMs(t) / 1000 : -1;
    if (show == Show::IfChanged && seconds == pair.shownSilence)
        return;
    pair.shownSilence = seconds;
    VexoLamp *lamp = pair.silenceLamp;
    lamp->setLit(seconds >= 0);
    if (seconds >= 0)
        lamp->setText(tr("SILENCE %1").arg(duration(silence.quietForMs(t))));
    else
        lamp->setText(silence.enabled() ? tr("SILENCE") : tr("SILENCE OFF"));
}

void OnAirStatus::layout(const DesignLayout::Fit &fit)
{
    using DesignLayout::scaleRect;
    using LampStyle::font;
    using namespace StatusLayout;
    link_->setGeometry(scaleRect(LinkLamp, fit));
    link_->setFont(font(LinkLampPixelSize, fit));
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        const Pair &pair = pairs[i];
        pair.overLamp->setGeometry(scaleRect(OverLamps[i], fit));
        pair.overLamp->setFont(font(PairLampPixelSize, fit));
        pair.silenceLamp->setGeometry(scaleRect(SilenceLamps[i], fit));
        pair.silenceLamp->setFont(font(PairLampPixelSize, fit));
        pair.mark->setGeometry(scaleRect(LinkMarks[i], fit));
        pair.mark->setFont(font(LinkMarkPixelSize, fit));
    }
    const int peakMarkRows = qMax(1, LampStyle::scaled(PeakMarkRows, fit));
    for (const Pair &pair : pairs) {
        pair.left->setPeakMarkHeight(peakMarkRows);
        pair.right->setPeakMarkHeight(peakMarkRows);
    }
}

bool OnAirStatus::eventFilter(QObject *watched, QEvent *event)
{
    // The installer's figures are put together only when someone asks for them.
    if (watched == link_ && event->type() == QEvent::ToolTip)
        link_->setToolTip(linkReport());
    return QObject::eventFilter(watched, event);
}
