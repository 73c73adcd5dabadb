#include "feedmonitor.h"

#include "comm/distributionrules.h"
#include "comm/levelframe.h"
#include "feedline.h"

#include <QHostInfo>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QTextStream>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>

namespace {

// A socket bound to all addresses reports IPv4 senders in their IPv6-mapped form.
QHostAddress plain(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

FeedMonitor::FeedMonitor(const Feed::MonitorOptions &monitorOptions, QTextStream &output,
                         QTextStream &errors)
    : options(monitorOptions)
    , out(output)
    , err(errors)
{
}

int FeedMonitor::open()
{
    QString listening;
    if (options.fromSerial()) {
        serial = openLevelLine(options.serialDevice, QIODevice::ReadOnly, this, err);
        if (!serial)
            return Feed::ExitFailure;
        // What waited in the port (a console that ran on into a closed port, often beginning
        // with the last half of a frame) arrived before the watch began: counted, it would
        // show as malformed bytes and a burst of hundreds of frames a second.
        serial->clear(QSerialPort::Input);
        connect(serial, &QSerialPort::readyRead, this, &FeedMonitor::readSerial);
        connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            // A vanished device keeps failing every read: report it once and stop.
            if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || done)
                return;
            err << "orvane-feed: " << options.serialDevice << " failed: " << serial->errorString()
                << Qt::endl;
            serial->close();
            finish(Feed::ExitFailure);
        });
        listening = QStringLiteral("Reading %1 at 115200 baud, 8N1").arg(options.serialDevice);
    } else {
        if (!options.from.isEmpty()) {
            from = QHostAddress(options.from);
            if (from.isNull()) {
                const QHostInfo info = QHostInfo::fromName(options.from);
                if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
                    err << "orvane-feed: cannot find host " << options.from << ": "
                        << info.errorString() << Qt::endl;
                    return Feed::ExitFailure;
                }
                from = info.addresses().first();
            }
        }
        socket = new QUdpSocket(this);
        if (!socket->bind(QHostAddress::Any, options.listenPort)) {
            err << "orvane-feed: cannot listen on UDP port " << options.listenPort << ": "
                << socket->errorString();
            if (socket->error() == QAbstractSocket::AddressInUseError)
                err << " (a display or another monitor on this machine listens there)";
            err << Qt::endl;
            return Feed::ExitFailure;
        }
        connect(socket, &QUdpSocket::readyRead, this, &FeedMonitor::readDatagrams);
        listening = QStringLiteral("Listening on UDP port %1, %2")
                        .arg(options.listenPort)
                        .arg(from.isNull() ? QStringLiteral("all senders")
                                           : QStringLiteral("frames from ") + from.toString());
    }
    clock.start();
    if (options.duration > 0.0) {
        // A timer counts at most some 24 days in milliseconds.
        QTimer::singleShot(int(std::min(options.duration * 1000.0, 2147483647.0)), this,
                           [this] { finish(Feed::ExitOk); });
    }
    if (!options.quiet)
        out << listening << '\n' << Feed::frameHeader() << Qt::endl;
    return Feed::ExitOk;
}

void FeedMonitor::readSerial()
{
    const QString peer = serial->portName();
    // As a display reads the line: a monitor that counted other frames than the meters show
    // would send an installer after the wrong fault.
    crsRemoved += stream.readChunk(serial->readAll(), [&](unsigned char *frame) {
        if (!done)
            frameArrived(frame, peer, QString());
    });
}

void FeedMonitor::readDatagrams()
{
    while (!done && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        const QHostAddress sender = plain(datagram.senderAddress());
        if (!from.isNull() && !sender.isEqual(from, QHostAddress::ConvertV4MappedToIPv4)) {
            ++otherSenders;
            continue;
        }
        const QString peer = sender.protocol() == QAbstractSocket::IPv6Protocol
            ? QStringLiteral("[%1]:%2").arg(sender.toString()).arg(datagram.senderPort())
            : QStringLiteral("%1:%2").arg(sender.toString()).arg(datagram.senderPort());
        const QByteArray data = datagram.data();
        // A server display says once a second that it is there; that is no fault of the line.
        Distribution::Heartbeat::ServerLink link;
        if (Distribution::Heartbeat::read(data.constData(), data.size(), &link)) {
            ++heartbeats;
            continue;
        }
        if (data.size() != LevelFrame::Size) {
            ++malformedDatagrams;
            malformedDatagramBytes += data.size();
            if (options.every == 1 && !options.quiet) {
                out << Feed::anomalyLine(
                    seconds(), peer,
                    QStringLiteral("datagram of %1 bytes, no frame").arg(data.size()))
                    << Qt::endl;
            }
            continue;
        }
        const auto *frame = reinterpret_cast<const unsigned char *>(data.constData());
        // A display takes such a datagram all the same: show it, and say what is odd.
        QString note;
        if (!LevelFrame::hasMarkers(frame)) {
            ++withoutMarkers;
            note = QStringLiteral("no markers");
        }
        frameArrived(frame, peer, note);
    }
}

void FeedMonitor::frameArrived(const unsigned char *frame, const QString &peer,
                               const QString &note)
{
    const qint64 ms = clock.elapsed();
    const double now = seconds();
    rate.add(ms);
    if (frames == 0)
        firstFrame = now;
    lastFrame = now;
    ++frames;
    if (options.every > 0 && (frames - 1) % options.every == 0)
        out << Feed::frameLine(now, peer, frame, rate.rate(ms), note) << Qt::endl;
    if (options.count > 0 && frames >= options.count)
        finish(Feed::ExitOk);
}

void FeedMonitor::finish(int exitStatus)
{
    if (done)
        return;
    done = true;
    status = exitStatus;
    emit finished();
}

void FeedMonitor::printSummary()
{
    if (options.quiet)
        return;
    const double span = frames > 1 ? lastFrame - firstFrame : 0.0;
    auto row = [this](const char *name, const QString &value) {
        out << "  " << QString::fromLatin1(name).leftJustified(22) << value << '\n';
    };
    out << "Summary\n";
    row("frames:", QString::number(frames));
    row("seconds:", QString::number(span, 'f', 2));
    row("frames a second:", QString::number(span > 0.0 ? (frames - 1) / span : 0.0, 'f', 1));
    if (serial) {
        row("malformed bytes:", QString::number(stream.bytesDropped()));
        row("CR removed before LF:", QString::number(crsRemoved));
        row("unfinished bytes:", QString::number(stream.pending()));
    } else {
        row("malformed bytes:", QString::number(malformedDatagramBytes));
        row("malformed datagrams:", QString::number(malformedDatagrams));
        row("without markers:", QString::number(withoutMarkers));
        row("other senders:", QString::number(otherSenders));
        if (heartbeats > 0)
            row("server heartbeats:", QString::number(heartbeats));
    }
    out.flush();
}
