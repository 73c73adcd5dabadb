#include "httpclient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace OrvaneTest {

namespace {

QByteArray requestText(quint16 port, const QByteArray &method, const QByteArray &path,
                       const QList<Header> &headers, const QByteArray &body, bool close)
{
    QByteArray text = method + ' ' + path + " HTTP/1.1\r\n";
    const bool ownHost = std::any_of(headers.begin(), headers.end(),
                                     [](const Header &h) { return h.first.toLower() == "host"; });
    if (!ownHost)
        text += "Host: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
    for (const Header &h : headers)
        text += h.first + ": " + h.second + "\r\n";
    if (!body.isEmpty() || method == "POST" || method == "PUT")
        text += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (close)
        text += "Connection: close\r\n";
    return text + "\r\n" + body;
}

// The status line and the headers of `raw`, if they are all in; the rest stays in `raw`.
bool takeHead(QByteArray &raw, int *status, QMap<QByteArray, QByteArray> *headers)
{
    const int end = raw.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = raw.left(end).split('\n');
    *status = lines.value(0).split(' ').value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0 && headers)
            headers->insert(lines[i].left(colon).trimmed().toLower(),
                            lines[i].mid(colon + 1).trimmed());
    }
    raw.remove(0, end + 4);
    return true;
}

// Moves the whole chunks at the front of `chunked` into `body`, undoing the chunked transfer
// coding as far as it has come in.
void dechunk(QByteArray &chunked, QByteArray *body)
{
    for (;;) {
        const int lineEnd = chunked.indexOf("\r\n");
        bool ok = false;
        const int size = chunked.left(qMax(0, lineEnd)).trimmed().toInt(&ok, 16);
        if (lineEnd < 0 || !ok || chunked.size() < lineEnd + 2 + size + 2)
            return;
        *body += chunked.mid(lineEnd + 2, size);
        chunked.remove(0, lineEnd + 2 + size + 2);
    }
}

void connectFrom(QTcpSocket &socket, const QHostAddress &from, quint16 port)
{
    if (!from.isNull())
        socket.bind(from);
    socket.connectToHost(QHostAddress::LocalHost, port);
}

} // namespace

HttpResponse httpFetch(quint16 port, const QByteArray &method, const QByteArray &path,
                       const QList<Header> &headers, const QByteArray &body,
                       const QHostAddress &from, int timeoutMs)
{
    QTcpSocket socket;
    QByteArray raw;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&]() {
        socket.write(requestText(port, method, path, headers, body, true));
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&]() { raw += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    connectFrom(socket, from, port);
    loop.exec();
    raw += socket.readAll();

    HttpResponse response;
    if (!takeHead(raw, &response.status, &response.headers))
        return {};
    if (response.headers.value("transfer-encoding") == "chunked")
        dechunk(raw, &response.body);
    else
        response.body = raw;
    return response;
}

int openStalledStream(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const QByteArray request = "GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1:"
        + QByteArray::number(port) + "\r\n\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0
        || ::write(fd, request.constData(), size_t(request.size())) != ssize_t(request.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool closedByPeer(int fd, int timeoutMs)
{
    char buffer[4096];
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            return true;
        if (got < 0)
            QThread::msleep(20);
    }
    return false;
}

EventStreamClient::EventStreamClient(quint16 port, const QHostAddress &from,
                                     const QByteArray &token)
{
    QList<Header> headers { { "Accept", "text/event-stream" } };
    if (!token.isEmpty())
        headers.append({ "Authorization", "Bearer " + token });
    QObject::connect(&socket, &QTcpSocket::connected, this, [this, port, headers]() {
        socket.write(requestText(port, "GET", "/api/v1/events", headers, {}, false));
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, this, &EventStreamClient::read);
    connectFrom(socket, from, port);
}

void EventStreamClient::read()
{
    raw += socket.readAll();
    if (!headDone) {
        if (!takeHead(raw, &statusCode, nullptr))
            return;
        headDone = true;
    }
    dechunk(raw, &body);
    int end;
    while ((end = body.indexOf("\n\n")) >= 0) {
        const QByteArray block = body.left(end);
        body.remove(0, end + 2);
        Event event;
        for (const QByteArray &line : block.split('\n')) {
            if (line.startsWith("event: "))
                event.name = line.mid(7).trimmed();
            else if (line.startsWith("data: "))
                event.data += line.mid(6).trimmed();
            else if (line.startsWith(":"))
                event.name = "comment";
        }
        if (!event.name.isEmpty())
            received.append(event);
    }
}

int EventStreamClient::count(const QByteArray &name) const
{
    int n = 0;
    for (const Event &event : received)
        n += event.name == name;
    return n;
}

QByteArray EventStreamClient::lastData(const QByteArray &name) const
{
    for (int i = received.size() - 1; i >= 0; --i) {
        if (received[i].name == name)
            return received[i].data;
    }
    return {};
}

} // namespace OrvaneTest
