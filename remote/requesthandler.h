#pragma once

#include "remote/accessrules.h"
#include "remote/remotecommand.h"
#include "remote/remotesnapshot.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>

#include <mutex>

using HttpHeader = QPair<QByteArray, QByteArray>;

// One request as the server has read it; nothing of it is trusted.
struct HttpRequest
{
    QByteArray method;
    QByteArray path;
    QByteArray authorization;
    QByteArray origin;
    QByteArray host;
    QByteArray contentType;
    QByteArray body;
    QHostAddress peer;
    // This machine's address that the client reached.
    QHostAddress local;
    bool tls = false;
    // Monotonic milliseconds, for the wrong-token count.
    qint64 nowMs = 0;
};

// What to answer: a whole response, a stream of events, or a command to act on first (the
// answer is then the status after it).
struct HttpReply
{
    enum Kind { Answer, Stream, Command };
    Kind kind = Answer;
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    RemoteCommand command;
};

// The compiled-in browser view.
struct WebAssets
{
    QByteArray page;
    QByteArray script;
    QByteArray style;
    static WebAssets load();
};

// Decides every request, in this order: a blocked address (429), a Host that is none of this
// machine's names and addresses (421), the route (404, 405), for a command the caller's origin
// (403), the token where one is needed (401, and 429 after ten
// wrong ones a minute), a command's body (413, 415, 400). Safe to call from any thread.
class RequestHandler
{
public:
    // `names`: the names a request's Host may give besides this machine's addresses and
    // "localhost" (AccessRules::ownHost).
    RequestHandler(const QByteArray &token, bool readNeedsToken, WebAssets assets,
                   const QStringList &names = AccessRules::ownNames());

    HttpReply handle(const HttpRequest &request, const RemoteSnapshot &snapshot);

    // The headers every answer carries: no caching of live data, no sniffing, no framing, and
    // a policy that lets the page load nothing from anywhere but this server.
    static QList<QPair<QByteArray, QByteArray>> commonHeaders(bool page);
    static HttpReply error(int status, const QString &message);

private:
    const QByteArray token;
    const bool readNeedsToken;
    const WebAssets assets;
    const QStringList names;
    std::mutex limiterMutex;
    WrongTokenLimiter limiter;
};
