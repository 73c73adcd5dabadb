#include "remote/httpserver.h"

#include "remote/accessrules.h"
#include "remote/requesthandler.h"
#include "remote/statusjson.h"

#include <QElapsedTimer>
#include <QtEndian>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

// A stream's kernel send buffer (the kernel doubles it): small, so that a client that stops
// reading shows as backlog soon instead of hiding in socket memory. A live display sends
// about 2 kB a second; at 16 kB a stalled client was closed only after 33 s, at 4 kB after
// 18 s. A few state events still fit, and 8 kB in flight carry 2 kB a second over any link.
constexpr int StreamSendBuffer = 4 * 1024;
// A stream that sent nothing for this long gets a comment at the next keep-alive.
constexpr qint64 QuietStreamMs = (RemoteLimits::KeepAliveSeconds - 2) * 1000;

QHostAddress peerAddress(const sockaddr *address)
{
    QHostAddress peer;
    if (address)
        peer.setAddress(address);
    return peer;
}

// The address of this machine that the connection reached.
QHostAddress localAddress(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    if (!info || getsockname(info->connect_fd, reinterpret_cast<sockaddr *>(&address), &length))
        return QHostAddress();
    return peerAddress(reinterpret_cast<const sockaddr *>(&address));
}

} // namespace

struct HttpServer::Private
{
    struct Stream
    {
        Private *server = nullptr;
        MHD_Connection *connection = nullptr;
        quint64 stateSent = 0;
        quint64 levelsSent = 0;
        qint64 lastWriteMs = 0;
        bool keepAliveDue = false;
        bool suspended = false;
        bool greeted = false;
        QByteArray out;
        int outPos = 0;
    };

    struct Request
    {
        qint64 startedMs = 0;
        bool headChecked = false;
        bool tooLarge = false;
        QByteArray body;
        quint64 commandId = 0;
        bool commandDone = false;
        MHD_Connection *connection = nullptr;
    };

    Private(CommandSink sink, StreamsChanged changed)
        : commandSink(std::move(sink))
        , streamsChanged(std::move(changed))
    {
        clock.start();
    }

    qint64 now() const { return clock.elapsed(); }

    // --- libmicrohttpd's callbacks, all on the server's thread ---
    static MHD_Result acceptPolicy(void *cls, const sockaddr *address, socklen_t);
    static void *requestStarted(void *cls, const char *uri, MHD_Connection *connection);
    static MHD_Result access(void *cls, MHD_Connection *connection, const char *url,
                             const char *method, const char *version, const char *uploadData,
                             size_t *uploadSize, void **context);
    static void requestDone(void *cls, MHD_Connection *, void **context,
                            MHD_RequestTerminationCode);
    static void connectionNotice(void *cls, MHD_Connection *, void **,
                                 MHD_ConnectionNotificationCode code);
    static ssize_t readStream(void *cls, uint64_t, char *buffer, size_t max);
    static void freeStream(void *cls);
    static void log(void *, const char *format, va_list arguments);

    MHD_Result reply(MHD_Connection *connection, const HttpReply &reply, bool page);
    MHD_Result openStream(MHD_Connection *connection);
    MHD_Result queueCommand(MHD_Connection *connection, Request *request,
                            const RemoteCommand &command);
    MHD_Result answerCommand(MHD_Connection *connection, Request *request);
    std::shared_ptr<const RemoteSnapshot> currentSnapshot();
    void resume(const std::vector<MHD_Connection *> &connections);
    // The streams that wait for something to send, to be resumed once the lock is let go;
    // called with the lock held.
    void takeSuspended(std::vector<MHD_Connection *> *connections);

    CommandSink commandSink;
    StreamsChanged streamsChanged;
    QElapsedTimer clock;
    MHD_Daemon *daemon = nullptr;
    Config config;
    std::unique_ptr<RequestHandler> handler;
    std::atomic<int> connections { 0 };

    // Everything below is shared between the GUI thread and the server's: held briefly, and
    // never while writing to a socket.
    mutable std::mutex mutex;
    std::shared_ptr<const RemoteSnapshot> snapshot = std::make_shared<RemoteSnapshot>();
    quint64 stateVersion = 1;
    QByteArray levels;
    quint64 levelsVersion = 0;
    std::vector<Stream *> streamList;
    std::map<quint64, Request *> commands;
    quint64 nextCommand = 1;
    bool stopping = false;
};

HttpServer::HttpServer(CommandSink commands, StreamsChanged streamsChanged)
    : d(std::make_unique<Private>(std::move(commands), std::move(streamsChanged)))
{
}

HttpServer::~HttpServer()
{
    stop();
}

bool HttpServer::start(const Config &config, QString *error)
{
    stop();
    d->config = config;
    d->handler
        = std::make_unique<RequestHandler>(config.token, config.readNeedsToken, WebAssets::load());
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = false;
    }

    sockaddr_storage storage {};
    unsigned int flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME
        | MHD_USE_ERROR_LOG;
    bool isV4 = false;
    const quint32 v4 = config.address.toIPv4Address(&isV4);
    if (config.address == QHostAddress(QHostAddress::Any)) {
        // One socket for IPv6 and IPv4 clients alike.
        flags |= MHD_USE_DUAL_STACK;
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_any;
        in6->sin6_port = qToBigEndian(config.port);
    } else if (isV4) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = qToBigEndian(v4);
        in->sin_port = qToBigEndian(config.port);
    } else {
        flags |= MHD_USE_IPv6;
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        const Q_IPV6ADDR bytes = config.address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, 16);
        in6->sin6_port = qToBigEndian(config.port);
    }
    const bool tls = !config.certificatePem.isEmpty();
    if (tls)
        flags |= MHD_USE_TLS;

    // libmicrohttpd keeps pointers to the key and the certificate until it stops.
    std::vector<MHD_OptionItem> options {
        { MHD_OPTION_CONNECTION_LIMIT, RemoteLimits::MaxClients, nullptr },
        { MHD_OPTION_PER_IP_CONNECTION_LIMIT, RemoteLimits::MaxClientsPerAddress, nullptr },
        { MHD_OPTION_CONNECTION_TIMEOUT, RemoteLimits::RequestSeconds, nullptr },
        { MHD_OPTION_SOCK_ADDR, 0, &storage },
        { MHD_OPTION_URI_LOG_CALLBACK, intptr_t(&Private::requestStarted), d.get() },
        { MHD_OPTION_NOTIFY_COMPLETED, intptr_t(&Private::requestDone), d.get() },
        { MHD_OPTION_NOTIFY_CONNECTION, intptr_t(&Private::connectionNotice), d.get() },
        { MHD_OPTION_EXTERNAL_LOGGER, intptr_t(&Private::log), nullptr },
    };
    if (tls) {
        options.push_back({ MHD_OPTION_HTTPS_MEM_CERT, 0, d->config.certificatePem.data() });
        options.push_back({ MHD_OPTION_HTTPS_MEM_KEY, 0, d->config.keyPem.data() });
        options.push_back({ MHD_OPTION_HTTPS_PRIORITIES, 0,
                            const_cast<char *>("NORMAL:-VERS-SSL3.0:-VERS-TLS1.0:-VERS-TLS1.1") });
    }
    options.push_back({ MHD_OPTION_END, 0, nullptr });

    d->daemon = MHD_start_daemon(flags, 0, &Private::acceptPolicy, d.get(), &Private::access,
                                 d.get(), MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (!d->daemon) {
        if (error)
            *error = tls ? QStringLiteral("cannot listen on port %1 with this certificate and key")
                               .arg(config.port)
                         : QStringLiteral("cannot listen on %1 port %2")
                               .arg(config.address.toString())
                               .arg(config.port);
        d->handler.reset();
        return false;
    }
    return true;
}

void HttpServer::stop()
{
    if (!d->daemon)
        return;
    std::vector<MHD_Connection *> waiting;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
        d->takeSuspended(&waiting);
        for (auto &entry : d->commands)
            waiting.push_back(entry.second->connection);
        d->commands.clear();
    }
    // libmicrohttpd must not be stopped with connections suspended.
    d->resume(waiting);
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    d->handler.reset();
}

bool HttpServer::running() const
{
    return d->daemon != nullptr;
}

quint16 HttpServer::port() const
{
    if (!d->daemon)
        return 0;
    const MHD_DaemonInfo *info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : 0;
}

void HttpServer::publish(std::shared_ptr<const RemoteSnapshot> snapshot, bool stateChanged)
{
    std::vector<MHD_Connection *> waiting;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->snapshot = std::move(snapshot);
        if (!stateChanged)
            return;
        ++d->stateVersion;
        d->takeSuspended(&waiting);
    }
    d->resume(waiting);
}

void HttpServer::publishLevels(const double db[RemoteSnapshot::Meters])
{
    const QByteArray text = StatusJson::levels(db);
    std::vector<MHD_Connection *> waiting;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->levels = text;
        ++d->levelsVersion;
        d->takeSuspended(&waiting);
    }
    d->resume(waiting);
}

void HttpServer::keepAlive()
{
    std::vector<MHD_Connection *> waiting;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        const qint64 now = d->now();
        for (Private::Stream *stream : d->streamList) {
            if (now - stream->lastWriteMs < QuietStreamMs)
                continue;
            stream->keepAliveDue = true;
            if (stream->suspended) {
                stream->suspended = false;
                waiting.push_back(stream->connection);
            }
        }
    }
    d->resume(waiting);
}

void HttpServer::complete(quint64 id)
{
    MHD_Connection *connection = nullptr;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        const auto it = d->commands.find(id);
        if (it == d->commands.end())
            return;
        it->second->commandDone = true;
        connection = it->second->connection;
        d->commands.erase(it);
    }
    d->resume({ connection });
}

int HttpServer::clients() const
{
    return d->connections.load();
}

int HttpServer::streams() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return int(d->streamList.size());
}

// --- the server's thread ---

void HttpServer::Private::resume(const std::vector<MHD_Connection *> &list)
{
    for (MHD_Connection *connection : list)
        MHD_resume_connection(connection);
}

void HttpServer::Private::takeSuspended(std::vector<MHD_Connection *> *list)
{
    for (Stream *stream : streamList) {
        if (stream->suspended) {
            stream->suspended = false;
            list->push_back(stream->connection);
        }
    }
}

std::shared_ptr<const RemoteSnapshot> HttpServer::Private::currentSnapshot()
{
    std::lock_guard<std::mutex> lock(mutex);
    return snapshot;
}

MHD_Result HttpServer::Private::acceptPolicy(void *cls, const sockaddr *address, socklen_t)
{
    auto *self = static_cast<Private *>(cls);
    return AccessRules::allowed(self->config.allow, peerAddress(address)) ? MHD_YES : MHD_NO;
}

void *HttpServer::Private::requestStarted(void *cls, const char *, MHD_Connection *connection)
{
    auto *self = static_cast<Private *>(cls);
    auto *request = new Request;
    request->startedMs = self->now();
    request->connection = connection;
    return request;
}

void HttpServer::Private::requestDone(void *cls, MHD_Connection *, void **context,
                                      MHD_RequestTerminationCode)
{
    auto *self = static_cast<Private *>(cls);
    auto *request = static_cast<Request *>(*context);
    if (!request)
        return;
    if (request->commandId) {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->commands.erase(request->commandId);
    }
    delete request;
    *context = nullptr;
}

void HttpServer::Private::connectionNotice(void *cls, MHD_Connection *, void **,
                                           MHD_ConnectionNotificationCode code)
{
    auto *self = static_cast<Private *>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED)
        ++self->connections;
    else
        --self->connections;
}

void HttpServer::Private::log(void *, const char *format, va_list arguments)
{
    // Clients that go away or send nonsense are normal on a network; libmicrohttpd's words for
    // them would only fill the journal.
    Q_UNUSED(format);
    Q_UNUSED(arguments);
}

namespace {

struct HeadSize
{
    size_t bytes = 0;
};

MHD_Result countHeader(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    auto *size = static_cast<HeadSize *>(cls);
    size->bytes += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
    return MHD_YES;
}

QByteArray header(MHD_Connection *connection, const char *name)
{
    return QByteArray(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name));
}

} // namespace

MHD_Result HttpServer::Private::access(void *cls, MHD_Connection *connection, const char *url,
                                       const char *method, const char *version,
                                       const char *uploadData, size_t *uploadSize, void **context)
{
    auto *self = static_cast<Private *>(cls);
    auto *request = static_cast<Request *>(*context);
    if (!request) {
        request = static_cast<Request *>(requestStarted(cls, url, connection));
        *context = request;
    }

    if (!request->headChecked) {
        request->headChecked = true;
        HeadSize head;
        head.bytes = std::strlen(method) + std::strlen(url) + std::strlen(version) + 4;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &countHeader, &head);
        if (head.bytes > size_t(RemoteLimits::MaxHeadBytes))
            return self->reply(connection,
                               RequestHandler::error(431,
                                                     QStringLiteral("the request head has at "
                                                                    "most %1 bytes")
                                                         .arg(RemoteLimits::MaxHeadBytes)),
                               false);
        bool ok = false;
        const qulonglong length
            = header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH).toULongLong(&ok);
        if (ok && length > qulonglong(RemoteLimits::MaxBodyBytes))
            return self->reply(connection,
                               RequestHandler::error(413,
                                                     QStringLiteral("a body has at most %1 "
                                                                    "bytes")
                                                         .arg(RemoteLimits::MaxBodyBytes)),
                               false);
        return MHD_YES;
    }

    if (*uploadSize > 0) {
        if (request->body.size() + qint64(*uploadSize) > RemoteLimits::MaxBodyBytes)
            request->tooLarge = true;
        else
            request->body.append(uploadData, int(*uploadSize));
        *uploadSize = 0;
        return MHD_YES;
    }

    if (request->commandId)
        return self->answerCommand(connection, request);

    if (self->now() - request->startedMs > RemoteLimits::RequestSeconds * 1000)
        return self->reply(connection,
                           RequestHandler::error(408,
                                                 QStringLiteral("a request must be sent "
                                                                "within %1 s")
                                                     .arg(RemoteLimits::RequestSeconds)),
                           false);
    if (request->tooLarge)
        return self->reply(
            connection,
            RequestHandler::error(
                413,
                QStringLiteral("a body has at most %1 bytes").arg(RemoteLimits::MaxBodyBytes)),
            false);

    HttpRequest http;
    http.method = method;
    http.path = url;
    http.authorization = header(connection, MHD_HTTP_HEADER_AUTHORIZATION);
    http.origin = header(connection, "Origin");
    http.host = header(connection, MHD_HTTP_HEADER_HOST);
    http.contentType = header(connection, MHD_HTTP_HEADER_CONTENT_TYPE);
    http.body = request->body;
    const MHD_ConnectionInfo *info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    http.peer = peerAddress(info ? info->client_addr : nullptr);
    http.local = localAddress(connection);
    http.tls = !self->config.certificatePem.isEmpty();
    http.nowMs = self->now();

    RemoteSnapshot shown = *self->currentSnapshot();
    shown.clients = self->connections.load();
    const HttpReply decided = self->handler->handle(http, shown);
    switch (decided.kind) {
    case HttpReply::Stream:
        return self->openStream(connection);
    case HttpReply::Command:
        return self->queueCommand(connection, request, decided.command);
    case HttpReply::Answer:
        break;
    }
    const Router::Route route = Router::route(http.method, http.path).route;
    return self->reply(connection, decided,
                       route == Router::Page || route == Router::Script || route == Router::Style);
}

MHD_Result HttpServer::Private::reply(MHD_Connection *connection, const HttpReply &decided,
                                      bool page)
{
    MHD_Response *response = MHD_create_response_from_buffer(
        size_t(decided.body.size()), const_cast<char *>(decided.body.constData()),
        MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE,
                            decided.contentType.constData());
    for (const auto &h : RequestHandler::commonHeaders(page))
        MHD_add_response_header(response, h.first.constData(), h.second.constData());
    for (const auto &h : decided.headers)
        MHD_add_response_header(response, h.first.constData(), h.second.constData());
    // A refused or malformed request ends its connection: a client that gets it wrong once
    // does not keep a slot.
    if (decided.status >= 400)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result result = MHD_queue_response(connection, unsigned(decided.status), response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result HttpServer::Private::openStream(MHD_Connection *connection)
{
    auto *stream = new Stream;
    stream->server = this;
    stream->connection = connection;
    MHD_Response *response = MHD_create_response_from_callback(
        MHD_SIZE_UNKNOWN, 4096, &Private::readStream, stream, &Private::freeStream);
    if (!response) {
        delete stream;
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/event-stream");
    for (const auto &h : RequestHandler::commonHeaders(false))
        MHD_add_response_header(response, h.first.constData(), h.second.constData());
    // Proxies that buffer would hold the events back.
    MHD_add_response_header(response, "X-Accel-Buffering", "no");

    const MHD_ConnectionInfo *info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info) {
        const int size = StreamSendBuffer;
        setsockopt(info->connect_fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    }
    MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                              unsigned(RemoteLimits::StreamBacklogSeconds));

    int open = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stream->lastWriteMs = now();
        streamList.push_back(stream);
        open = int(streamList.size());
    }
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    if (streamsChanged)
        streamsChanged(open);
    return result;
}

ssize_t HttpServer::Private::readStream(void *cls, uint64_t, char *buffer, size_t max)
{
    auto *stream = static_cast<Stream *>(cls);
    Private *self = stream->server;

    if (stream->outPos >= stream->out.size()) {
        stream->out.clear();
        stream->outPos = 0;
        std::shared_ptr<const RemoteSnapshot> state;
        QByteArray levels;
        bool keepAlive = false;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            if (self->stopping)
                return MHD_CONTENT_READER_END_OF_STREAM;
            // The newest of each kind only: a stream that fell behind skips what it missed.
            if (!stream->greeted || stream->stateSent != self->stateVersion) {
                state = self->snapshot;
                stream->stateSent = self->stateVersion;
            }
            if (stream->levelsSent != self->levelsVersion) {
                levels = self->levels;
                stream->levelsSent = self->levelsVersion;
            }
            keepAlive = stream->keepAliveDue;
            stream->keepAliveDue = false;
            if (!state && levels.isEmpty() && !keepAlive) {
                stream->suspended = true;
                MHD_suspend_connection(stream->connection);
                return 0;
            }
            stream->lastWriteMs = self->now();
        }
        if (!stream->greeted) {
            stream->greeted = true;
            stream->out += "retry: 2000\n\n";
        }
        if (state) {
            RemoteSnapshot shown = *state;
            shown.clients = self->connections.load();
            stream->out += "event: state\ndata: " + StatusJson::status(shown) + "\n\n";
        }
        if (!levels.isEmpty())
            stream->out += "event: levels\ndata: " + levels + "\n\n";
        if (keepAlive && !state && levels.isEmpty())
            stream->out += ": keep-alive\n\n";
    }
    const size_t n = std::min(max, size_t(stream->out.size() - stream->outPos));
    std::memcpy(buffer, stream->out.constData() + stream->outPos, n);
    stream->outPos += int(n);
    return ssize_t(n);
}

void HttpServer::Private::freeStream(void *cls)
{
    auto *stream = static_cast<Stream *>(cls);
    Private *self = stream->server;
    int open = 0;
    {
        std::lock_guard<std::mutex> lock(self->mutex);
        auto &list = self->streamList;
        list.erase(std::remove(list.begin(), list.end(), stream), list.end());
        open = int(list.size());
    }
    delete stream;
    if (self->streamsChanged)
        self->streamsChanged(open);
}

MHD_Result HttpServer::Private::queueCommand(MHD_Connection *connection, Request *request,
                                             const RemoteCommand &command)
{
    quint64 id = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping)
            return reply(connection,
                         RequestHandler::error(503, QStringLiteral("the display is closing")),
                         false);
        id = nextCommand++;
        request->commandId = id;
        commands[id] = request;
        // Suspended before the GUI thread can hear of it, so that its answer never comes
        // before the suspension.
        MHD_suspend_connection(connection);
    }
    commandSink(id, command);
    return MHD_YES;
}

MHD_Result HttpServer::Private::answerCommand(MHD_Connection *connection, Request *request)
{
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = request->commandDone && !stopping;
    }
    if (!done)
        return reply(connection,
                     RequestHandler::error(503, QStringLiteral("the display did not act on it")),
                     false);
    RemoteSnapshot shown = *currentSnapshot();
    shown.clients = connections.load();
    HttpReply answer;
    answer.contentType = "application/json";
    answer.body = StatusJson::status(shown);
    return reply(connection, answer, false);
}
