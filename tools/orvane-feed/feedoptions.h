#pragma once

#include "feedsignal.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkAddressEntry>
#include <QString>
#include <QStringList>

#include <array>

// The command line of orvane-feed: what to send where, or what to listen to.
namespace Feed {

// Exit statuses.
constexpr int ExitOk = 0;
// A port, host or socket that could not be used, or a line that failed while in use.
constexpr int ExitFailure = 1;
// A command line that does not make sense.
constexpr int ExitUsage = 2;

// The serial line runs at 115200 baud, 8N1: ten bit times a byte.
constexpr double SerialBytesPerSecond = 115200.0 / 10.0;
constexpr double MaxSerialRate = SerialBytesPerSecond / 16.0;
constexpr double MaxRate = 1000.0;

struct SendOptions
{
    QString serialDevice;
    // The UDP destination and, optionally, the local address to send from.
    QString host;
    quint16 port = 0;
    bool broadcast = false;
    QString source;

    double rate = 50.0;
    // Unbounded when both are absent: then it sends until stopped.
    qint64 count = -1;
    double duration = -1.0;
    std::array<SignalPlan, 6> channels;
    quint32 seed = 1;
    // Print every Nth frame sent (0: none).
    int every = 0;
    bool quiet = false;

    bool toSerial() const { return !serialDevice.isEmpty(); }
};

struct MonitorOptions
{
    QString serialDevice;
    quint16 listenPort = 0;
    // Only datagrams from this host are decoded; empty for every sender.
    QString from;
    int every = 1;
    qint64 count = -1;
    double duration = -1.0;
    bool quiet = false;

    bool fromSerial() const { return !serialDevice.isEmpty(); }
};

struct Command
{
    enum Kind { Send, Monitor, Help, Version, Error };
    Kind kind = Error;
    SendOptions send;
    MonitorOptions monitor;
    // The help text, or what is wrong with the command line.
    QString message;
};

// `arguments` includes the program name, as QCoreApplication::arguments() gives it.
Command parseCommandLine(const QStringList &arguments);

QString helpText();

// "HOST:PORT" or "[IPV6]:PORT". The host stays text: it may be a name to look up.
bool parseHostPort(const QString &text, QString *host, quint16 *port, QString *error);
// Whether `text` may name a host: a numeric address, or a name made of letters, digits, dots
// and hyphens. Text of digits and dots only must be a valid IPv4 address.
bool isPlausibleHost(const QString &text);
// An IPv4 address that reaches every host of a network: the limited broadcast address or the
// broadcast address of one of `interfaces`.
bool isBroadcastAddress(const QHostAddress &address,
                        const QList<QNetworkAddressEntry> &interfaces);

} // namespace Feed
