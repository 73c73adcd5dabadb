#include "dialogs/distributionsettings.h"

#include "comm/udprules.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

namespace {

QString tr(const char *text, const char *disambiguation = nullptr, int n = -1)
{
    return QCoreApplication::translate("CCommDialog", text, disambiguation, n);
}

} // namespace

DistributionSettings DistributionSettings::read(QSettings &settings)
{
    const bool anythingStored = !settings.allKeys().isEmpty();
    DistributionSettings d;
    settings.beginGroup(QStringLiteral("distribution"));
    d.mode = Distribution::storedMode(anythingStored, settings.value(QStringLiteral("mode")));
    if (settings.contains(QStringLiteral("group")))
        d.group = settings.value(QStringLiteral("group")).toString();
    d.ttl = Distribution::storedTtl(settings.value(QStringLiteral("ttl")));
    d.unicast = settings.value(QStringLiteral("unicast")).toString();
    d.backupHost = settings.value(QStringLiteral("backup_host")).toString();
    settings.endGroup();
    return d;
}

void DistributionSettings::write(QSettings &settings) const
{
    settings.beginGroup(QStringLiteral("distribution"));
    settings.setValue(QStringLiteral("mode"), Distribution::modeText(mode));
    settings.setValue(QStringLiteral("group"), group);
    settings.setValue(QStringLiteral("ttl"), ttl);
    settings.setValue(QStringLiteral("unicast"), unicast);
    settings.setValue(QStringLiteral("backup_host"), backupHost);
    settings.endGroup();
}

QString DistributionSettings::forwardingSummary(const comm_st &comm) const
{
    using Distribution::Mode;
    if (!comm.is_server) {
        return comm.use_udp ? tr("Does not forward: a client takes its frames from its server.")
                            : tr("Does not forward: serial only.");
    }
    const quint16 port = portFromText(comm.server_port);
    const QString lead = comm.use_udp
        ? tr("Forwards every serial frame")
        : tr("Forwards every serial frame (UDP is off, the server role kept)");
    if (port == 0)
        return tr("Forwards nothing: the server has no port.");
    const QString from = hostFromText(comm.server_host).isNull()
        ? tr("an interface the system picks")
        : comm.server_host;
    QStringList where;
    if (mode == Mode::Broadcast || mode == Mode::Both)
        where << tr("broadcast to 255.255.255.255:%1").arg(port);
    if (mode == Mode::Multicast || mode == Mode::Both) {
        const QHostAddress address = Distribution::groupFromText(group);
        if (address.isNull())
            where << tr("to no group (\"%1\" is not a multicast group)").arg(group);
        else
            where << tr("to group %1:%2 with TTL %3").arg(address.toString()).arg(port).arg(ttl);
    }
    if (mode == Mode::Unicast) {
        const Distribution::TargetList list = Distribution::unicastTargetsFromText(unicast, port);
        if (!list.error.isEmpty())
            where << tr("to nobody (unicast list: %1)").arg(list.error);
        else if (list.targets.isEmpty())
            where << tr("to nobody (the unicast list is empty)");
        else
            where << tr("to %n host(s) by unicast", nullptr, list.targets.size());
    }
    return tr("%1: %2, from %3.").arg(lead, where.join(tr(" and ")), from);
}
