#pragma once

#include "dialogs/clocksettings.h"
#include "dialogs/remotesettings.h"
#include "remote/alarmevent.h"
#include "remote/leveldecimator.h"
#include "remote/remotecommand.h"
#include "remote/remotesnapshot.h"

#include <QObject>
#include <QTime>

#include <memory>

class HttpServer;
class QTimer;
class WebhookSender;

// The display's network side as the window sees it: it listens while the settings say so,
// serves what the window last published, turns commands from the network into signals on the
// GUI thread, and sends alarms to the webhooks and the journal. Off, it holds nothing: no
// socket, no timer, no thread.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    explicit RemoteControl(QObject *parent = nullptr);
    ~RemoteControl() override;

    // Starts, restarts or stops listening and the webhooks to match `settings`. False when it
    // should listen and cannot; `error` says why (the port is taken, the TLS files).
    bool apply(const RemoteSettings &settings, QString *error = nullptr);
    bool listening() const;
    quint16 port() const;

    // The window's state, whenever it changes, and within its slots for the command signals
    // below: a command's answer is the state published by then.
    void publish(const RemoteSnapshot &snapshot);
    // Each accepted frame's six levels in dB; thinned to the streams' level events.
    void frameLevels(const double db[RemoteSnapshot::Meters]);
    // An alarm transition: to the journal, to the webhooks, and counted.
    void alarm(const AlarmEvent &event);
    // A new over on `pair`, the `overs`-th since its lamp was last reset: every one is counted,
    // and the first, the lamp latching, is the alarm. Those that follow while it stays latched
    // are no news, and a hot or noisy feed makes thousands a second.
    void over(int pair, int overs, qint64 timeMs);

    quint64 webhookFailures() const;

signals:
    void resetRequested();
    // `seconds` 0: the last count-down's length again.
    void countDownRequested(int seconds);
    void countDownCancelled();
    void endTimeRequested(ClockSettings::EndMode mode, const QTime &time);
    void onAirRequested(bool on);

private:
    void runCommand(quint64 generation, quint64 id, const RemoteCommand &command);
    void streamsChanged(int streams);
    void flushLevels();
    void republish();

    std::unique_ptr<HttpServer> server;
    quint64 generation = 0;
    WebhookSender *webhooks = nullptr;
    QTimer *levelTimer = nullptr;
    QTimer *keepAliveTimer = nullptr;
    // Streams open, as last heard from the server's thread: levels are thinned only for them.
    int streamsOpen = 0;
    LevelDecimator decimator;
    QString displayName;
    int utcOffsetSeconds = 0;

    RemoteSnapshot published;
    bool publishedAny = false;
    quint64 overEvents[RemoteSnapshot::Pairs] = {};
    quint64 silenceEvents[RemoteSnapshot::Pairs] = {};
};
