#include "remote/accessrules.h"

#include <QCryptographicHash>
#include <QHostInfo>
#include <QUrl>

namespace AccessRules {

QByteArray bearerToken(const QByteArray &authorization)
{
    const QByteArray value = authorization.trimmed();
    const int space = value.indexOf(' ');
    if (space < 0 || value.left(space).toLower() != "bearer")
        return {};
    return value.mid(space + 1).trimmed();
}

bool sameSecret(const QByteArray &given, const QByteArray &secret)
{
    const QByteArray a = QCryptographicHash::hash(given, QCryptographicHash::Sha256);
    const QByteArray b = QCryptographicHash::hash(secret, QCryptographicHash::Sha256);
    unsigned char difference = 0;
    for (int i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    // An empty secret is never a match, however the hashes compare.
    return difference == 0 && !secret.isEmpty();
}

bool sameOrigin(const QByteArray &origin, const QByteArray &host, bool tls)
{
    if (origin.isEmpty())
        return true;
    const QUrl url(QString::fromLatin1(origin), QUrl::StrictMode);
    const QString scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
    // "null" (a sandboxed page, a file) and anything with a path is not an origin of ours.
    if (!url.isValid() || url.scheme() != scheme || url.host().isEmpty() || !url.path().isEmpty()
        || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return false;
    const QUrl asked(scheme + QStringLiteral("://") + QString::fromLatin1(host), QUrl::StrictMode);
    if (!asked.isValid() || asked.host().isEmpty() || !asked.path().isEmpty()
        || !asked.userInfo().isEmpty())
        return false;
    const int defaultPort = tls ? 443 : 80;
    return url.host() == asked.host() && url.port(defaultPort) == asked.port(defaultPort);
}

bool ownHost(const QByteArray &host, const QHostAddress &local, const QStringList &ownNames)
{
    const QUrl url(QStringLiteral("http://") + QString::fromLatin1(host), QUrl::StrictMode);
    if (host.isEmpty() || !url.isValid() || !url.path().isEmpty() || !url.userInfo().isEmpty()
        || url.hasQuery() || url.hasFragment())
        return false;
    QString name = url.host().toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    QHostAddress literal;
    if (literal.setAddress(name)) {
        QHostAddress reached = local;
        reached.setScopeId(QString());
        literal.setScopeId(QString());
        return literal.isLoopback()
            || (!reached.isNull()
                && literal.isEqual(reached, QHostAddress::ConvertV4MappedToIPv4));
    }
    return !name.isEmpty() && (name == QLatin1String("localhost") || ownNames.contains(name));
}

QStringList ownNames()
{
    QStringList names;
    const QString host = QHostInfo::localHostName().toLower();
    if (host.isEmpty())
        return names;
    names << host;
    const QString shortName = host.section(QLatin1Char('.'), 0, 0);
    const QString domain = QHostInfo::localDomainName().toLower();
    if (!domain.isEmpty() && shortName == host)
        names << host + QLatin1Char('.') + domain;
    names << shortName + QStringLiteral(".local");
    names.removeDuplicates();
    return names;
}

bool allowed(const QList<RemoteSettings::Network> &networks, const QHostAddress &address)
{
    if (networks.isEmpty())
        return true;
    QHostAddress client = address;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        client = QHostAddress(v4);
    client.setScopeId(QString());
    for (const RemoteSettings::Network &network : networks) {
        if (client.isInSubnet(network))
            return true;
    }
    return false;
}

} // namespace AccessRules

QByteArray WrongTokenLimiter::key(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QByteArray::number(v4);
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(v6.c), 8);
}

bool WrongTokenLimiter::blocked(const QHostAddress &address, qint64 nowMs) const
{
    const auto it = records.constFind(key(address));
    return it != records.constEnd() && it->blockedUntil > nowMs;
}

int WrongTokenLimiter::retryAfterSeconds(const QHostAddress &address, qint64 nowMs) const
{
    const auto it = records.constFind(key(address));
    if (it == records.constEnd() || it->blockedUntil <= nowMs)
        return 1;
    return int((it->blockedUntil - nowMs + 999) / 1000);
}

bool WrongTokenLimiter::wrongToken(const QHostAddress &address, qint64 nowMs)
{
    const QByteArray k = key(address);
    if (records.size() >= MaxAddresses && !records.contains(k)) {
        forgetOld(nowMs);
        // Full of blocked addresses: a newcomer is not counted rather than let the table
        // grow without end (its guesses at 192 bits are hopeless anyway).
        if (records.size() >= MaxAddresses)
            return false;
    }
    Record &record = records[k];
    while (!record.attempts.isEmpty()
           && record.attempts.first() <= nowMs - RemoteLimits::WrongTokenWindowMs)
        record.attempts.removeFirst();
    record.attempts.append(nowMs);
    if (record.attempts.size() >= RemoteLimits::MaxWrongTokens) {
        record.blockedUntil = nowMs + RemoteLimits::BlockedMs;
        record.attempts.clear();
    }
    return record.blockedUntil > nowMs;
}

void WrongTokenLimiter::forgetOld(qint64 nowMs)
{
    for (auto it = records.begin(); it != records.end();) {
        const bool recent = !it->attempts.isEmpty()
            && it->attempts.last() > nowMs - RemoteLimits::WrongTokenWindowMs;
        if (it->blockedUntil <= nowMs && !recent)
            it = records.erase(it);
        else
            ++it;
    }
    // Still full of recent offenders (many addresses at once): those not blocked go, so that
    // the table stays bounded; a blocked address stays blocked.
    for (auto it = records.begin(); records.size() >= MaxAddresses && it != records.end();) {
        if (it->blockedUntil <= nowMs)
            it = records.erase(it);
        else
            ++it;
    }
}
