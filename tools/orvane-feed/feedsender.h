#pragma once

#include "feedoptions.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <vector>

class QSerialPort;
class QTextStream;
class QUdpSocket;

// Plays the console: one level frame every 1/rate seconds to a serial port or a UDP address.
// Frame i carries the signals' levels at i/rate seconds, so a run is the same however the
// machine schedules it; only when it goes out follows the clock.
class FeedSender : public QObject
{
    Q_OBJECT

public:
    FeedSender(const Feed::SendOptions &options, QTextStream &out, QTextStream &err);

    // Opens the port or socket. Returns an exit status: Feed::ExitOk when ready to start.
    int open();
    void start();
    // Once finished(): what the program should return.
    int exitStatus() const { return status; }
    void printSummary();

signals:
    void finished();

private:
    void sendDue();
    bool send(const QByteArray &frame);
    void finish(int exitStatus);
    QString destination() const;

    Feed::SendOptions options;
    QTextStream &out;
    QTextStream &err;
    std::vector<Feed::SignalSource> sources;
    QSerialPort *serial = nullptr;
    QUdpSocket *socket = nullptr;
    QHostAddress address;
    QTimer timer;
    QElapsedTimer clock;
    qint64 limit = -1;
    qint64 sent = 0;
    qint64 lastSentNs = 0;
    int status = Feed::ExitOk;
    bool done = false;
};
