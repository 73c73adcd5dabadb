#pragma once

#include "dialogs/clocksettings.h"
#include "remote/router.h"

#include <QByteArray>
#include <QString>
#include <QTime>

// One command from the network, checked whole before anything acts on it.
struct RemoteCommand
{
    enum Kind { None, Reset, CountDown, CancelCountDown, EndTime, OnAir };

    Kind kind = None;
    // CountDown: the length in seconds; 0 restarts the last one.
    int seconds = 0;
    // EndTime: the mode, and the time (only minutes and seconds count when hourly).
    ClockSettings::EndMode endMode = ClockSettings::EndOff;
    QTime endTime;
    // OnAir.
    bool on = false;

    bool operator==(const RemoteCommand &other) const;

    // The command a route's JSON body asks for. A body that is not what the route takes
    // (not JSON, not an object, a member unknown or of the wrong type, a value out of range)
    // gives a None command and `error` says what was wrong, in words for the caller.
    static RemoteCommand parse(Router::Route route, const QByteArray &body, QString *error);
    // The body that asks for this command: parse(route, toJson()) gives it back.
    QByteArray toJson() const;
};
