#include "feedsender.h"

#include "comm/levelframe.h"
#include "feedline.h"
#include "framelines.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSerialPort>
#include <QTextStream>
#include <QUdpSocket>

#include <cmath>

namespace {

// A name that the resolver turns into an address; IPv4 first, as the displays speak IPv4.
QHostAddress resolve(const QString &host, QString *error)
{
    const QHostAddress numeric(host);
    if (!numeric.isNull())
        return numeric;
    const QHostInfo info = QHostInfo::fromName(host);
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        *error = info.errorString();
        return QHostAddress();
    }
    for (const QHostAddress &candidate : info.addresses()) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol)
            return candidate;
    }
    return info.addresses().first();
}

QList<QNetworkAddressEntry> localAddressEntries()
{
    QList<QNetworkAddressEntry> entries;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces())
        entries += interface.addressEntries();
    return entries;
}

} // namespace

FeedSender::FeedSender(const Feed::SendOptions &sendOptions, QTextStream &output,
                       QTextStream &errors)
    : options(sendOptions)
    , out(output)
    , err(errors)
{
    for (int channel = 0; channel < LevelFrame::Channels; ++channel) {
        sources.emplace_back(options.channels[size_t(channel)],
                             Feed::sharedSeedFor(options.seed, channel),
                             Feed::ownSeedFor(options.seed, channel));
    }
    // Frame i goes out at i/rate: the last one allowed by the duration starts before it ends.
    if (options.duration > 0.0)
        limit = qint64(std::ceil(options.duration * options.rate - 1e-9));
    if (options.count > 0)
        limit = limit < 0 ? options.count : std::min(limit, options.count);
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &FeedSender::sendDue);
}

QString FeedSender::destination() const
{
    if (options.toSerial())
        return options.serialDevice;
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(address.toString()).arg(options.port);
    return QStringLiteral("%1:%2").arg(address.toString()).arg(options.port);
}

int FeedSender::open()
{
    if (options.toSerial()) {
        serial = openLevelLine(options.serialDevice, QIODevice::ReadWrite, this, err);
        if (!serial)
            return Feed::ExitFailure;
        connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError || e == QSerialPort::TimeoutError || done)
                return;
            err << "orvane-feed: " << options.serialDevice << " failed: " << serial->errorString()
                << Qt::endl;
            finish(Feed::ExitFailure);
        });
        return Feed::ExitOk;
    }

    QString error;
    address = resolve(options.host, &error);
    if (address.isNull()) {
        err << "orvane-feed: cannot find host " << options.host << ": " << error << Qt::endl;
        return Feed::ExitFailure;
    }
    if (!options.broadcast && Feed::isBroadcastAddress(address, localAddressEntries())) {
        err << "orvane-feed: " << address.toString()
            << " is a broadcast address: every display on the network would get the frames; "
               "add --broadcast if that is meant\nTry 'orvane-feed --help'."
            << Qt::endl;
        return Feed::ExitUsage;
    }
    socket = new QUdpSocket(this);
    if (!options.source.isEmpty() && !socket->bind(QHostAddress(options.source), 0)) {
        err << "orvane-feed: cannot send from " << options.source << ": " << socket->errorString()
            << Qt::endl;
        return Feed::ExitFailure;
    }
    return Feed::ExitOk;
}

void FeedSender::start()
{
    clock.start();
    if (limit == 0) {
        finish(Feed::ExitOk);
        return;
    }
    sendDue();
}

void FeedSender::sendDue()
{
    if (done)
        return;
    // Every frame whose time has come goes now: after a stall the line catches up, so the
    // count over a run matches the rate.
    const double now = clock.nsecsElapsed() / 1e9;
    const qint64 due = qint64(std::floor(now * options.rate)) + 1;
    while (sent < due && (limit < 0 || sent < limit)) {
        const double t = double(sent) / options.rate;
        unsigned short raw[LevelFrame::Channels];
        for (int channel = 0; channel < LevelFrame::Channels; ++channel)
            raw[channel] = LevelFrame::rawFromDb(sources[size_t(channel)].levelAt(t));
        const QByteArray frame = LevelFrame::encode(raw);
        if (!send(frame))
            return;
        if (options.every > 0 && sent % options.every == 0) {
            out << Feed::frameLine(t, destination(),
                                   reinterpret_cast<const unsigned char *>(frame.constData()),
                                   options.rate)
                << Qt::endl;
        }
        ++sent;
        lastSentNs = clock.nsecsElapsed();
    }
    if (limit >= 0 && sent >= limit) {
        finish(Feed::ExitOk);
        return;
    }
    const double next = double(sent) / options.rate;
    const double waitMs = (next - clock.nsecsElapsed() / 1e9) * 1000.0;
    timer.start(std::max(0, int(std::ceil(waitMs))));
}

bool FeedSender::send(const QByteArray &frame)
{
    if (serial) {
        if (serial->write(frame) == frame.size())
            return true;
        err << "orvane-feed: cannot write to " << options.serialDevice << ": "
            << serial->errorString() << Qt::endl;
        finish(Feed::ExitFailure);
        return false;
    }
    if (socket->writeDatagram(frame, address, options.port) == frame.size())
        return true;
    // A display that is not running yet answers with "port unreachable", which the system
    // reports at the next send: a console keeps sending all the same.
    if (socket->error() == QAbstractSocket::ConnectionRefusedError
        && socket->writeDatagram(frame, address, options.port) == frame.size())
        return true;
    err << "orvane-feed: cannot send to " << destination() << ": " << socket->errorString()
        << Qt::endl;
    finish(Feed::ExitFailure);
    return false;
}

void FeedSender::finish(int exitStatus)
{
    if (done)
        return;
    done = true;
    status = exitStatus;
    timer.stop();
    if (serial && serial->isOpen() && exitStatus == Feed::ExitOk) {
        // The last frames may still wait in the port's buffer: let them out before closing.
        const QDeadlineTimer deadline(5000);
        while (serial->bytesToWrite() > 0 && !deadline.hasExpired())
            serial->waitForBytesWritten(int(deadline.remainingTime()));
        serial->flush();
    }
    emit finished();
}

void FeedSender::printSummary()
{
    if (options.quiet)
        return;
    const double seconds = lastSentNs / 1e9;
    out << "Sent " << sent << (sent == 1 ? " frame" : " frames") << " to " << destination();
    if (sent > 1) {
        out << " in " << QString::number(seconds, 'f', 2) << " s ("
            << QString::number((sent - 1) / std::max(seconds, 1e-9), 'f', 1)
            << " frames a second)";
    }
    out << Qt::endl;
}
