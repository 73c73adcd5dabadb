#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QVector>
#include <QtGlobal>

class QVariant;

// How a server display sends its frames on, and how a client picks its frames out of what
// arrives. Pure rules: no sockets, no clock of their own (times are monotonic milliseconds
// passed in).
namespace Distribution {

enum class Mode {
    // To 255.255.255.255, as displays always did: stops at the first router, wakes every host.
    Broadcast,
    // To one group that only the displays join; what a managed AoIP network expects.
    Multicast,
    // Both at once, while a plant moves over: old clients take the broadcast, new ones the group.
    Both,
    // To a list of hosts, for Wi-Fi, VPN and routed sites where multicast does not go.
    Unicast,
};

// 239.194.77.1: organisation-local scope, clear of the blocks Livewire, sACN and SAP use.
constexpr const char *DefaultGroup = "239.194.77.1";
constexpr int DefaultTtl = 1;
constexpr int MinTtl = 1;
constexpr int MaxTtl = 32;
constexpr int MaxUnicastTargets = 16;

// "broadcast", "multicast", "both", "unicast": the stored words; anything else is no mode.
QString modeText(Mode mode);
bool modeFromText(const QString &text, Mode *mode);

// The mode a display starts with. A settings file written before there were modes keeps the
// broadcast that its displays already rely on, so an upgrade changes nothing on air; a display
// that never stored anything starts with multicast. A stored word that is no mode falls back
// the same way.
Mode storedMode(bool anythingStored, const QVariant &stored);

// A TTL as stored: a whole number from 1 to 32; anything else is the default 1.
int storedTtl(const QVariant &stored);

// An IPv4 multicast group written as dotted decimal (224.0.0.0/4), outside 224.0.0.0/24, which
// belongs to the routing protocols of the local network. Anything else is an invalid address.
QHostAddress groupFromText(const QString &text);

struct Target
{
    QHostAddress host;
    quint16 port = 0;
    bool operator==(const Target &o) const { return host == o.host && port == o.port; }
};

struct TargetList
{
    QVector<Target> targets;
    // Empty when the whole list is good; else which entry is wrong and why.
    QString error;
};

// A comma-separated list of up to 16 `host[:port]` (a numeric IPv4 host; without a port, the
// server's `defaultPort`). Blanks around the entries do not count; an empty list has no target.
TargetList unicastTargetsFromText(const QString &text, quint16 defaultPort);

// What a client takes, from whom and sent to where. `group` is null when the client does not
// listen to a group.
struct Listen
{
    Mode mode = Mode::Broadcast;
    QHostAddress group;
    QHostAddress server;
    QHostAddress backup;
};

enum class Source { None, Main, Backup };

// A server says once a second that it is there and how its own console link is, on the same
// group and port as its frames. It is not 16 bytes long, so displays that do not know it drop
// it as they drop anything that is not a frame.
namespace Heartbeat {
constexpr int Size = 8;
enum ServerLink : char { Live = 0, NoData = 1, NoLink = 2 };
QByteArray make(ServerLink link);
// Whether `data` is a heartbeat; its server's link in `link`.
bool read(const char *data, qint64 size, ServerLink *link);
// A client hears its server alive while heartbeats or frames came within this time.
constexpr qint64 AliveMs = 3000;
} // namespace Heartbeat

// Which server a datagram comes from, if it comes from one the client listens to. An IPv4
// sender in its IPv4-mapped IPv6 form counts as the same address.
Source sourceOf(const Listen &listen, const QHostAddress &sender);

// Whether a datagram sent to `destination` is the copy the client takes. Another group's traffic
// never is, nor a broadcast while the client listens to its group; a datagram sent to this host
// alone always is. In "both" the group's copy is the one taken, and the broadcast copy only
// while the group has been silent (`groupSilentMs`) for the stale time: a switch that drops the
// group must not leave the display dark, and no frame is counted twice.
bool acceptsDestination(const Listen &listen, const QHostAddress &destination,
                        qint64 groupSilentMs, qint64 staleMs);

// After a long NO DATA with the interface up the client leaves the group and joins again, which
// sends a fresh IGMP report: a snooping switch without a querier forgets members after a few
// minutes. At most once a minute.
class Rejoin
{
public:
    static constexpr qint64 SilenceMs = 30000;
    static constexpr qint64 IntervalMs = 60000;

    // Joined (or joined again) at `nowMs`.
    void joined(qint64 nowMs);
    // Whether to join again now: the group has been silent `silentMs` while the interface is up.
    bool due(qint64 nowMs, qint64 silentMs, bool interfaceUp) const;
    int rejoins() const { return count; }
    void counted() { ++count; }

private:
    qint64 lastJoin = 0;
    bool everJoined = false;
    int count = 0;
};

// Which server a client follows when it knows a backup. It follows the main while the main is
// live; when the main goes stale and the backup is live it takes the backup; it goes back to
// the main once the main has been live again, without a gap, for 10 s. When both were quiet
// (the console paused), the main has the stale time to speak first.
class BackupSwitch
{
public:
    static constexpr qint64 ReturnAfterMs = 10000;

    void setStaleMs(qint64 ms) { stale = ms; }
    // A frame from one of the two servers arrived at `nowMs`; returns whether to use it.
    bool frame(Source source, qint64 nowMs);
    // The server followed as of `nowMs`.
    Source following(qint64 nowMs);
    void reset();

private:
    bool live(qint64 last, bool any, qint64 nowMs) const { return any && nowMs - last < stale; }
    void update(qint64 nowMs);

    qint64 stale = 1000;
    qint64 lastMain = 0;
    qint64 lastBackup = 0;
    // Since when the main has been live without a gap; valid while it is.
    qint64 mainLiveSince = 0;
    // The first frame after neither server was live; -1 before any.
    qint64 resumedAt = -1;
    bool anyMain = false;
    bool anyBackup = false;
    Source followed = Source::Main;
};

} // namespace Distribution
