#pragma once

#include "remote/remotesnapshot.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// One alarm transition, as it leaves the room: to the webhooks, to the journal and to the
// counters. Made by the window at the moment the lamp changes.
struct AlarmEvent
{
    enum Kind { Link, Silence, Over, ClockSync, CountDown, OnAir };

    Kind kind = Link;
    // link: live, no_data, no_link; silence: raised, cleared; over: latched; clock_sync: lost,
    // regained; countdown: time_up; onair: on, off.
    QString state;
    // The pair (0 programme, 1 sub, 2 control room) for silence and over; -1 for the others.
    int pair = -1;
    // The wall clock's milliseconds since the epoch.
    qint64 timeMs = 0;
    // What else the lamp says: the link's source, the number of overs.
    QString detail;

    static AlarmEvent link(RemoteSnapshot::LinkState state, const QString &source, qint64 timeMs);
    static AlarmEvent silence(int pair, bool raised, qint64 timeMs);
    static AlarmEvent over(int pair, int count, qint64 timeMs);
    static AlarmEvent clockSync(bool synchronised, qint64 timeMs);
    static AlarmEvent timeUp(qint64 timeMs);
    static AlarmEvent onAir(bool on, qint64 timeMs);

    static const char *kindName(Kind kind);

    // The webhook's body: {"event", "state", "pair", "time", "time_ms", "display", "detail"}.
    QByteArray toJson(const QString &displayName, int utcOffsetSeconds) const;
    // One line for a person: "Silence raised on prog (Studio 3)".
    QString message(const QString &displayName) const;
    // The journal's fields, ORVANE_EVENT=silence ORVANE_PAIR=prog ..., MESSAGE and PRIORITY
    // (warning for an alarm, notice when it clears).
    QList<QPair<QByteArray, QByteArray>> journalFields(const QString &displayName) const;
};
