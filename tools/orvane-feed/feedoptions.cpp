#include "feedoptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

namespace Feed {

namespace {

struct OptionDoc
{
    QStringList names;
    QString valueName;
    QString description;
};

const QList<OptionDoc> &sendOptionDocs()
{
    static const QList<OptionDoc> docs = {
        { { "serial" },
          "DEVICE",
          "Send to this serial port (115200 baud, 8N1), e.g. /dev/ttyUSB0. The user needs "
          "read and write access to it (on Debian: membership of the dialout group)." },
        { { "udp" },
          "HOST:PORT",
          "Send one datagram per frame to this host and port, e.g. 127.0.0.1:7000 or "
          "[::1]:7000. A display in the UDP client role takes frames only from the address "
          "in its client host setting, so send from that address (see --source)." },
        { { "broadcast" },
          "",
          "Allow --udp to name a broadcast address (255.255.255.255 or a network's broadcast "
          "address): every display on that network gets the frames. Without this flag such "
          "an address is refused." },
        { { "source" },
          "ADDRESS",
          "Send UDP from this local address, as a server display sends from its interface." },
        { { "rate" },
          "FRAMES",
          "Frames a second, 0.1 to 1000 (default 50). A serial line carries at most 720." },
        { { "duration" }, "TIME", "Stop after this time (e.g. 10s, 500ms, 2m)." },
        { { "count" },
          "N",
          "Stop after N frames. With neither --duration nor --count it sends until stopped "
          "(Ctrl+C)." },
        { { "channel" },
          "CHANNELS=SIGNAL",
          "The signal of one or more meters (see Signals); may be given several times, a "
          "later one wins. Meters without one get programme:mix." },
        { { "seed" },
          "N",
          "Seed of the programme envelopes (default 1): the same seed plays the same "
          "programme." },
        { { "every" },
          "N",
          "Print every Nth frame sent, decoded as the monitor prints it (default 0: none)." },
        { { "q", "quiet" }, "", "Print no summary at the end." },
        { { "h", "help" }, "", "Show this help and exit." },
        { { "V", "version" }, "", "Show the version and exit." },
    };
    return docs;
}

const QList<OptionDoc> &monitorOptionDocs()
{
    static const QList<OptionDoc> docs = {
        { { "serial" },
          "DEVICE",
          "Read this serial port (115200 baud, 8N1) and find the frames in the byte stream "
          "as a display does." },
        { { "udp-listen" },
          "PORT",
          "Listen on this UDP port on all local addresses, as a client display does: on the "
          "server display's server port, the monitor shows what the server forwards." },
        { { "from" },
          "HOST",
          "Decode only datagrams from this host, as a client display with this client host "
          "does; the others are counted." },
        { { "every" },
          "N",
          "Print one line per N frames (default 1; 0 prints only the summary)." },
        { { "duration" }, "TIME", "Stop after this time (e.g. 30s, 2m)." },
        { { "count" },
          "N",
          "Stop after N frames. With neither it runs until stopped (Ctrl+C), then prints the "
          "summary." },
        { { "q", "quiet" }, "", "Print no header and no summary, only the frame lines." },
        { { "h", "help" }, "", "Show this help and exit." },
    };
    return docs;
}

QList<QCommandLineOption> optionsOf(const QList<OptionDoc> &docs)
{
    QList<QCommandLineOption> options;
    for (const OptionDoc &doc : docs)
        options.append(QCommandLineOption(doc.names, doc.description, doc.valueName));
    return options;
}

// Help lines of at most 99 columns: names on the left, the description wrapped beside them.
QString formatOptions(const QList<OptionDoc> &docs)
{
    constexpr int Indent = 26;
    constexpr int Width = 99;
    QString text;
    for (const OptionDoc &doc : docs) {
        QStringList names;
        for (const QString &name : doc.names)
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!doc.valueName.isEmpty())
            left += QLatin1Char(' ') + doc.valueName;
        QString line;
        if (left.size() < Indent - 1) {
            line = left.leftJustified(Indent);
        } else {
            text += left + QLatin1Char('\n');
            line = QString(Indent, QLatin1Char(' '));
        }
        bool empty = true;
        for (const QString &word : doc.description.split(QLatin1Char(' '))) {
            if (!empty && line.size() + 1 + word.size() > Width) {
                text += line + QLatin1Char('\n');
                line = QString(Indent, QLatin1Char(' '));
                empty = true;
            }
            if (!empty)
                line += QLatin1Char(' ');
            line += word;
            empty = false;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

bool fail(Command *command, const QString &message)
{
    command->kind = Command::Error;
    command->message = message;
    return false;
}

bool parseCount(const QString &text, const QString &option, qint64 *count, Command *command)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 1)
        return fail(
            command,
            QStringLiteral("--%1 '%2': give a whole number of 1 or more").arg(option, text));
    *count = value;
    return true;
}

bool parseEvery(const QString &text, int *every, Command *command)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0)
        return fail(command,
                    QStringLiteral("--every '%1': give a whole number of 0 or more").arg(text));
    *every = value;
    return true;
}

bool parsePort(const QString &text, quint16 *port, QString *error)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value < 1 || value > 65535) {
        *error = QStringLiteral("port '%1': give a number from 1 to 65535").arg(text);
        return false;
    }
    *port = quint16(value);
    return true;
}

bool parseBounds(const QCommandLineParser &parser, qint64 *count, double *duration,
                 Command *command)
{
    if (parser.isSet(QStringLiteral("count"))
        && !parseCount(parser.value(QStringLiteral("count")), QStringLiteral("count"), count,
                       command))
        return false;
    if (parser.isSet(QStringLiteral("duration"))) {
        QString error;
        const std::optional<double> seconds
            = parseTime(parser.value(QStringLiteral("duration")), &error);
        if (!seconds)
            return fail(command, QStringLiteral("--duration: ") + error);
        *duration = *seconds;
    }
    return true;
}

bool parseSend(const QStringList &arguments, Command *command)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(optionsOf(sendOptionDocs()));
    if (!parser.parse(arguments))
        return fail(command, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        command->kind = Command::Help;
        return true;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        command->kind = Command::Version;
        return true;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            command,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    SendOptions &send = command->send;
    const bool serial = parser.isSet(QStringLiteral("serial"));
    const bool udp = parser.isSet(QStringLiteral("udp"));
    if (serial && udp)
        return fail(command, QStringLiteral("send either to --serial or to --udp, not both"));
    if (!serial && !udp)
        return fail(command,
                    QStringLiteral("say where to send: --serial DEVICE or --udp "
                                   "HOST:PORT"));
    if (serial) {
        send.serialDevice = parser.value(QStringLiteral("serial"));
        if (send.serialDevice.isEmpty())
            return fail(command, QStringLiteral("--serial needs a device, e.g. /dev/ttyUSB0"));
    } else {
        QString error;
        if (!parseHostPort(parser.value(QStringLiteral("udp")), &send.host, &send.port, &error))
            return fail(command, QStringLiteral("--udp: ") + error);
    }
    send.broadcast = parser.isSet(QStringLiteral("broadcast"));
    if (send.broadcast && !udp)
        return fail(command, QStringLiteral("--broadcast goes with --udp"));
    if (parser.isSet(QStringLiteral("source"))) {
        if (!udp)
            return fail(command, QStringLiteral("--source goes with --udp"));
        send.source = parser.value(QStringLiteral("source"));
        if (QHostAddress(send.source).isNull())
            return fail(
                command,
                QStringLiteral("--source '%1': give a numeric local address").arg(send.source));
    }

    if (parser.isSet(QStringLiteral("rate"))) {
        const QString text = parser.value(QStringLiteral("rate"));
        bool ok = false;
        send.rate = text.toDouble(&ok);
        if (!ok || !(send.rate >= 0.1 && send.rate <= MaxRate))
            return fail(command,
                        QStringLiteral("--rate '%1': give 0.1 to %2 frames a second")
                            .arg(text)
                            .arg(MaxRate));
    }
    if (serial && send.rate > MaxSerialRate)
        return fail(command,
                    QStringLiteral("--rate %1: a serial line at 115200 baud carries at "
                                   "most %2 frames a second")
                        .arg(send.rate)
                        .arg(MaxSerialRate));
    if (!parseBounds(parser, &send.count, &send.duration, command))
        return false;

    SignalPlan programme;
    programme.shape = Shape::Programme;
    send.channels.fill(programme);
    for (const QString &assignment : parser.values(QStringLiteral("channel"))) {
        QVector<int> channels;
        SignalPlan plan;
        QString error;
        if (!parseChannelAssignment(assignment, &channels, &plan, &error))
            return fail(command, QStringLiteral("--channel: ") + error);
        for (int channel : channels)
            send.channels[size_t(channel)] = plan;
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        send.seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok)
            return fail(command,
                        QStringLiteral("--seed '%1': give a whole number from 0 to "
                                       "4294967295")
                            .arg(parser.value(QStringLiteral("seed"))));
    }
    if (parser.isSet(QStringLiteral("every"))
        && !parseEvery(parser.value(QStringLiteral("every")), &send.every, command))
        return false;
    send.quiet = parser.isSet(QStringLiteral("quiet"));
    command->kind = Command::Send;
    return true;
}

bool parseMonitor(const QStringList &arguments, Command *command)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(optionsOf(monitorOptionDocs()));
    if (!parser.parse(arguments))
        return fail(command, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        command->kind = Command::Help;
        return true;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            command,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    MonitorOptions &monitor = command->monitor;
    const bool serial = parser.isSet(QStringLiteral("serial"));
    const bool udp = parser.isSet(QStringLiteral("udp-listen"));
    if (serial && udp)
        return fail(command, QStringLiteral("monitor either --serial or --udp-listen, not both"));
    if (!serial && !udp)
        return fail(command,
                    QStringLiteral("say what to monitor: --serial DEVICE or "
                                   "--udp-listen PORT"));
    if (serial) {
        monitor.serialDevice = parser.value(QStringLiteral("serial"));
        if (monitor.serialDevice.isEmpty())
            return fail(command, QStringLiteral("--serial needs a device, e.g. /dev/ttyUSB0"));
    } else {
        QString error;
        if (!parsePort(parser.value(QStringLiteral("udp-listen")), &monitor.listenPort, &error))
            return fail(command, QStringLiteral("--udp-listen: ") + error);
    }
    if (parser.isSet(QStringLiteral("from"))) {
        if (!udp)
            return fail(command, QStringLiteral("--from goes with --udp-listen"));
        monitor.from = parser.value(QStringLiteral("from")).trimmed();
        if (!isPlausibleHost(monitor.from))
            return fail(command, QStringLiteral("--from '%1' is not a host").arg(monitor.from));
    }
    if (parser.isSet(QStringLiteral("every"))
        && !parseEvery(parser.value(QStringLiteral("every")), &monitor.every, command))
        return false;
    if (!parseBounds(parser, &monitor.count, &monitor.duration, command))
        return false;
    monitor.quiet = parser.isSet(QStringLiteral("quiet"));
    command->kind = Command::Monitor;
    return true;
}

} // namespace

bool isPlausibleHost(const QString &text)
{
    if (text.isEmpty())
        return false;
    if (!QHostAddress(text).isNull())
        return true;
    // Digits and dots that make no address (300.1.2.3, 10.1) are a mistake, not a name: do
    // not let them reach a name server.
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    if (numeric.match(text).hasMatch())
        return false;
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?"
                       "(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*\\.?$"));
    return text.size() <= 253 && name.match(text).hasMatch();
}

bool parseHostPort(const QString &text, QString *host, quint16 *port, QString *error)
{
    const QString trimmed = text.trimmed();
    QString hostText;
    QString portText;
    if (trimmed.startsWith(QLatin1Char('['))) {
        const int close = trimmed.indexOf(QStringLiteral("]:"));
        if (close < 0) {
            *error = QStringLiteral("'%1': write [ADDRESS]:PORT for IPv6").arg(text);
            return false;
        }
        hostText = trimmed.mid(1, close - 1);
        portText = trimmed.mid(close + 2);
        if (QHostAddress(hostText).protocol() != QAbstractSocket::IPv6Protocol) {
            *error = QStringLiteral("'%1' is not an IPv6 address").arg(hostText);
            return false;
        }
    } else {
        const int colon = trimmed.lastIndexOf(QLatin1Char(':'));
        if (colon < 0 || trimmed.indexOf(QLatin1Char(':')) != colon) {
            *error = QStringLiteral("'%1': write HOST:PORT, as in 127.0.0.1:7000").arg(text);
            return false;
        }
        hostText = trimmed.left(colon);
        portText = trimmed.mid(colon + 1);
        if (!isPlausibleHost(hostText)) {
            *error = QStringLiteral("'%1' is not a host").arg(hostText);
            return false;
        }
    }
    if (!parsePort(portText, port, error))
        return false;
    *host = hostText;
    return true;
}

bool isBroadcastAddress(const QHostAddress &address, const QList<QNetworkAddressEntry> &interfaces)
{
    if (address.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    if (address == QHostAddress(QHostAddress::Broadcast))
        return true;
    for (const QNetworkAddressEntry &entry : interfaces) {
        if (!entry.broadcast().isNull() && entry.broadcast() == address)
            return true;
    }
    return false;
}

Command parseCommandLine(const QStringList &arguments)
{
    Command command;
    QStringList rest = arguments;
    if (rest.isEmpty())
        rest << QStringLiteral("orvane-feed");
    const QString mode = rest.size() > 1 ? rest.at(1) : QString();
    if (mode == QLatin1String("monitor")) {
        rest.removeAt(1);
        parseMonitor(rest, &command);
    } else {
        if (mode == QLatin1String("send"))
            rest.removeAt(1);
        parseSend(rest, &command);
    }
    if (command.kind == Command::Help)
        command.message = helpText();
    return command;
}

QString helpText()
{
    QString text = QStringLiteral(
        "Usage: orvane-feed [send] (--serial DEVICE | --udp HOST:PORT) [options]\n"
        "       orvane-feed monitor (--serial DEVICE | --udp-listen PORT) [options]\n"
        "\n"
        "A stand-in console for Orvane Meters, and a monitor of the console's line.\n"
        "\n"
        "send (the default) plays the mixing console: it sends level frames to a meter\n"
        "bridge's serial port or to a display's UDP port at a steady rate, with a signal of\n"
        "your choice on each of the six meters. monitor is a diagnostic for installers: it\n"
        "reads a serial port or listens on a UDP port and prints each level frame it finds\n"
        "(six levels in dB), the sender, the frames a second and the bytes that were no frame.\n"
        "\n"
        "Send options:\n");
    text += formatOptions(sendOptionDocs());
    text += QStringLiteral("\nMonitor options:\n");
    text += formatOptions(monitorOptionDocs());
    text += QStringLiteral(
        "\n"
        "Channels (before the '=' of --channel):\n"
        "  1 to 6 in the order of the meters: 1 programme left, 2 programme right, 3 sub left,\n"
        "  4 sub right, 5 control room left, 6 control room right. Lists and ranges (1,3 or\n"
        "  2-4), the pairs prog (1,2), sub (3,4) and crm (5,6), or all.\n"
        "\n"
        "Signals (after the '='; levels in dB from -50 to +15.535, a \"dB\" suffix is allowed;\n"
        "times as 2s, 500ms, 1.5 (seconds) or 2m):\n"
        "  LEVEL or const:LEVEL            a constant level, e.g. -20 or const:-20dB\n"
        "  ramp:FROM:TO:TIME               from FROM to TO in TIME, then again from FROM\n"
        "  sine:LOW:HIGH:TIME              a sine sweep from LOW up to HIGH and back in TIME\n"
        "  steps:L1,L2,...:TIME            each level held for TIME, in turn, round and round\n"
        "  programme[:STYLE][:PEAK]        a programme-like envelope that peaks at PEAK\n"
        "                                  (default -2): STYLE speech (syllables in phrases,\n"
        "                                  short pauses), music (a moving body with beats, a\n"
        "                                  silence between songs) or mix (talk and music taking\n"
        "                                  turns, the default). prog and program work too.\n"
        "  The two meters of a pair with the same programme move together, as the two sides\n"
        "  of a stereo mix do.\n"
        "\n"
        "Level frame (what is sent and decoded): 16 bytes, AA AA, six big-endian 16-bit raw\n"
        "levels in meter order, 55 55; raw = (dB + 50) x 1000, so 0 is -50 dB, 50000 is 0 dB\n"
        "and 65535 is +15.535 dB. On a serial line the frames follow one another; over UDP\n"
        "each datagram holds one frame.\n"
        "\n"
        "Monitor output: a header, then one line per frame: seconds since the start, the\n"
        "sender (serial port, or address:port), the six levels in dB and the frames a second\n"
        "over the last second. Datagrams that are no frame and frames without their markers\n"
        "are marked. The summary at the end counts frames, the average rate, malformed bytes\n"
        "and datagrams, and datagrams from other senders.\n"
        "\n"
        "Examples:\n"
        "  orvane-feed --serial /dev/ttyUSB0\n"
        "      programme-like levels on all six meters at 50 frames a second, until Ctrl+C\n"
        "  orvane-feed --udp 127.0.0.1:7000 --channel all=sine:-40:0:4s --duration 30s\n"
        "  orvane-feed --serial /dev/ttyUSB0 --channel prog=-18 --channel sub=steps:-40,-20,0:1s\n"
        "      --channel crm=programme:speech:-6 --count 500\n"
        "  orvane-feed --udp 192.168.1.255:7000 --broadcast --source 192.168.1.20\n"
        "      stands in for a server display: every client display on 192.168.1.0/24 whose\n"
        "      client host is 192.168.1.20 follows\n"
        "  orvane-feed monitor --serial /dev/ttyUSB0 --every 50\n"
        "      one line a second from the console's line\n"
        "  orvane-feed monitor --udp-listen 7000 --from 192.168.1.20 --duration 10s\n"
        "      what a server display forwards, as a client display would take it\n"
        "\n"
        "Exit status: 0 when done (also when stopped with Ctrl+C), 1 when a port, host or\n"
        "socket cannot be used or the line fails, 2 for a command line that does not make\n"
        "sense.\n");
    return text;
}

} // namespace Feed
