#include "comm/distributionrules.h"

#include "comm/udprules.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace Distribution {

namespace {

const char *const ModeWords[] = { "broadcast", "multicast", "both", "unicast" };
const char HeartbeatTag[4] = { 'O', 'R', 'V', 'H' };
constexpr char HeartbeatVersion = 1;

bool isGroup(const QHostAddress &address)
{
    return address.protocol() == QAbstractSocket::IPv4Protocol && address.isMulticast();
}

} // namespace

QString modeText(Mode mode)
{
    return QString::fromLatin1(ModeWords[static_cast<int>(mode)]);
}

bool modeFromText(const QString &text, Mode *mode)
{
    for (int i = 0; i < 4; ++i) {
        if (text == QLatin1String(ModeWords[i])) {
            *mode = static_cast<Mode>(i);
            return true;
        }
    }
    return false;
}

Mode storedMode(bool anythingStored, const QVariant &stored)
{
    Mode mode = Mode::Multicast;
    if (stored.isValid() && modeFromText(stored.toString().trimmed(), &mode))
        return mode;
    return anythingStored ? Mode::Broadcast : Mode::Multicast;
}

int storedTtl(const QVariant &stored)
{
    const QString text = stored.toString().trimmed();
    bool ok = false;
    const int ttl = text.toInt(&ok, 10);
    return ok && ttl >= MinTtl && ttl <= MaxTtl ? ttl : DefaultTtl;
}

QHostAddress groupFromText(const QString &text)
{
    const QHostAddress address = hostFromText(text.trimmed());
    if (!isGroup(address) || (address.toIPv4Address() >> 8) == (224u << 16))
        return QHostAddress();
    return address;
}

TargetList unicastTargetsFromText(const QString &text, quint16 defaultPort)
{
    TargetList list;
    if (text.trimmed().isEmpty())
        return list;
    const QStringList entries = text.split(QLatin1Char(','));
    if (entries.size() > MaxUnicastTargets) {
        list.error
            = QObject::tr("%1 hosts; at most %2").arg(entries.size()).arg(MaxUnicastTargets);
        return list;
    }
    for (const QString &raw : entries) {
        const QString entry = raw.trimmed();
        Target target;
        const int colon = entry.indexOf(QLatin1Char(':'));
        target.host = hostFromText(colon < 0 ? entry : entry.left(colon));
        target.port = colon < 0 ? defaultPort : portFromText(entry.mid(colon + 1));
        if (entry.isEmpty())
            list.error = QObject::tr("an empty entry");
        else if (target.host.protocol() != QAbstractSocket::IPv4Protocol)
            list.error = QObject::tr("\"%1\": not a numeric IPv4 address").arg(entry);
        else if (target.host.isMulticast() || target.host == QHostAddress(QHostAddress::Broadcast))
            list.error = QObject::tr("\"%1\": not one host").arg(entry);
        else if (target.port == 0)
            list.error = QObject::tr("\"%1\": no port").arg(entry);
        else if (list.targets.contains(target))
            list.error = QObject::tr("\"%1\": listed twice").arg(entry);
        if (!list.error.isEmpty()) {
            list.targets.clear();
            return list;
        }
        list.targets.append(target);
    }
    return list;
}

Source sourceOf(const Listen &listen, const QHostAddress &sender)
{
    if (!listen.server.isNull()
        && sender.isEqual(listen.server, QHostAddress::ConvertV4MappedToIPv4))
        return Source::Main;
    if (!listen.backup.isNull()
        && sender.isEqual(listen.backup, QHostAddress::ConvertV4MappedToIPv4))
        return Source::Backup;
    return Source::None;
}

bool acceptsDestination(const Listen &listen, const QHostAddress &destination,
                        qint64 groupSilentMs, qint64 staleMs)
{
    const bool listensToGroup
        = !listen.group.isNull() && (listen.mode == Mode::Multicast || listen.mode == Mode::Both);
    if (destination.isMulticast())
        return listensToGroup
            && destination.isEqual(listen.group, QHostAddress::ConvertV4MappedToIPv4);
    if (!destination.isEqual(QHostAddress(QHostAddress::Broadcast),
                             QHostAddress::ConvertV4MappedToIPv4))
        return true;
    if (!listensToGroup)
        return true;
    return listen.mode == Mode::Both && groupSilentMs >= staleMs;
}

void Rejoin::joined(qint64 nowMs)
{
    lastJoin = nowMs;
    everJoined = true;
}

bool Rejoin::due(qint64 nowMs, qint64 silentMs, bool interfaceUp) const
{
    return everJoined && interfaceUp && silentMs >= SilenceMs && nowMs - lastJoin >= IntervalMs;
}

bool BackupSwitch::frame(Source source, qint64 nowMs)
{
    // Frames after a time when neither server was live: the console itself was quiet, or the
    // client just started.
    if (source != Source::None && !live(lastMain, anyMain, nowMs)
        && !live(lastBackup, anyBackup, nowMs))
        resumedAt = nowMs;
    if (source == Source::Main) {
        if (!live(lastMain, anyMain, nowMs))
            mainLiveSince = nowMs;
        lastMain = nowMs;
        anyMain = true;
    } else if (source == Source::Backup) {
        lastBackup = nowMs;
        anyBackup = true;
    } else {
        return false;
    }
    update(nowMs);
    return source == followed;
}

Source BackupSwitch::following(qint64 nowMs)
{
    update(nowMs);
    return followed;
}

void BackupSwitch::reset()
{
    const qint64 keep = stale;
    *this = BackupSwitch();
    stale = keep;
}

void BackupSwitch::update(qint64 nowMs)
{
    if (resumedAt < 0)
        return;
    // When frames come again after both servers were quiet, the main gets the stale time as if
    // it had just sent: a client that hears the backup first must not settle on it for 10 s.
    const bool mainPending = (!anyMain || lastMain < resumedAt) && nowMs - resumedAt < stale;
    const bool mainLive = live(lastMain, anyMain, nowMs) || mainPending;
    if (followed == Source::Main) {
        if (!mainLive && live(lastBackup, anyBackup, nowMs))
            followed = Source::Backup;
    } else if (mainLive && nowMs - mainLiveSince >= ReturnAfterMs) {
        followed = Source::Main;
    } else if (!live(lastBackup, anyBackup, nowMs) && mainLive) {
        // The backup went too: the main is all there is.
        followed = Source::Main;
    }
}

namespace Heartbeat {

QByteArray make(ServerLink link)
{
    QByteArray data(Size, '\0');
    std::copy(HeartbeatTag, HeartbeatTag + 4, data.begin());
    data[4] = HeartbeatVersion;
    data[5] = link;
    return data;
}

bool read(const char *data, qint64 size, ServerLink *link)
{
    if (size != Size || !std::equal(HeartbeatTag, HeartbeatTag + 4, data) || data[4] < 1
        || data[5] < Live || data[5] > NoLink)
        return false;
    *link = static_cast<ServerLink>(data[5]);
    return true;
}

} // namespace Heartbeat

} // namespace Distribution
