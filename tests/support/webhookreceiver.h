#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

namespace OrvaneTest {

// A webhook's receiver on loopback, as small as an operator's would be: it keeps every post
// whole (head and body) and answers each, refusing the first `refuseFirst` with a 500.
class WebhookReceiver
{
public:
    explicit WebhookReceiver(int refuseFirst = 0)
        : refusals(refuseFirst)
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] { accept(); });
    }

    quint16 port() const { return server.serverPort(); }
    const QList<QByteArray> &posts() const { return received; }

    static QByteArray body(const QByteArray &post)
    {
        return post.mid(post.indexOf("\r\n\r\n") + 4);
    }

    // HMAC-SHA256 of `body` keyed with `key`, in hex, as openssl computes it: the signature's
    // check, made without the program's own code.
    static QByteArray opensslHmac(const QByteArray &body, const QByteArray &key)
    {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      { QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-hmac"),
                        QString::fromLatin1(key) });
        if (!openssl.waitForStarted())
            return QByteArray();
        openssl.write(body);
        openssl.closeWriteChannel();
        openssl.waitForFinished();
        return openssl.readAll().trimmed().split(' ').last();
    }

private:
    void accept()
    {
        QTcpSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray &raw = partial[socket];
            raw += socket->readAll();
            const int headEnd = raw.indexOf("\r\n\r\n");
            const int lengthAt = raw.toLower().indexOf("content-length:");
            if (headEnd < 0 || lengthAt < 0)
                return;
            const int length = raw.mid(lengthAt + 15, raw.indexOf('\r', lengthAt) - lengthAt - 15)
                                   .trimmed()
                                   .toInt();
            if (raw.size() < headEnd + 4 + length)
                return;
            received.append(raw);
            partial.remove(socket);
            const bool refuse = refusals-- > 0;
            socket->write(refuse
                              ? "HTTP/1.1 500 No\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                              : "HTTP/1.1 204 OK\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
        });
    }

    QTcpServer server;
    QHash<QTcpSocket *, QByteArray> partial;
    QList<QByteArray> received;
    int refusals;
};

} // namespace OrvaneTest
