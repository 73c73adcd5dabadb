// What the remote access server costs the GUI thread, with libmicrohttpd on a thread of its own
// (the program's way, HttpServer) or driven from Qt's event loop in its external mode (one
// QSocketNotifier on its epoll descriptor and one single-shot QTimer), under a load from
// outside. The GUI thread runs a 10 ms precise timer, as the release tick; printed: the ticks'
// longest and 99th-percentile gap, and the CPU time of the GUI thread and of the process.
//
//   bench_remote thread|external PORT SECONDS [CERT KEY]
//
// and, from another shell, a flood of requests, each on a new connection (with CERT and KEY,
// each a TLS handshake):
//
//   seq 4000 | sed "s|.*|url = https://127.0.0.1:PORT/metrics|" |
//       curl -sk -o /dev/null -H 'Connection: close' --parallel --parallel-max 4 -K -

#include "remote/httpserver.h"
#include "remote/requesthandler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <microhttpd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

RemoteSnapshot snapshot()
{
    RemoteSnapshot s;
    s.version = QStringLiteral("bench");
    s.nowMs = QDateTime::currentMSecsSinceEpoch();
    s.link = RemoteSnapshot::Live;
    return s;
}

// utime + stime of /proc/<path>/stat, in clock ticks.
long cpuTicks(const char *path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLong() + fields.value(12).toLong();
}

// The external mode's whole server: the same request handler, answered on the GUI thread.
struct External
{
    RequestHandler handler { "0123456789abcdefghijABCDEFGHIJ_-", false, WebAssets::load() };
    RemoteSnapshot state = snapshot();
    QElapsedTimer clock;
    MHD_Daemon *daemon = nullptr;
    QSocketNotifier *notifier = nullptr;
    QTimer timer;

    static MHD_Result access(void *cls, MHD_Connection *connection, const char *url,
                             const char *method, const char *, const char *, size_t *upload,
                             void **context)
    {
        auto *self = static_cast<External *>(cls);
        if (!*context) {
            *context = self;
            return MHD_YES;
        }
        *upload = 0;
        HttpRequest request;
        request.method = method;
        request.path = url;
        request.nowMs = self->clock.elapsed();
        const HttpReply reply = self->handler.handle(request, self->state);
        MHD_Response *response = MHD_create_response_from_buffer(
            size_t(reply.body.size()), const_cast<char *>(reply.body.constData()),
            MHD_RESPMEM_MUST_COPY);
        const MHD_Result result = MHD_queue_response(connection, unsigned(reply.status), response);
        MHD_destroy_response(response);
        return result;
    }

    void run()
    {
        MHD_run(daemon);
        MHD_UNSIGNED_LONG_LONG ms = 0;
        if (MHD_get_timeout(daemon, &ms) == MHD_YES)
            timer.start(int(std::min<MHD_UNSIGNED_LONG_LONG>(ms, 60000)));
        else
            timer.stop();
    }

    bool start(quint16 port, QByteArray &cert, QByteArray &key)
    {
        clock.start();
        unsigned int flags = MHD_USE_EPOLL | (cert.isEmpty() ? 0 : MHD_USE_TLS);
        daemon = MHD_start_daemon(
            flags, port, nullptr, nullptr, &External::access, this, MHD_OPTION_CONNECTION_LIMIT,
            16u, MHD_OPTION_PER_IP_CONNECTION_LIMIT, 4u, MHD_OPTION_CONNECTION_TIMEOUT, 5u,
            cert.isEmpty() ? MHD_OPTION_END : MHD_OPTION_HTTPS_MEM_CERT, cert.constData(),
            MHD_OPTION_HTTPS_MEM_KEY, key.constData(), MHD_OPTION_END);
        if (!daemon)
            return false;
        const MHD_DaemonInfo *info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_EPOLL_FD);
        notifier = new QSocketNotifier(info->epoll_fd, QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [this]() { run(); });
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this]() { run(); });
        return true;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_remote thread|external PORT SECONDS [CERT KEY]\n");
        return 2;
    }
    const bool external = qstrcmp(argv[1], "external") == 0;
    const quint16 port = quint16(std::atoi(argv[2]));
    const int seconds = std::atoi(argv[3]);
    QByteArray cert, key;
    if (argc > 5) {
        QFile c(QString::fromLocal8Bit(argv[4])), k(QString::fromLocal8Bit(argv[5]));
        if (!c.open(QIODevice::ReadOnly) || !k.open(QIODevice::ReadOnly))
            return 1;
        cert = c.readAll();
        key = k.readAll();
    }

    External externalServer;
    HttpServer threadServer([](quint64, const RemoteCommand &) {}, [](int) {});
    if (external) {
        if (!externalServer.start(port, cert, key))
            return 1;
    } else {
        HttpServer::Config config;
        config.address = QHostAddress(QHostAddress::LocalHost);
        config.port = port;
        config.certificatePem = cert;
        config.keyPem = key;
        config.token = "0123456789abcdefghijABCDEFGHIJ_-";
        QString error;
        if (!threadServer.start(config, &error))
            return 1;
        threadServer.publish(std::make_shared<RemoteSnapshot>(snapshot()), true);
    }

    std::vector<qint64> gaps;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    qint64 last = 0;
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - last);
        last = now;
    });
    const long guiBefore = cpuTicks("/proc/thread-self/stat");
    const long allBefore = cpuTicks("/proc/self/stat");
    clock.start();
    tick.start(10);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const long gui = cpuTicks("/proc/thread-self/stat") - guiBefore;
    const long all = cpuTicks("/proc/self/stat") - allBefore;

    std::sort(gaps.begin(), gaps.end());
    const double p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100] / 1e6;
    const double longest = gaps.empty() ? 0 : gaps.back() / 1e6;
    std::printf("%s%s: tick gap longest %.1f ms, p99 %.1f ms; CPU GUI thread %.2f s, process "
                "%.2f s in %d s\n",
                external ? "external" : "thread", cert.isEmpty() ? "" : "+tls", longest, p99,
                gui / 100.0, all / 100.0, seconds);
    return 0;
}
