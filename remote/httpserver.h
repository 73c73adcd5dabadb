#pragma once

#include "dialogs/remotesettings.h"
#include "remote/remotecommand.h"
#include "remote/remotesnapshot.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <functional>
#include <memory>

// libmicrohttpd on a thread of its own. The GUI thread never waits for a client: it hands over
// immutable snapshots and level events (a short lock, no I/O under it), and gets commands
// through a function the server's thread calls, which must only queue them; the command's
// answer waits, suspended, until the GUI thread says it has acted. Streams that cannot keep up
// lose level events (the newest wins) and are closed after RemoteLimits::StreamBacklogSeconds
// without progress.
class HttpServer
{
public:
    struct Config
    {
        QHostAddress address;
        // 0: any free port (tests).
        quint16 port = 0;
        QByteArray certificatePem;
        QByteArray keyPem;
        QList<RemoteSettings::Network> allow;
        QByteArray token;
        bool readNeedsToken = false;
    };

    // Called on the server's thread: queue the command to the GUI thread and return.
    using CommandSink = std::function<void(quint64 id, const RemoteCommand &command)>;
    // Called on the server's thread when a stream opens or closes, with the number open.
    using StreamsChanged = std::function<void(int streams)>;

    HttpServer(CommandSink commands, StreamsChanged streamsChanged);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    bool start(const Config &config, QString *error);
    // Answers what waits (503), closes every connection and joins the thread.
    void stop();
    bool running() const;
    quint16 port() const;

    // From the GUI thread. `stateChanged`: the streams get a `state` event.
    void publish(std::shared_ptr<const RemoteSnapshot> snapshot, bool stateChanged);
    void publishLevels(const double db[RemoteSnapshot::Meters]);
    // Each stream that sent nothing for a while gets a comment line.
    void keepAlive();
    // Command `id` has been acted on (and the snapshot published): answer it.
    void complete(quint64 id);

    int clients() const;
    int streams() const;

    struct Private;

private:
    std::unique_ptr<Private> d;
};
