#include "app/mainwindow.h"
#include "comm/distributionrules.h"
#include "comm/levelframe.h"
#include "comm/udprules.h"
#include "onair/onairstatus.h"

#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <netinet/in.h>
#include <sys/socket.h>

// Each switch between the main and the backup server, each fresh join, for the journal.
Q_LOGGING_CATEGORY(lcDistribution, "orvane.distribution", QtInfoMsg)

namespace {

using Distribution::Mode;

bool sendsToGroup(Mode mode)
{
    return mode == Mode::Multicast || mode == Mode::Both;
}

bool canCarryGroup(const QNetworkInterface &interface)
{
    const QNetworkInterface::InterfaceFlags flags = interface.flags();
    return (flags & QNetworkInterface::IsUp) && (flags & QNetworkInterface::IsRunning)
        && (flags & QNetworkInterface::CanMulticast) && !(flags & QNetworkInterface::IsLoopBack);
}

// The interface that owns `address`, or an invalid one.
QNetworkInterface interfaceOwning(const QHostAddress &address)
{
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
                return interface;
        }
    }
    return QNetworkInterface();
}

// Where a client joins its group: on the interfaces whose network holds its server or its
// backup; when neither lies on a network of this host (multicast routing brings the group),
// on every interface that is up and can multicast. A server on loopback, or none, needs no
// join at all: nothing of the group could come from it.
QList<QNetworkInterface> interfacesFacing(const Distribution::Listen &listen)
{
    QList<QNetworkInterface> facing, all;
    bool anyServer = false;
    for (const QHostAddress &server : { listen.server, listen.backup }) {
        if (server.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (server.isLoopback())
            return {};
        anyServer = true;
    }
    if (!anyServer)
        return {};
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (!canCarryGroup(interface))
            continue;
        all.append(interface);
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            const QPair<QHostAddress, int> subnet(entry.ip(), entry.prefixLength());
            if (listen.server.isInSubnet(subnet) || listen.backup.isInSubnet(subnet)) {
                facing.append(interface);
                break;
            }
        }
    }
    return facing.isEmpty() ? all : facing;
}

// Why frames cannot leave for a group on `interface`; empty when they can.
QString groupProblem(const QNetworkInterface &interface, const QString &address)
{
    if (!interface.isValid())
        return MainWindow::tr("no interface has %1").arg(address);
    const QNetworkInterface::InterfaceFlags flags = interface.flags();
    if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning))
        return MainWindow::tr("%1 is down").arg(interface.humanReadableName());
    if (!(flags & QNetworkInterface::CanMulticast))
        return MainWindow::tr("%1 cannot multicast").arg(interface.humanReadableName());
    return QString();
}

} // namespace

qint64 MainWindow::distributionNow() const
{
    return distributionClock.elapsed();
}

void MainWindow::setupDistribution()
{
    if (!distributionClock.isValid())
        distributionClock.start();
    joinedInterfaces.clear();
    setDistributionProblem(QString());
    backupSwitch.reset();
    followedSource = Distribution::Source::Main;
    lastGroupDatagramMs = -1;
    onAir->setServerExpected(false);
    onAir->setFollowingBackup(false);
    onAir->setLinkNote(QString());
    if (commSettings.is_server)
        prepareSender();
    else if (commSettings.use_udp)
        prepareListener();
}

void MainWindow::prepareSender()
{
    // A server that keeps its role while UDP is off sends from the socket it holds; bound, it
    // takes the options below and the operator's interface.
    if (udpSocket->state() == QAbstractSocket::UnconnectedState) {
        const QHostAddress own = hostFromText(commSettings.server_host);
        udpSocket->bind(own.protocol() == QAbstractSocket::IPv4Protocol
                            ? own
                            : QHostAddress(QHostAddress::AnyIPv4),
                        0);
    }
    const Mode mode = distributionSettings.mode;
    if (mode == Mode::Unicast) {
        const Distribution::TargetList list = Distribution::unicastTargetsFromText(
            distributionSettings.unicast, portFromText(commSettings.server_port));
        if (!list.error.isEmpty())
            setDistributionProblem(tr("unicast list: %1").arg(list.error));
        else if (list.targets.isEmpty())
            setDistributionProblem(tr("unicast list empty"));
        return;
    }
    if (!sendsToGroup(mode))
        return;
    if (Distribution::groupFromText(distributionSettings.group).isNull()) {
        setDistributionProblem(
            tr("group %1 is no multicast group").arg(distributionSettings.group));
        return;
    }
    // Never where the default route points: the operator chose the interface.
    const QNetworkInterface interface = interfaceOwning(hostFromText(commSettings.server_host));
    setDistributionProblem(groupProblem(interface, commSettings.server_host));
    if (interface.isValid())
        udpSocket->setMulticastInterface(interface);
    udpSocket->setSocketOption(QAbstractSocket::MulticastTtlOption, distributionSettings.ttl);
}

void MainWindow::prepareListener()
{
    listening = Distribution::Listen();
    listening.mode = distributionSettings.mode;
    listening.server = hostFromText(commSettings.client_host);
    listening.backup = hostFromText(distributionSettings.backupHost);
    backupSwitch.setStaleMs(DisplaySettings::milliseconds(displaySettings.staleSeconds));
    onAir->setServerExpected(true);
    if (sendsToGroup(listening.mode))
        listening.group = Distribution::groupFromText(distributionSettings.group);
}

void MainWindow::joinGroup()
{
    joinedInterfaces.clear();
    if (listening.group.isNull() || udpSocket->state() != QAbstractSocket::BoundState)
        return;
#ifdef IP_MULTICAST_ALL
    // Otherwise Linux hands this socket every group's datagrams on the port that any program
    // of the machine joined.
    const int off = 0;
    setsockopt(int(udpSocket->socketDescriptor()), IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
#endif
    for (const QNetworkInterface &interface : interfacesFacing(listening)) {
        if (udpSocket->joinMulticastGroup(listening.group, interface))
            joinedInterfaces.append(interface.name());
    }
    // Said only where a join was due: a server on loopback, or none, needs none.
    const bool loopbackServer = listening.server.protocol() != QAbstractSocket::IPv4Protocol
        || listening.server.isLoopback() || listening.backup.isLoopback();
    setDistributionProblem(joinedInterfaces.isEmpty() && !loopbackServer
                               ? tr("no interface can multicast")
                               : QString());
    rejoin.joined(distributionNow());
}

void MainWindow::rejoinGroupIfDue()
{
    if (listening.group.isNull() || joinedInterfaces.isEmpty())
        return;
    const qint64 now = distributionNow();
    const qint64 silent = now - qMax<qint64>(lastGroupDatagramMs, 0);
    bool up = false;
    for (const QString &name : qAsConst(joinedInterfaces))
        up = up || canCarryGroup(QNetworkInterface::interfaceFromName(name));
    if (!rejoin.due(now, silent, up))
        return;
    for (const QString &name : qAsConst(joinedInterfaces))
        udpSocket->leaveMulticastGroup(listening.group,
                                       QNetworkInterface::interfaceFromName(name));
    rejoin.counted();
    qCInfo(lcDistribution, "multicast: no data for %lld s, joining %s again", silent / 1000,
           qPrintable(listening.group.toString()));
    joinGroup();
    onAir->setLinkNote(
        tr("multicast: no data since join, check the IGMP querier (joined again %n time(s))",
           nullptr, rejoin.rejoins()));
}

void MainWindow::forwardFrame(const unsigned char *frame)
{
    sendToPlant(QByteArray::fromRawData(reinterpret_cast<const char *>(frame), LevelFrame::Size));
}

void MainWindow::sendHeartbeat()
{
    const LinkWatch::State state = onAir->state();
    sendToPlant(Distribution::Heartbeat::make(
        state == LinkWatch::Live         ? Distribution::Heartbeat::Live
            : state == LinkWatch::NoData ? Distribution::Heartbeat::NoData
                                         : Distribution::Heartbeat::NoLink));
}

void MainWindow::sendToPlant(const QByteArray &datagram)
{
    // A text that names no port sends nothing: port 0 would only fail.
    const quint16 port = portFromText(commSettings.server_port);
    if (!udpSocket || !commSettings.is_server || port == 0)
        return;
    const Mode mode = distributionSettings.mode;
    if (mode == Mode::Broadcast || mode == Mode::Both)
        udpSocket->writeDatagram(datagram, QHostAddress(QHostAddress::Broadcast), port);
    if (sendsToGroup(mode)) {
        const QHostAddress group = Distribution::groupFromText(distributionSettings.group);
        if (!group.isNull())
            udpSocket->writeDatagram(datagram, group, port);
    }
    if (mode == Mode::Unicast) {
        const Distribution::TargetList list
            = Distribution::unicastTargetsFromText(distributionSettings.unicast, port);
        for (const Distribution::Target &target : list.targets)
            udpSocket->writeDatagram(datagram, target.host, target.port);
    }
}

bool MainWindow::takeDatagram(const QNetworkDatagram &datagram)
{
    const Distribution::Source source
        = Distribution::sourceOf(listening, datagram.senderAddress());
    if (source == Distribution::Source::None)
        return false;
    const qint64 now = distributionNow();
    const QHostAddress destination = datagram.destinationAddress();
    const qint64 groupSilent = lastGroupDatagramMs < 0 ? now + 1 : now - lastGroupDatagramMs;
    if (!Distribution::acceptsDestination(
            listening, destination, groupSilent,
            DisplaySettings::milliseconds(displaySettings.staleSeconds)))
        return false;
    if (destination.isMulticast())
        lastGroupDatagramMs = now;

    const QByteArray payload = datagram.data();
    Distribution::Heartbeat::ServerLink serverLink;
    if (Distribution::Heartbeat::read(payload.constData(), payload.size(), &serverLink)) {
        if (source == Distribution::Source::Main || listening.backup.isNull()
            || backupSwitch.following(now) == source)
            onAir->serverHeard();
        return true;
    }
    if (payload.size() != LevelFrame::Size)
        return false;
    const bool use = listening.backup.isNull() ? source == Distribution::Source::Main
                                               : backupSwitch.frame(source, now);
    // The rule may switch on a frame or on the time alone: what counts is a change from what
    // was last said.
    const Distribution::Source followed = backupSwitch.following(now);
    if (!listening.backup.isNull() && followed != followedSource) {
        followedSource = followed;
        const bool toBackup = followed == Distribution::Source::Backup;
        qCInfo(lcDistribution, "following the %s server %s", toBackup ? "backup" : "main",
               qPrintable((toBackup ? listening.backup : listening.server).toString()));
        onAir->setFollowingBackup(toBackup);
    }
    if (use) {
        unsigned char frame[LevelFrame::Size];
        std::copy(payload.constBegin(), payload.constEnd(), frame);
        updateMeters(frame);
    }
    return true;
}

void MainWindow::setDistributionProblem(const QString &text)
{
    setProblem(distributionProblem, text);
}
