#include "remote/remotecontrol.h"

#include "remote/accessrules.h"
#include "remote/alarmjournal.h"
#include "remote/httpserver.h"
#include "remote/webhooksender.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <QTimer>

namespace {

qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

bool readFile(const QString &path, QByteArray *contents)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A PEM file is a few kilobytes; anything much larger is not one.
    *contents = file.read(1024 * 1024);
    return !contents->isEmpty();
}

} // namespace

RemoteControl::RemoteControl(QObject *parent)
    : QObject(parent)
    // The journal's name for the display until the window publishes one.
    , displayName(QSysInfo::machineHostName())
    , utcOffsetSeconds(QDateTime::currentDateTime().offsetFromUtc())
{
}

RemoteControl::~RemoteControl()
{
    // Answers what waits before the signals' receivers go.
    server.reset();
}

bool RemoteControl::apply(const RemoteSettings &settings, QString *error)
{
    server.reset();
    ++generation;
    delete levelTimer;
    levelTimer = nullptr;
    delete keepAliveTimer;
    keepAliveTimer = nullptr;
    streamsOpen = 0;
    decimator = LevelDecimator();

    if (settings.enabled && !settings.webhooks.isEmpty()) {
        if (!webhooks) {
            webhooks = new WebhookSender(this);
            connect(webhooks, &WebhookSender::countsChanged, this, &RemoteControl::republish);
        }
        webhooks->setTargets(settings.webhooks, settings.token.toUtf8());
    } else {
        delete webhooks;
        webhooks = nullptr;
    }
    if (!settings.enabled)
        return true;

    HttpServer::Config config;
    config.address = settings.bindAddress();
    config.port = settings.port;
    config.allow = settings.networks();
    config.token = settings.token.toUtf8();
    config.readNeedsToken = settings.readNeedsToken;
    if (!settings.tlsCert.isEmpty()) {
        if (!readFile(settings.tlsCert, &config.certificatePem)
            || !readFile(settings.tlsKey, &config.keyPem)) {
            if (error)
                *error = tr("cannot read the certificate or the key for HTTPS");
            return false;
        }
    }

    const quint64 serving = generation;
    auto sink = [this, serving](quint64 id, const RemoteCommand &command) {
        QMetaObject::invokeMethod(
            this, [this, serving, id, command]() { runCommand(serving, id, command); },
            Qt::QueuedConnection);
    };
    auto streams = [this](int open) {
        QMetaObject::invokeMethod(
            this, [this, open]() { streamsChanged(open); }, Qt::QueuedConnection);
    };
    server = std::make_unique<HttpServer>(sink, streams);
    if (!server->start(config, error)) {
        server.reset();
        return false;
    }
    levelTimer = new QTimer(this);
    levelTimer->setSingleShot(true);
    connect(levelTimer, &QTimer::timeout, this, &RemoteControl::flushLevels);
    republish();
    return true;
}

bool RemoteControl::listening() const
{
    return server != nullptr;
}

quint16 RemoteControl::port() const
{
    return server ? server->port() : 0;
}

void RemoteControl::publish(const RemoteSnapshot &snapshot)
{
    const bool changed = !publishedAny || !snapshot.sameState(published);
    published = snapshot;
    publishedAny = true;
    displayName = snapshot.displayName;
    utcOffsetSeconds = snapshot.utcOffsetSeconds;
    if (!server)
        return;
    auto served = std::make_shared<RemoteSnapshot>(snapshot);
    std::copy(overEvents, overEvents + RemoteSnapshot::Pairs, served->overEvents);
    std::copy(silenceEvents, silenceEvents + RemoteSnapshot::Pairs, served->silenceEvents);
    served->webhookFailures = webhooks ? webhooks->failures() : 0;
    served->webhooksDropped = webhooks ? webhooks->dropped() : 0;
    server->publish(std::move(served), changed);
}

void RemoteControl::republish()
{
    if (!server)
        return;
    const RemoteSnapshot snapshot = published;
    publishedAny = false;
    publish(snapshot);
}

void RemoteControl::frameLevels(const double db[RemoteSnapshot::Meters])
{
    // Without a stream there is nobody to thin them for: no work and no wake per frame.
    if (!server || streamsOpen == 0)
        return;
    double out[RemoteSnapshot::Meters];
    const qint64 now = monotonicMs();
    if (decimator.feed(db, now, out))
        server->publishLevels(out);
    const qint64 deadline = decimator.deadlineMs();
    if (deadline >= 0 && !levelTimer->isActive())
        levelTimer->start(int(qMax<qint64>(0, deadline - now)));
}

void RemoteControl::flushLevels()
{
    if (!server)
        return;
    double out[RemoteSnapshot::Meters];
    const qint64 now = monotonicMs();
    if (decimator.flush(now, out))
        server->publishLevels(out);
    else if (decimator.deadlineMs() >= 0)
        // A coarse timer may come a little early: the window's end is still to come.
        levelTimer->start(int(qMax<qint64>(1, decimator.deadlineMs() - now)));
}

void RemoteControl::alarm(const AlarmEvent &event)
{
    AlarmJournal::write(event, displayName);
    const bool counted = event.pair >= 0 && event.pair < RemoteSnapshot::Pairs;
    if (counted && event.kind == AlarmEvent::Silence && event.state == QLatin1String("raised"))
        ++silenceEvents[event.pair];
    if (webhooks)
        webhooks->send(event.toJson(displayName, utcOffsetSeconds),
                       AlarmEvent::kindName(event.kind));
    republish();
}

void RemoteControl::over(int pair, int overs, qint64 timeMs)
{
    if (pair < 0 || pair >= RemoteSnapshot::Pairs)
        return;
    ++overEvents[pair];
    if (overs == 1)
        alarm(AlarmEvent::over(pair, overs, timeMs));
}

quint64 RemoteControl::webhookFailures() const
{
    return webhooks ? webhooks->failures() : 0;
}

void RemoteControl::runCommand(quint64 serving, quint64 id, const RemoteCommand &command)
{
    // A command for a server that has since been replaced was answered when it stopped.
    if (serving != generation || !server)
        return;
    switch (command.kind) {
    case RemoteCommand::Reset:
        emit resetRequested();
        break;
    case RemoteCommand::CountDown:
        emit countDownRequested(command.seconds);
        break;
    case RemoteCommand::CancelCountDown:
        emit countDownCancelled();
        break;
    case RemoteCommand::EndTime:
        emit endTimeRequested(command.endMode, command.endTime);
        break;
    case RemoteCommand::OnAir:
        emit onAirRequested(command.on);
        break;
    case RemoteCommand::None:
        break;
    }
    // A receiver may have changed the settings and so replaced the server.
    if (server && serving == generation)
        server->complete(id);
}

void RemoteControl::streamsChanged(int)
{
    if (!server)
        return;
    // The count as it is now: the notices come queued, and may be out of date.
    const int streams = server->streams();
    streamsOpen = streams;
    if (streams == 0) {
        levelTimer->stop();
        decimator = LevelDecimator();
    }
    // Only while someone listens: an idle display with no stream open is not woken for it.
    if (streams > 0 && !keepAliveTimer) {
        keepAliveTimer = new QTimer(this);
        connect(keepAliveTimer, &QTimer::timeout, this, [this]() {
            if (server)
                server->keepAlive();
        });
        keepAliveTimer->start(RemoteLimits::KeepAliveSeconds * 1000);
    } else if (streams == 0 && keepAliveTimer) {
        delete keepAliveTimer;
        keepAliveTimer = nullptr;
    }
}
