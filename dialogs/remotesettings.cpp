#include "dialogs/remotesettings.h"

#include "dialogs/storedvalue.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSettings>
#include <QUrl>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RemoteSettings", text);
}

// QSettings reads an unquoted value with commas as a list, a quoted one as a text: either way
// the operator meant one comma-separated list.
QStringList readList(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    QStringList items = value.type() == QVariant::StringList
        ? value.toStringList()
        : value.toString().split(QLatin1Char(','));
    QStringList result;
    for (const QString &item : qAsConst(items)) {
        const QString trimmed = item.trimmed();
        if (!trimmed.isEmpty())
            result.append(trimmed);
    }
    return result;
}

bool isTokenCharacter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
        || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
        || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')
        || c == QLatin1Char('_');
}

void setWhy(QString *why, const QString &text)
{
    if (why)
        *why = text;
}

} // namespace

RemoteSettings RemoteSettings::read(QSettings &settings)
{
    RemoteSettings r;
    settings.beginGroup(QStringLiteral("remote"));
    QString fault;
    auto fail = [&fault](const QString &why) {
        if (fault.isEmpty())
            fault = why;
    };

    bool ok = false;
    const bool wanted = StoredValue::flagFromValue(settings.value(QStringLiteral("enabled")),
                                                   false, StoredValue::Spelling::Loose, &ok);
    if (!ok && settings.contains(QStringLiteral("enabled")))
        fail(tr("enabled is neither true nor false"));

    const QString listen = settings.value(QStringLiteral("listen")).toString().trimmed();
    QString why;
    if (listen == QLatin1String("loopback") || listen.isEmpty()) {
        r.listen = Loopback;
        if (listen.isEmpty())
            fail(tr("listen is missing"));
    } else if (listen == QLatin1String("all")) {
        r.listen = All;
    } else if (checkListenAddress(listen, &why)) {
        r.listen = Interface;
        r.listenAddress = listen;
    } else {
        r.listen = Loopback;
        fail(tr("listen: %1").arg(why));
    }

    const QString portText = settings.value(QStringLiteral("port")).toString().trimmed();
    if (!portText.isEmpty() && !checkPort(portText, &r.port, &why))
        fail(tr("port: %1").arg(why));

    r.token = settings.value(QStringLiteral("token")).toString().trimmed();
    if (!checkToken(r.token, &why))
        fail(tr("token: %1").arg(why));

    r.readNeedsToken
        = StoredValue::flagFromValue(settings.value(QStringLiteral("read_needs_token")),
                                     r.readNeedsToken, StoredValue::Spelling::Loose, &ok);
    if (!ok && settings.contains(QStringLiteral("read_needs_token"))) {
        // Unreadable: the safer reading, and off until the operator says.
        r.readNeedsToken = true;
        fail(tr("read_needs_token is neither true nor false"));
    }

    const QStringList allow = readList(settings, QStringLiteral("allow"));
    if (!checkNetworks(allow.join(QLatin1Char(',')), &r.allow, &why)) {
        r.allow = allow;
        fail(tr("allow: %1").arg(why));
    }

    // A webhook that cannot be used is left out; it does not decide who reaches the display.
    for (const QString &url : readList(settings, QStringLiteral("webhooks"))) {
        if (r.webhooks.size() < MaxWebhooks && checkWebhook(url, nullptr))
            r.webhooks.append(url);
    }

    r.tlsCert = settings.value(QStringLiteral("tls_cert")).toString().trimmed();
    r.tlsKey = settings.value(QStringLiteral("tls_key")).toString().trimmed();
    if (!checkTls(r.tlsCert, r.tlsKey, &why))
        fail(why);
    settings.endGroup();

    r.enabled = wanted && fault.isEmpty();
    if (wanted && !r.enabled)
        r.fault = fault;
    return r;
}

void RemoteSettings::write(QSettings &settings) const
{
    settings.beginGroup(QStringLiteral("remote"));
    settings.setValue(QStringLiteral("enabled"), enabled);
    settings.setValue(QStringLiteral("listen"),
                      listen == Loopback  ? QStringLiteral("loopback")
                          : listen == All ? QStringLiteral("all")
                                          : listenAddress);
    settings.setValue(QStringLiteral("port"), port);
    settings.setValue(QStringLiteral("token"), token);
    settings.setValue(QStringLiteral("read_needs_token"), readNeedsToken);
    settings.setValue(QStringLiteral("allow"), allow.join(QLatin1String(", ")));
    settings.setValue(QStringLiteral("webhooks"), webhooks.join(QLatin1String(", ")));
    settings.setValue(QStringLiteral("tls_cert"), tlsCert);
    settings.setValue(QStringLiteral("tls_key"), tlsKey);
    settings.endGroup();
}

QHostAddress RemoteSettings::bindAddress() const
{
    switch (listen) {
    case Loopback:
        return QHostAddress(QHostAddress::LocalHost);
    case All:
        return QHostAddress(QHostAddress::Any);
    case Interface:
        break;
    }
    return QHostAddress(listenAddress);
}

QList<RemoteSettings::Network> RemoteSettings::networks() const
{
    QList<Network> result;
    for (const QString &text : allow) {
        Network network;
        if (checkNetwork(text, &network, nullptr))
            result.append(network);
    }
    return result;
}

QString RemoteSettings::newToken()
{
    // QRandomGenerator::system() reads the kernel's random source (getrandom), never a
    // seeded generator.
    QByteArray bytes(TokenBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool RemoteSettings::checkToken(const QString &token, QString *why)
{
    if (token.isEmpty()) {
        setWhy(why, tr("there is no token"));
        return false;
    }
    if (token.size() < MinTokenLength || token.size() > MaxTokenLength) {
        setWhy(why,
               tr("a token has %1 to %2 characters (at least 128 random bits)")
                   .arg(MinTokenLength)
                   .arg(MaxTokenLength));
        return false;
    }
    for (const QChar c : token) {
        if (!isTokenCharacter(c)) {
            setWhy(why, tr("a token has only letters, digits, - and _"));
            return false;
        }
    }
    return true;
}

bool RemoteSettings::checkListenAddress(const QString &text, QString *why)
{
    const QHostAddress address(text);
    if (address.isNull()
        || (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() != text)) {
        setWhy(why, tr("\"%1\" is not an IP address").arg(text));
        return false;
    }
    if (address.isMulticast() || address == QHostAddress(QHostAddress::AnyIPv4)
        || address == QHostAddress(QHostAddress::AnyIPv6)) {
        setWhy(why, tr("\"%1\" is not one interface's address").arg(text));
        return false;
    }
    return true;
}

bool RemoteSettings::checkPort(const QString &text, quint16 *port, QString *why)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 10);
    if (!ok || value < 1 || value > 65535) {
        setWhy(why, tr("\"%1\" is not a port from 1 to 65535").arg(text));
        return false;
    }
    if (port)
        *port = quint16(value);
    return true;
}

bool RemoteSettings::checkNetwork(const QString &text, Network *network, QString *why)
{
    const QString trimmed = text.trimmed();
    const int slash = trimmed.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        setWhy(why,
               tr("\"%1\" has no prefix length (write 192.168.1.0/24, or /32 for one "
                  "host)")
                   .arg(trimmed));
        return false;
    }
    // Only a whole address: QHostAddress::parseSubnet would also take "10/8" and netmasks,
    // which a reader of the list could misread.
    const QString addressText = trimmed.left(slash).trimmed();
    const QHostAddress address(addressText);
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    const int maxLength = v4 ? 32 : 128;
    bool ok = false;
    const QString lengthText = trimmed.mid(slash + 1);
    const int length = lengthText.toInt(&ok, 10);
    // An IPv4 address in all four parts as written: QHostAddress reads "10" as 0.0.0.10.
    if (address.isNull() || !address.scopeId().isEmpty()
        || (v4 && address.toString() != addressText)) {
        setWhy(why, tr("\"%1\" is not an IPv4 or IPv6 address").arg(trimmed.left(slash)));
        return false;
    }
    if (!ok || length < 0 || length > maxLength || lengthText.startsWith(QLatin1Char('+'))) {
        setWhy(why, tr("\"%1\": the prefix length must be 0 to %2").arg(trimmed).arg(maxLength));
        return false;
    }
    const QPair<QHostAddress, int> parsed = QHostAddress::parseSubnet(
        address.toString() + QLatin1Char('/') + QString::number(length));
    if (parsed.first != address) {
        setWhy(why,
               tr("\"%1\" has host bits set: the network is %2/%3")
                   .arg(trimmed, parsed.first.toString())
                   .arg(length));
        return false;
    }
    if (network)
        *network = parsed;
    return true;
}

bool RemoteSettings::checkNetworks(const QString &list, QStringList *normalised, QString *why)
{
    QStringList result;
    for (const QString &item : list.split(QLatin1Char(','))) {
        if (item.trimmed().isEmpty())
            continue;
        Network network;
        if (!checkNetwork(item, &network, why))
            return false;
        result.append(network.first.toString() + QLatin1Char('/')
                      + QString::number(network.second));
    }
    if (normalised)
        *normalised = result;
    return true;
}

bool RemoteSettings::checkWebhook(const QString &url, QString *why)
{
    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || parsed.host().isEmpty()) {
        setWhy(why, tr("\"%1\" is not an http:// or https:// address").arg(url.trimmed()));
        return false;
    }
    return true;
}

bool RemoteSettings::checkTls(const QString &cert, const QString &key, QString *why)
{
    if (cert.isEmpty() != key.isEmpty()) {
        setWhy(why,
               cert.isEmpty() ? tr("TLS needs a certificate file beside the key")
                              : tr("TLS needs a key file beside the certificate"));
        return false;
    }
    return true;
}

bool RemoteSettings::operator==(const RemoteSettings &o) const
{
    return enabled == o.enabled && listen == o.listen && listenAddress == o.listenAddress
        && port == o.port && token == o.token && readNeedsToken == o.readNeedsToken
        && allow == o.allow && webhooks == o.webhooks && tlsCert == o.tlsCert
        && tlsKey == o.tlsKey;
}
