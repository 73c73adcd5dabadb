#pragma once

#include <QByteArray>

// Which of the display's few resources a request names, and whether its method fits. The path
// is compared whole and exactly (a query string is no part of it); nothing is served from a
// file system.
namespace Router {

enum Route {
    NotFound,
    MethodNotAllowed,
    Page,
    Script,
    Style,
    Status,
    Events,
    Metrics,
    Reset,
    CountDownStart,
    CountDownCancel,
    EndTime,
    OnAir,
};

struct Match
{
    Route route = NotFound;
    // For MethodNotAllowed: the methods the path takes, for the Allow header.
    QByteArray allow;
};

Match route(const QByteArray &method, const QByteArray &path);

// Commands change the display: they always need the token and a same-origin caller.
bool isCommand(Route route);

} // namespace Router
