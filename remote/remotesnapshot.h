#pragma once

#include "dialogs/clocksettings.h"

#include <QString>
#include <QStringList>
#include <QTime>
#include <QtGlobal>

// What the display knows, as the window hands it to the network side: a plain value, copied
// whole and never changed once handed over, so that the server's thread reads it without
// asking the GUI thread anything. Times are the wall clock's milliseconds since the epoch
// (a browser or a receiver far away can use them); -1 where there is none.
struct RemoteSnapshot
{
    enum LinkState { Live, NoData, NoLink };
    enum CountDownState { CountDownIdle, CountDownRunning, CountDownTimeUp };
    static constexpr int Meters = 6;
    static constexpr int Pairs = 3;

    struct Meter
    {
        // As the meter shows it now, and its peak mark; -50 is the floor.
        double levelDb = -50.0;
        double peakDb = -50.0;
    };

    struct Pair
    {
        QString caption;
        bool overLatched = false;
        int overCount = 0;
        qint64 lastOverMs = -1;
        bool silenceWatched = false;
        bool silenceActive = false;
        qint64 silenceSinceMs = -1;
    };

    QString version;
    QString displayName;
    // The display's wall clock when the snapshot was taken, and its offset from UTC.
    qint64 nowMs = 0;
    int utcOffsetSeconds = 0;
    qint64 startedMs = 0;

    LinkState link = NoLink;
    // The serial device or the UDP port, as the link lamp names it.
    QString linkSource;
    qint64 lastFrameMs = -1;
    quint64 framesAccepted = 0;
    quint64 bytesDropped = 0;
    quint64 datagramsRefused = 0;

    Meter meters[Meters];
    Pair pairs[Pairs];

    bool clockSynchronised = false;
    QString clockLegend;
    // The kernel's estimated and maximum error, -1 when it did not answer.
    double clockEstimatedErrorS = -1.0;
    double clockMaxErrorS = -1.0;

    ClockSettings::EndMode endMode = ClockSettings::EndOff;
    QTime endTime;
    // Seconds to the next end time; -1 when off.
    int endSecondsLeft = -1;

    CountDownState countDown = CountDownIdle;
    int countDownLength = 0;
    int countDownLeft = 0;
    // When it reaches zero, on a whole second of the wall clock.
    qint64 countDownEndsMs = -1;
    // The last count-down's length, which a count-down without one restarts.
    int countDownLast = 0;

    bool onAir = false;
    // What the header band says is wrong, one reason each.
    QStringList problems;

    // Counted by the network side itself, filled in when it serves the snapshot.
    int clients = 0;
    quint64 webhookFailures = 0;
    quint64 webhooksDropped = 0;
    quint64 overEvents[Pairs] = {};
    quint64 silenceEvents[Pairs] = {};

    static const char *meterName(int meter);
    static const char *pairName(int pair);
    static const char *linkStateName(LinkState state);

    // The same as far as a stream's `state` event goes: everything but levels, peaks,
    // counters, ages and the clock's reading, which change all the time.
    bool sameState(const RemoteSnapshot &other) const;
};
