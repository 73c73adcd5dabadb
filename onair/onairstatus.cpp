#include "onair/onairstatus.h"

#include "onair/headerrule.h"
#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"
#include "widgets/vexolamp.h"
#include "widgets/vexoppmmeter.h"

#include <QCursor>
#include <QDateTime>
#include <QEvent>
#include <QFont>
#include <QToolTip>
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
    link_->setLit(true);
    // A long port name keeps its start and its end, which tell the adapters apart.
    link_->setElideMode(Qt::ElideMiddle);
    link_->installEventFilter(this);
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        Pair &pair = pairs[i];
        pair.left = meters[2 * i];
        pair.right = meters[2 * i + 1];
        const QString name = DisplaySettings::pairName(i);
        pair.overLamp = makeLamp(window, QStringLiteral("lamp_over_") + name);
        show(pair.overLamp, State::Over);
        connect(pair.overLamp, &VexoLamp::clicked, this, &OnAirStatus::resetPeaksAndOvers);
        pair.silenceLamp = makeLamp(window, QStringLiteral("lamp_silence_") + name);
        show(pair.silenceLamp, State::Silence);
        // The legend lies over the meters and must not take their clicks or hide them
        // while the link is live.
        pair.mark = makeLegend(window, QStringLiteral("mark_link_") + name);
        pair.mark->hide();
        showOver(pair);
    }
    watch.inputFailed();
    showLink(now(), Show::Again);
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

void OnAirStatus::setCaptions(const std::array<QString, DisplaySettings::Pairs> &texts)
{
    captions = texts;
    showHeader(now(), Show::Again);
}

void OnAirStatus::setInputKind(Input kind)
{
    inputKind = kind;
}

void OnAirStatus::setFlashPhase(bool lit)
{
    flashLit = lit;
    for (const Pair &pair : pairs) {
        if (pair.shownSilence >= 0)
            pair.silenceLamp->setLit(lit);
    }
    if (LampStyle::look(headerState).flashes)
        link_->setLit(lit);
}

bool OnAirStatus::flashing() const
{
    return LampStyle::look(headerState).flashes;
}

void OnAirStatus::setBrightness(double value)
{
    if (qFuzzyCompare(value, brightness))
        return;
    brightness = value;
    const QColor unlit = LampStyle::unlitText(brightness);
    link_->setUnlitTextColor(unlit);
    for (const Pair &pair : pairs) {
        pair.overLamp->setUnlitTextColor(unlit);
        pair.silenceLamp->setUnlitTextColor(unlit);
    }
    showHeader(now(), Show::Again);
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
        if (pairs[i].over.feed(levels[2 * i], levels[2 * i + 1], t)) {
            showOver(pairs[i]);
            emit overLatched(i, pairs[i].over.overs());
        }
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
    showHeader(t);
    // The figures in a tooltip that is showing move on once a second, as the lamp does.
    if (t / 1000 != reportSecond) {
        reportSecond = t / 1000;
        refreshReport();
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

QString OnAirStatus::legendOf(LampStyle::State state, int pair, qint64 t) const
{
    using LampStyle::State;
    switch (state) {
    case State::NoInput:
        return tr("NO INPUT");
    case State::NoLink:
        // The words stand as the lamp's label, the port name, cut to fit, after them.
        return inputName;
    case State::LiveBackup:
        return tr("LIVE BACKUP");
    case State::NoServer:
        return tr("NO SERVER %1").arg(duration(watch.silentForMs(t)));
    case State::NoData:
        return tr("NO DATA %1").arg(duration(watch.silentForMs(t)));
    case State::Silence:
        return tr("SILENCE %1 %2")
            .arg(captions[pair],
                 LampStyle::minutesAndSeconds(pairs[pair].silence.quietForMs(t) / 1000));
    default:
        break;
    }
    return tr("LIVE");
}

QString OnAirStatus::linkLegend() const
{
    if (link_->getLabel().isEmpty())
        return link_->getText();
    return link_->getLabel() + QLatin1Char(' ') + link_->getText();
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
    // Only what can happen on the input in use: a serial line drops bytes, a UDP port refuses
    // datagrams.
    const QString refusals = inputKind == Serial
        ? tr("Bytes dropped by the deframer: %1").arg(dropped)
        : tr("Datagrams refused: %1").arg(refused);
    QString report = tr("Input: %1\nFrames accepted: %2\n%3\nLast frame: %4\nNo data after: %5 s")
                         .arg(inputName.isEmpty() ? tr("none") : inputName)
                         .arg(watch.framesAccepted())
                         .arg(refusals)
                         .arg(last)
                         .arg(static_cast<double>(watch.staleMs()) / 1000.0, 0, 'f', 1);
    if (followingBackup)
        report += tr("\nFollowing the backup server");
    if (!linkNote.isEmpty())
        report += QLatin1Char('\n') + linkNote;
    return report;
}

void OnAirStatus::light(VexoLamp *lamp, LampStyle::State state) const
{
    const LampStyle::Look look = LampStyle::look(state);
    const double k = look.alarm ? 1.0 : brightness;
    LampStyle::setColours(lamp, LampStyle::dimmed(look.lit, k), LampStyle::dimmed(look.text, k));
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
    const bool moved = state != shownState;
    const bool stateChanged = show == Show::Again || moved || serverSilent != shownServerSilent
        || backup != shownBackup;
    shownState = state;
    shownSeconds = seconds;
    shownServerSilent = serverSilent;
    shownBackup = backup;
    if (stateChanged) {
        using LampStyle::State;
        const State legend = !inputChosen() ? State::NoInput
            : state == LinkWatch::NoLink    ? State::NoLink
            : serverSilent                  ? State::NoServer
                                            : State::NoData;
        for (const Pair &pair : pairs) {
            pair.mark->setVisible(state != LinkWatch::Live);
            pair.mark->setText(legend == State::NoInput        ? tr("NO INPUT")
                                   : legend == State::NoLink   ? tr("NO LINK")
                                   : legend == State::NoServer ? tr("NO SERVER")
                                                               : tr("NO DATA"));
            LampStyle::show(pair.mark, legend);
        }
    }
    if (moved)
        emit linkChanged(state);
    showHeader(t, show);
}

void OnAirStatus::showHeader(qint64 t, Show show)
{
    std::array<qint64, DisplaySettings::Pairs> silentMs;
    for (std::size_t i = 0; i < pairs.size(); ++i)
        silentMs[i] = pairs[i].shownSilence >= 0 ? pairs[i].silence.quietForMs(t) : -1;
    HeaderRule::Worst worst = HeaderRule::worst(inputChosen(), shownState, silentMs);
    // A client that follows its backup, or hears no server at all, says which.
    if (worst.state == LampStyle::State::Live && shownBackup)
        worst.state = LampStyle::State::LiveBackup;
    else if (worst.state == LampStyle::State::NoData && shownServerSilent)
        worst.state = LampStyle::State::NoServer;
    // The header counts whole seconds of NO DATA and of silence.
    const bool noData
        = worst.state == LampStyle::State::NoData || worst.state == LampStyle::State::NoServer;
    const qint64 seconds = noData ? shownSeconds
        : worst.pair >= 0         ? silentMs[worst.pair] / 1000
                                  : 0;
    if (show == Show::IfChanged && worst.state == headerState && worst.pair == headerPair
        && seconds == headerSeconds)
        return;
    const bool stateChanged
        = show == Show::Again || worst.state != headerState || worst.pair != headerPair;
    headerState = worst.state;
    headerPair = worst.pair;
    headerSeconds = seconds;
    link_->setLabel(worst.state == LampStyle::State::NoLink ? tr("NO LINK") : QString());
    link_->setText(legendOf(worst.state, worst.pair, t));
    if (stateChanged) {
        light(link_, worst.state);
        link_->setLit(!LampStyle::look(worst.state).flashes || flashLit);
        refreshReport();
    }
}

void OnAirStatus::refreshReport()
{
    // A tooltip that is showing is not asked for again: it is given the new figures.
    if (QToolTip::isVisible() && link_->underMouse())
        QToolTip::showText(QCursor::pos(), linkReport(), link_);
}

void OnAirStatus::showOver(Pair &pair)
{
    const OverLatch &over = pair.over;
    VexoLamp *lamp = pair.overLamp;
    lamp->setLit(over.latched());
    const QString reset = tr("Click, or press R, to reset peaks and overs");
    if (!over.latched()) {
        lamp->setText(tr("OVER"));
        lamp->setToolTip(reset);
        return;
    }
    // The count is read across the room, the time of the last over at the desk.
    lamp->setText(tr("OVER %1\u00d7").arg(over.overs()));
    lamp->setToolTip(
        tr("Last over at %1\n%2")
            .arg(wallTimeOf(over.lastOverMs(), now()).toString(QStringLiteral("hh:mm:ss")),
                 reset));
}

void OnAirStatus::showSilence(Pair &pair, qint64 t, Show show)
{
    const SilenceDetector &silence = pair.silence;
    const qint64 seconds = silence.alarm() ? silence.quietForMs(t) / 1000 : -1;
    if (show == Show::IfChanged && seconds == pair.shownSilence)
        return;
    const bool flipped = (seconds >= 0) != (pair.shownSilence >= 0);
    if (flipped)
        emit silenceChanged(int(&pair - pairs.data()), seconds >= 0);
    const bool raised = seconds >= 0 && (pair.shownSilence < 0 || show == Show::Again);
    pair.shownSilence = seconds;
    VexoLamp *lamp = pair.silenceLamp;
    if (seconds >= 0) {
        // The header names the pair and counts the seconds; the pair's own lamp says what.
        if (raised) {
            lamp->setText(tr("SILENCE"));
            lamp->setFont(pairFont);
            lamp->setLit(flashLit);
        }
        return;
    }
    lamp->setLit(false);
    // "SILENCE OFF" read as "no silence": a pair that is not watched says so in small words.
    lamp->setText(silence.enabled() ? tr("SILENCE") : tr("NOT WATCHED"));
    lamp->setFont(silence.enabled() ? pairFont : notWatchedFont);
    lamp->setToolTip(silence.enabled()
                         ? tr("Dead air on this pair raises the alarm")
                         : tr("Silence is not watched on this pair (Display settings\u2026)"));
}

void OnAirStatus::layout(const DesignLayout::Fit &fit)
{
    using DesignLayout::scaleRect;
    using LampStyle::font;
    using namespace StatusLayout;
    link_->setGeometry(scaleRect(LinkLamp, fit));
    link_->setFont(font(LinkLampPixelSize, fit));
    link_->setLabelFont(link_->font());
    pairFont = font(PairLampPixelSize, fit);
    notWatchedFont = font(NotWatchedPixelSize, fit);
    for (int i = 0; i < DisplaySettings::Pairs; ++i) {
        const Pair &pair = pairs[i];
        pair.overLamp->setGeometry(scaleRect(OverLamps[i], fit));
        pair.overLamp->setFont(pairFont);
        pair.silenceLamp->setGeometry(scaleRect(SilenceLamps[i], fit));
        pair.silenceLamp->setFont(
            pair.silence.enabled() || pair.shownSilence >= 0 ? pairFont : notWatchedFont);
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
