#include "remote/requesthandler.h"

#include "remote/metricstext.h"
#include "remote/statusjson.h"

#include <QFile>

// The page is compiled into the static library, where nothing would otherwise keep it.
static void initRemoteResources()
{
    Q_INIT_RESOURCE(remote);
}

namespace {

QByteArray resource(const QString &name)
{
    QFile file(QStringLiteral(":/remote/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HttpReply answer(const QByteArray &contentType, const QByteArray &body)
{
    HttpReply reply;
    reply.contentType = contentType;
    reply.body = body;
    return reply;
}

} // namespace

WebAssets WebAssets::load()
{
    initRemoteResources();
    return { resource(QStringLiteral("index.html")), resource(QStringLiteral("meters.js")),
             resource(QStringLiteral("meters.css")) };
}

RequestHandler::RequestHandler(const QByteArray &secret, bool readsNeedToken, WebAssets web,
                               const QStringList &ownNames)
    : token(secret)
    , readNeedsToken(readsNeedToken)
    , assets(std::move(web))
    , names(ownNames)
{
}

QList<QPair<QByteArray, QByteArray>> RequestHandler::commonHeaders(bool page)
{
    QList<QPair<QByteArray, QByteArray>> headers {
        { "Cache-Control", page ? "no-cache" : "no-store" },
        { "X-Content-Type-Options", "nosniff" },
        { "X-Frame-Options", "DENY" },
        { "Referrer-Policy", "no-referrer" },
    };
    if (page)
        headers.append(HttpHeader("Content-Security-Policy",
                                  "default-src 'none'; script-src 'self'; style-src 'self'; "
                                  "connect-src 'self'; img-src 'self'; frame-ancestors 'none'; "
                                  "base-uri 'none'; form-action 'none'"));
    return headers;
}

HttpReply RequestHandler::error(int status, const QString &message)
{
    HttpReply reply = answer("application/json", StatusJson::error(message));
    reply.status = status;
    return reply;
}

HttpReply RequestHandler::handle(const HttpRequest &request, const RemoteSnapshot &snapshot)
{
    {
        std::lock_guard<std::mutex> lock(limiterMutex);
        if (limiter.blocked(request.peer, request.nowMs)) {
            HttpReply reply
                = error(429, QStringLiteral("too many wrong tokens from this address"));
            reply.headers.append(HttpHeader(
                "Retry-After",
                QByteArray::number(limiter.retryAfterSeconds(request.peer, request.nowMs))));
            return reply;
        }
    }

    if (!AccessRules::ownHost(request.host, request.local, names))
        return error(421,
                     QStringLiteral("this display answers only to its own names and "
                                    "addresses"));

    const Router::Match match = Router::route(request.method, request.path);
    if (match.route == Router::NotFound)
        return error(404, QStringLiteral("no such resource"));
    if (match.route == Router::MethodNotAllowed) {
        HttpReply reply = error(
            405, QStringLiteral("this resource takes %1").arg(QString::fromLatin1(match.allow)));
        reply.headers.append(HttpHeader("Allow", match.allow));
        return reply;
    }

    const bool command = Router::isCommand(match.route);
    if (command && !AccessRules::sameOrigin(request.origin, request.host, request.tls))
        return error(403, QStringLiteral("a command must come from this server's own page"));

    const bool isPage = match.route == Router::Page || match.route == Router::Script
        || match.route == Router::Style;
    if (command || (readNeedsToken && !isPage)) {
        const QByteArray given = AccessRules::bearerToken(request.authorization);
        if (given.isEmpty() || !AccessRules::sameSecret(given, token)) {
            if (!given.isEmpty()) {
                std::lock_guard<std::mutex> lock(limiterMutex);
                if (limiter.wrongToken(request.peer, request.nowMs)) {
                    HttpReply reply = error(429,
                                            QStringLiteral("too many wrong tokens from this "
                                                           "address"));
                    reply.headers.append(HttpHeader("Retry-After",
                                                    QByteArray::number(limiter.retryAfterSeconds(
                                                        request.peer, request.nowMs))));
                    return reply;
                }
            }
            HttpReply reply = error(401,
                                    given.isEmpty() ? QStringLiteral("this needs the access token")
                                                    : QStringLiteral("wrong access token"));
            reply.headers.append(HttpHeader("WWW-Authenticate", "Bearer realm=\"orvane\""));
            return reply;
        }
    }

    switch (match.route) {
    case Router::Page:
        return answer("text/html; charset=utf-8", assets.page);
    case Router::Script:
        return answer("text/javascript; charset=utf-8", assets.script);
    case Router::Style:
        return answer("text/css; charset=utf-8", assets.style);
    case Router::Status:
        return answer("application/json", StatusJson::status(snapshot));
    case Router::Metrics:
        return answer(MetricsText::ContentType, MetricsText::render(snapshot));
    case Router::Events: {
        HttpReply reply;
        reply.kind = HttpReply::Stream;
        reply.contentType = "text/event-stream";
        return reply;
    }
    default:
        break;
    }

    if (request.body.size() > RemoteLimits::MaxBodyBytes)
        return error(413,
                     QStringLiteral("a command's body has at most %1 bytes")
                         .arg(RemoteLimits::MaxBodyBytes));
    const QByteArray type = request.contentType.split(';').value(0).trimmed().toLower();
    if (!request.body.trimmed().isEmpty() && type != "application/json")
        return error(415, QStringLiteral("a command's body is application/json"));
    QString why;
    HttpReply reply;
    reply.command = RemoteCommand::parse(match.route, request.body, &why);
    if (reply.command.kind == RemoteCommand::None)
        return error(400, why);
    reply.kind = HttpReply::Command;
    return reply;
}
