#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QPair>
#include <QTcpSocket>

namespace OrvaneTest {

using Header = QPair<QByteArray, QByteArray>;

struct HttpResponse
{
    // 0: no answer (refused, closed, timed out).
    int status = 0;
    // Names in lower case.
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;
};

// One request over a fresh loopback connection, answered while the event loop runs (the
// display's GUI thread must be free to act on a command). The Host header names the address
// reached unless `headers` give one.
HttpResponse httpFetch(quint16 port, const QByteArray &method, const QByteArray &path,
                       const QList<Header> &headers = {}, const QByteArray &body = {},
                       const QHostAddress &from = QHostAddress(), int timeoutMs = 10000);

// Asks for the event stream and never reads a byte of it, with a small receive window: a
// client that stopped reading. Returns the socket's descriptor (-1 on failure); the caller
// closes it.
int openStalledStream(quint16 port);
// Whether the far end closed `fd` within `timeoutMs`; what it still sent is read and dropped.
bool closedByPeer(int fd, int timeoutMs);

// An event stream read as a browser would, from `from` (a loopback address of 127/8).
class EventStreamClient : public QObject
{
public:
    struct Event
    {
        QByteArray name;
        QByteArray data;
    };

    EventStreamClient(quint16 port, const QHostAddress &from = QHostAddress(),
                      const QByteArray &token = {});

    // The answer's status once its head is in; 0 before, or when refused.
    int status() const { return statusCode; }
    bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    const QList<Event> &events() const { return received; }
    int count(const QByteArray &name) const;
    QByteArray lastData(const QByteArray &name) const;

private:
    void read();

    QTcpSocket socket;
    QByteArray raw;
    QByteArray body;
    bool headDone = false;
    int statusCode = 0;
    QList<Event> received;
};

} // namespace OrvaneTest
