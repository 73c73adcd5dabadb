#pragma once

#include "comm/levelframe.h"
#include "dialogs/displaysettings.h"
#include "onair/linkwatch.h"
#include "onair/overlatch.h"
#include "onair/silencedetector.h"
#include "panel/lampstyle.h"

#include <QElapsedTimer>
#include <QFont>
#include <QObject>
#include <QString>

#include <array>

class QWidget;
class VexoLamp;
class VexoPPMMeter;
namespace DesignLayout {
struct Fit;
}

// The panel's answer to "can I believe what it shows": the header lamp, which shows the worst
// state on the panel, the peak marks, an over lamp and a silence lamp per pair, and a legend
// across the meters while no data comes. It holds the watches and lamps; the window tells it
// what happens to the input, calls tick() from its release timer, or from its once-a-second
// wake while the meters rest, and sets the phase of the lamps that flash, so it never wakes the
// program on its own.
class OnAirStatus : public QObject
{
    Q_OBJECT

public:
    // `meters` are the six meters in frame order, a pair's left before its right; the lamps
    // become children of `window`.
    OnAirStatus(QWidget *window, const std::array<VexoPPMMeter *, LevelFrame::Channels> &meters);

    void apply(const DisplaySettings &settings);
    // The pairs' captions, by which the header names a silent pair.
    void setCaptions(const std::array<QString, DisplaySettings::Pairs> &captions);
    // Which counters the installer's figures list: a serial line's or a UDP socket's.
    enum Input { Serial, Udp };
    void setInputKind(Input kind);
    // Lamps that flash are lit for the first half of every second and dark for the second.
    void setFlashPhase(bool lit);
    bool flashing() const;
    // The lamps that are no alarm at `brightness` (0 to 1) of their light; alarms stay full.
    void setBrightness(double brightness);

    // `input` names the input for the lamp: a serial device or a UDP port.
    void inputOpened(const QString &input);
    void inputFailed(const QString &input);
    // `levels` are the six levels of an accepted frame, in dB as the frame says.
    void frameAccepted(const double *levels);
    void datagramRefused() { ++refused; }
    // A client: whether it listens to a server (then NO SERVER is told apart from NO DATA), the
    // server's heartbeat, whether the frames come from the backup server, and what the
    // installer should know about the group ("" for nothing).
    void setServerExpected(bool expected);
    void serverHeard();
    void setFollowingBackup(bool backup);
    void setLinkNote(const QString &note);
    void addBytesDropped(quint64 bytes) { dropped += bytes; }

    // From the release tick or, while that rests, the second's wake, with the six current
    // targets. Returns true when the link has just stopped being live: the window then sends
    // the targets to the floor.
    bool tick(const double *targets);

    void resetPeaksAndOvers();

    LinkWatch::State state() const;
    // Whether an input was chosen at all: a serial port, or a UDP port to listen on.
    bool inputChosen() const { return !inputName.isEmpty(); }
    // What the header lamp says (its label and its text), and the installer's figures shown in
    // its tooltip.
    QString linkLegend() const;
    QString linkReport() const;

    // Places and sizes lamps, legends and peak marks for a window laid out with `fit`.
    void layout(const DesignLayout::Fit &fit);

    // What the lamps stand on, for the network side; times are on this status's monotonic
    // clock, whose now is clockMs().
    qint64 clockMs() const { return now(); }
    const LinkWatch &linkWatch() const { return watch; }
    const QString &input() const { return inputName; }
    quint64 bytesDropped() const { return dropped; }
    quint64 datagramsRefused() const { return refused; }
    const OverLatch &overLatch(int pair) const { return pairs[pair].over; }
    const SilenceDetector &silenceDetector(int pair) const { return pairs[pair].silence; }

    VexoLamp *linkLamp() const { return link_; }
    VexoLamp *overLamp(int pair) const { return pairs[pair].overLamp; }
    VexoLamp *silenceLamp(int pair) const { return pairs[pair].silenceLamp; }
    VexoLamp *linkMark(int pair) const { return pairs[pair].mark; }

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // The alarms, as their lamps change: the link's state, a pair's silence raised or
    // cleared, a new over on a pair (with the count latched so far).
    void linkChanged(LinkWatch::State state);
    void silenceChanged(int pair, bool raised);
    void overLatched(int pair, int overs);

private:
    // A stereo pair (programme, sub, control room): its meters, its lamps and the legend across
    // its meters, and the watches behind the lamps.
    struct Pair
    {
        VexoPPMMeter *left = nullptr;
        VexoPPMMeter *right = nullptr;
        VexoLamp *overLamp = nullptr;
        VexoLamp *silenceLamp = nullptr;
        VexoLamp *mark = nullptr;
        OverLatch over;
        SilenceDetector silence;
        // What the silence lamp shows now: the whole seconds of quiet, -1 while not raised.
        qint64 shownSilence = -1;
    };

    // A lamp is shown anew only when its legend would change, unless the caller changed what
    // it depends on (the input, the settings) and asks for it to be shown again.
    enum class Show { IfChanged, Again };

    qint64 now() const { return clock.elapsed(); }
    void showLink(qint64 nowMs, Show show = Show::IfChanged);
    void showHeader(qint64 nowMs, Show show = Show::IfChanged);
    void showOver(Pair &pair);
    void showSilence(Pair &pair, qint64 nowMs, Show show = Show::IfChanged);
    void light(VexoLamp *lamp, LampStyle::State state) const;
    QString legendOf(LampStyle::State state, int pair, qint64 nowMs) const;
    // The tooltip of the header lamp, put together again while it is shown.
    void refreshReport();

    VexoLamp *link_;
    std::array<Pair, DisplaySettings::Pairs> pairs;
    std::array<QString, DisplaySettings::Pairs> captions;
    Input inputKind = Serial;
    // The pairs' lamps in their legend size, and the smaller words of a pair not watched.
    QFont pairFont;
    QFont notWatchedFont;
    bool flashLit = true;
    double brightness = 1.0;

    QElapsedTimer clock;
    LinkWatch watch;
    QString inputName;
    quint64 refused = 0;
    quint64 dropped = 0;

    // What the link shows now, so that a tick changes it only when its legend would change:
    // the state and the seconds of NO DATA (0 otherwise, -1 before the first show).
    LinkWatch::State shownState = LinkWatch::NoLink;
    bool shownServerSilent = false;
    bool shownBackup = false;
    bool followingBackup = false;
    QString linkNote;
    qint64 shownSeconds = -1;
    bool wasLive = false;
    // What the header lamp shows now: its state, the pair it names and the seconds it counts.
    LampStyle::State headerState = LampStyle::State::NoInput;
    int headerPair = -1;
    qint64 headerSeconds = -1;
    // The second of the monotonic clock in which the tooltip's figures were last given.
    qint64 reportSecond = -1;
};
