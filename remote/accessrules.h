#pragma once

#include "dialogs/remotesettings.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QStringList>

// The few numbers that keep one client, or many, from taking the display's network side
// down with it.
namespace RemoteLimits {
constexpr int MaxClients = 16;
constexpr int MaxClientsPerAddress = 4;
constexpr int MaxHeadBytes = 8 * 1024;
constexpr int MaxBodyBytes = 4 * 1024;
// A request must be in within this, and an idle connection goes after it.
constexpr int RequestSeconds = 5;
// A stream that could not send for this long is closed.
constexpr int StreamBacklogSeconds = 10;
constexpr int KeepAliveSeconds = 15;
constexpr int LevelsPerSecond = 25;
constexpr int MaxWrongTokens = 10;
constexpr qint64 WrongTokenWindowMs = 60000;
constexpr qint64 BlockedMs = 60000;
} // namespace RemoteLimits

namespace AccessRules {

// The token of an "Authorization: Bearer <token>" header; empty when there is none.
QByteArray bearerToken(const QByteArray &authorization);

// Whether `given` is `secret`, in a time that says nothing about where they differ or how
// long either is: both are hashed and the digests compared byte by byte without stopping.
bool sameSecret(const QByteArray &given, const QByteArray &secret);

// A command from a browser must come from a page of this server: its Origin, when it has one,
// names the scheme this server speaks and the host and port the request was sent to. A caller
// without an Origin is no browser (curl, automation) and is judged by its token alone.
bool sameOrigin(const QByteArray &origin, const QByteArray &host, bool tls);

// Whether a request's Host header names this display: an address of this machine (loopback,
// or `local`, the address the client reached), "localhost", or one of `ownNames`, with or
// without a port, in any case. A page served under any other name, such as a name whose DNS
// an attacker points at this display (DNS rebinding), gets nothing, so that a browser on the
// plant's network cannot be made to read the display for a page of elsewhere.
bool ownHost(const QByteArray &host, const QHostAddress &local, const QStringList &ownNames);
// This machine's own names: its host name, that name in its domain, and its name on the
// local network (mDNS, ".local"). In lower case.
QStringList ownNames();

// Whether `address` lies in one of `networks`; an IPv4 client on an IPv6 socket
// (::ffff:a.b.c.d) counts as its IPv4 address. An empty list lets everyone in.
bool allowed(const QList<RemoteSettings::Network> &networks, const QHostAddress &address);

} // namespace AccessRules

// Counts wrong tokens per client address: the 10th within a minute blocks that address for a
// minute. IPv6 clients are counted by their /64, which one host can fill with addresses. The
// table is bounded; times are monotonic milliseconds passed in by the owner.
class WrongTokenLimiter
{
public:
    static constexpr int MaxAddresses = 4096;

    bool blocked(const QHostAddress &address, qint64 nowMs) const;
    // Seconds until a blocked address may try again, at least 1.
    int retryAfterSeconds(const QHostAddress &address, qint64 nowMs) const;
    // A wrong token from `address`; returns whether that address is now blocked.
    bool wrongToken(const QHostAddress &address, qint64 nowMs);

private:
    struct Record
    {
        QList<qint64> attempts;
        qint64 blockedUntil = 0;
    };
    static QByteArray key(const QHostAddress &address);
    void forgetOld(qint64 nowMs);

    QHash<QByteArray, Record> records;
};
