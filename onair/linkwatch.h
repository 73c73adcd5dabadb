#pragma once

#include "dialogs/displaysettings.h"

#include <QString>
#include <QtGlobal>

// Whether the levels on the panel can be believed: a display whose console stopped sending
// must not show its last levels as if they were live. The watch is told when the input opens
// or fails and when a frame is accepted, and answers from monotonic milliseconds that its
// owner passes in, so it never reads a clock of its own.
class LinkWatch
{
public:
    enum State { Live, NoData, NoLink };

    // The input (serial port or UDP socket) opened at `nowMs`, or it cannot be used. A
    // freshly opened input is NO DATA until its first frame, counted from the opening.
    void inputOpened(qint64 nowMs);
    void inputFailed();

    void frameAccepted(qint64 nowMs);

    // Out-of-range times are clamped into what the operator can choose.
    void setStaleMs(qint64 ms);
    qint64 staleMs() const { return stale; }

    State state(qint64 nowMs) const;
    // Milliseconds since the last frame, or since the input opened when none came yet.
    qint64 silentForMs(qint64 nowMs) const;
    // When the state, as seen now, may next change without a new event: the end of the
    // stale time while LIVE. -1 when nothing but an event can change it.
    qint64 nextChangeMs(qint64 nowMs) const;

    // A client hears from its server apart from the frames: the server's heartbeat says it is
    // there while its console is quiet. Without one for a while, NO DATA is NO SERVER.
    void setServerExpected(bool expected) { serverExpected = expected; }
    void serverHeard(qint64 nowMs);
    bool serverSilent(qint64 nowMs) const;

    bool hasFrame() const { return anyFrame; }
    qint64 lastFrameMs() const { return lastFrame; }
    quint64 framesAccepted() const { return frames; }

private:
    qint64 stale = DisplaySettings::milliseconds(DisplaySettings::DefaultStaleSeconds);
    qint64 lastFrame = 0;
    qint64 openedAt = 0;
    quint64 frames = 0;
    qint64 lastHeard = 0;
    bool open = false;
    bool anyFrame = false;
    bool serverExpected = false;
    bool anyHeard = false;
};
