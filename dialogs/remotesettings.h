#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QSettings;

// Who may reach the display over the network, and with what: the [remote] group of the
// settings file. Off unless every value that decides where and how it listens reads well: a
// missing, mistyped or hand-broken value turns the feature off (and says why in `fault`), never
// into listening on all interfaces or without a token.
struct RemoteSettings
{
    enum Listen { Loopback, Interface, All };
    using Network = QPair<QHostAddress, int>;

    // Outside Prometheus' exporter registry (9100-9999, all taken, and the ports after it)
    // and its own 9090-9094, not in Debian's /etc/services: the display's metrics can be
    // scraped beside any well-known exporter on the same host.
    static constexpr quint16 DefaultPort = 8725;
    static constexpr int MaxWebhooks = 4;
    // 24 bytes from the system's random source: 192 bits, 32 characters in base64url.
    static constexpr int TokenBytes = 24;
    static constexpr int MinTokenLength = 32;
    static constexpr int MaxTokenLength = 128;

    bool enabled = false;
    Listen listen = Loopback;
    // The interface address for Interface.
    QString listenAddress;
    quint16 port = DefaultPort;
    QString token;
    bool readNeedsToken = false;
    // Allowed networks as written (normalised), empty: whoever reaches the listening address.
    QStringList allow;
    QStringList webhooks;
    QString tlsCert;
    QString tlsKey;

    // Why a stored `enabled=true` was read as off; empty otherwise.
    QString fault;

    static RemoteSettings read(QSettings &settings);
    void write(QSettings &settings) const;

    // The address to bind: 127.0.0.1, the interface's, or any (IPv6 and IPv4 together).
    QHostAddress bindAddress() const;
    QList<Network> networks() const;

    // A fresh token from the system's random source.
    static QString newToken();

    // The rules, each with the reason a value fails it (for the dialog's warnings and the
    // fault); they return true when the value is good.
    static bool checkToken(const QString &token, QString *why);
    static bool checkListenAddress(const QString &text, QString *why);
    static bool checkPort(const QString &text, quint16 *port, QString *why);
    // One network in CIDR form, IPv4 or IPv6, with no host bits set.
    static bool checkNetwork(const QString &text, Network *network, QString *why);
    // A comma-separated list of them; `normalised` gets each in its canonical form.
    static bool checkNetworks(const QString &list, QStringList *normalised, QString *why);
    // An absolute http or https URL with a host.
    static bool checkWebhook(const QString &url, QString *why);
    // Both files or neither.
    static bool checkTls(const QString &cert, const QString &key, QString *why);

    bool operator==(const RemoteSettings &other) const;
    bool operator!=(const RemoteSettings &other) const { return !(*this == other); }
};
