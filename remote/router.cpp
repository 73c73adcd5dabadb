#include "remote/router.h"

namespace Router {

namespace {

struct Entry
{
    const char *path;
    const char *method;
    Route route;
};

// HEAD is answered wherever GET is (the server sends the head alone).
const Entry Entries[] = {
    { "/", "GET", Page },
    { "/meters.js", "GET", Script },
    { "/meters.css", "GET", Style },
    { "/api/v1/status", "GET", Status },
    { "/api/v1/events", "GET", Events },
    { "/metrics", "GET", Metrics },
    { "/api/v1/reset", "POST", Reset },
    { "/api/v1/countdown", "POST", CountDownStart },
    { "/api/v1/countdown", "DELETE", CountDownCancel },
    { "/api/v1/endtime", "PUT", EndTime },
    { "/api/v1/onair", "PUT", OnAir },
};

} // namespace

Match route(const QByteArray &method, const QByteArray &path)
{
    Match match;
    const QByteArray asked = method == "HEAD" ? QByteArray("GET") : method;
    for (const Entry &entry : Entries) {
        if (path != entry.path)
            continue;
        if (asked == entry.method)
            return { entry.route, {} };
        match.route = MethodNotAllowed;
        match.allow += (match.allow.isEmpty() ? "" : ", ") + QByteArray(entry.method);
        if (qstrcmp(entry.method, "GET") == 0)
            match.allow += ", HEAD";
    }
    return match;
}

bool isCommand(Route route)
{
    return route == Reset || route == CountDownStart || route == CountDownCancel
        || route == EndTime || route == OnAir;
}

} // namespace Router
