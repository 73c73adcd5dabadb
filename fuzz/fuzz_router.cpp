// Sends a request made of the fuzzer's input through the router and the whole request
// handler, and its path through the Host rule, and checks what no request may ever get: a
// command acted on without the token, a page from a foreign origin acting, an answer outside
// the codes the server speaks.
//
// Input:
//   byte 0        flags: bit 0 the right token, bit 1 a foreign Origin, bit 2 reading needs
//                 the token, bit 3 TLS, bits 4-7 which of sixteen clients
//   byte 1        length of the method
//   byte 2        length of the path
//   ...           the method, the path, then the body

#include "fuzzcheck.h"
#include "remote/accessrules.h"
#include "remote/requesthandler.h"
#include "remote/router.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const char *bytes = reinterpret_cast<const char *>(data);
    size_t pos = 3;
    const size_t methodLength = std::min<size_t>(data[1], size - pos);
    HttpRequest request;
    request.method = QByteArray(bytes + pos, int(methodLength));
    pos += methodLength;
    const size_t pathLength = std::min<size_t>(data[2], size - pos);
    request.path = QByteArray(bytes + pos, int(pathLength));
    pos += pathLength;
    request.body = QByteArray(bytes + pos, int(size - pos));
    request.contentType = "application/json";
    request.host = "127.0.0.1:8725";
    request.tls = flags & 0x08;
    // Sixteen clients on a clock that moves on, so that some get blocked and the blocks end.
    static qint64 calls = 0;
    request.nowMs = ++calls * 100;
    request.peer = QHostAddress(quint32(0x7F000001 + (flags >> 4)));
    const QByteArray token = "0123456789abcdefghijABCDEFGHIJ_-";
    request.authorization = (flags & 0x01) ? "Bearer " + token : QByteArray("Bearer wrong");
    if (flags & 0x02)
        request.origin = "http://evil.example";

    static RequestHandler open(token, false, WebAssets { "page", "script", "style" });
    static RequestHandler guarded(token, true, WebAssets { "page", "script", "style" });
    RequestHandler &handler = (flags & 0x04) ? guarded : open;
    const HttpReply reply = handler.handle(request, RemoteSnapshot());

    // The Host rule on the same bytes: only this machine's addresses and names pass.
    if (AccessRules::ownHost(request.path, QHostAddress(), { QStringLiteral("studio3") }))
        FUZZ_CHECK(!request.path.isEmpty());

    const Router::Match match = Router::route(request.method, request.path);
    const bool command = Router::isCommand(match.route);
    // The path alone decides whether anything is there.
    FUZZ_CHECK((match.route == Router::NotFound)
               == (Router::route("GET", request.path).route == Router::NotFound
                   && Router::route("POST", request.path).route == Router::NotFound));
    FUZZ_CHECK((match.route == Router::MethodNotAllowed) == !match.allow.isEmpty());
    if (reply.kind == HttpReply::Command) {
        FUZZ_CHECK(command);
        FUZZ_CHECK(flags & 0x01);
        FUZZ_CHECK(!(flags & 0x02));
        FUZZ_CHECK(reply.command.kind != RemoteCommand::None);
    }
    if (reply.kind == HttpReply::Stream)
        FUZZ_CHECK(match.route == Router::Events);
    static const int known[] = { 200, 400, 401, 403, 404, 405, 413, 415, 421, 429 };
    FUZZ_CHECK(std::find(std::begin(known), std::end(known), reply.status) != std::end(known));
    for (const auto &header : reply.headers)
        FUZZ_CHECK(header.first.toLower() != "access-control-allow-origin");
    return 0;
}
