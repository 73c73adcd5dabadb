#pragma once

#include "comm/framestream.h"
#include "feedoptions.h"
#include "framelines.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

class QSerialPort;
class QTextStream;
class QUdpSocket;

// Reads a serial port or listens on a UDP port as a display does, and prints what arrives:
// each frame decoded, what was no frame, and a summary at the end.
class FeedMonitor : public QObject
{
    Q_OBJECT

public:
    FeedMonitor(const Feed::MonitorOptions &options, QTextStream &out, QTextStream &err);

    // Opens the port or binds the socket. Returns an exit status: Feed::ExitOk when listening.
    int open();
    int exitStatus() const { return status; }
    void printSummary();

signals:
    void finished();

private:
    void readSerial();
    void readDatagrams();
    void frameArrived(const unsigned char *frame, const QString &peer, const QString &note);
    void finish(int exitStatus);
    double seconds() const { return clock.nsecsElapsed() / 1e9; }

    Feed::MonitorOptions options;
    QTextStream &out;
    QTextStream &err;
    QSerialPort *serial = nullptr;
    QUdpSocket *socket = nullptr;
    QHostAddress from;
    FrameStream stream;
    Feed::RateMeter rate;
    QElapsedTimer clock;

    qint64 frames = 0;
    double firstFrame = -1.0;
    double lastFrame = -1.0;
    qint64 crsRemoved = 0;
    qint64 malformedDatagrams = 0;
    qint64 malformedDatagramBytes = 0;
    qint64 withoutMarkers = 0;
    qint64 otherSenders = 0;
    qint64 heartbeats = 0;
    int status = Feed::ExitOk;
    bool done = false;
};
