// The remote access server end to end on loopback: the real libmicrohttpd server behind
// RemoteControl, real sockets, real promtool, curl and openssl, a webhook receiver of the
// test's own. The snapshot stands in for the window's state.

#include "dialogs/remotesettings.h"
#include "remote/accessrules.h"
#include "remote/alarmevent.h"
#include "remote/remotecontrol.h"

#include "httpclient.h"
#include "promtool.h"
#include "stresswatch.h"
#include "testsupport.h"
#include "webhookreceiver.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

using namespace OrvaneTest;

namespace {

const QByteArray Token = "0123456789abcdefghijABCDEFGHIJ_-xyz";

RemoteSettings settingsOn()
{
    RemoteSettings s;
    s.enabled = true;
    s.listen = RemoteSettings::Loopback;
    s.port = 0; // a free port, read back from the server
    s.token = QString::fromLatin1(Token);
    return s;
}

RemoteSnapshot liveSnapshot()
{
    RemoteSnapshot s;
    s.version = QStringLiteral("1.7.0");
    s.displayName = QStringLiteral("Studio \"3\"");
    s.nowMs = QDateTime::currentMSecsSinceEpoch();
    s.startedMs = s.nowMs - 90000;
    s.link = RemoteSnapshot::Live;
    s.linkSource = QStringLiteral("/dev/ttyUSB0");
    s.lastFrameMs = s.nowMs - 12;
    s.framesAccepted = 4500;
    for (int m = 0; m < RemoteSnapshot::Meters; ++m)
        s.meters[m] = { -20.0 + m, -10.0 + m };
    const char *captions[] = { "PROG", "SUB", "CRM" };
    for (int p = 0; p < RemoteSnapshot::Pairs; ++p)
        s.pairs[p].caption = QLatin1String(captions[p]);
    s.pairs[0].overLatched = true;
    s.pairs[0].overCount = 2;
    s.pairs[0].lastOverMs = s.nowMs - 5000;
    s.pairs[1].silenceActive = true;
    s.pairs[1].silenceSinceMs = s.nowMs - 13000;
    s.clockSynchronised = true;
    s.clockLegend = QStringLiteral("SYNC ±3 ms");
    s.clockMaxErrorS = 0.012;
    return s;
}

QList<Header> bearer(const QByteArray &token = Token)
{
    return { { "Authorization", "Bearer " + token } };
}

QJsonObject json(const HttpResponse &response)
{
    return QJsonDocument::fromJson(response.body).object();
}

int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

} // namespace

class TestRemoteServer : public QObject
{
    Q_OBJECT

private slots:
    void offByDefaultHoldsNothing();
    void statusMetricsAndPage();
    void commandsNeedTokenAndOwnOrigin();
    void tenWrongTokensBlockTheAddress();
    void requestLimits();
    void streamCarriesStateAndThinnedLevels();
    void sixteenStreamsAndNoMore();
    void stalledClientNeitherGrowsNorBlocks();
    void webhookIsSignedAndRetried();
    void overIsAnAlarmOnlyWhenItsLampLatches();
    void httpsWithTheOperatorsFiles();
};

void TestRemoteServer::offByDefaultHoldsNothing()
{
    QSettings store;
    store.remove(QStringLiteral("remote"));
    const int threadsBefore = threadCount();
    RemoteControl remote;
    QVERIFY(remote.apply(RemoteSettings::read(store)));
    QVERIFY(!remote.listening());
    QCOMPARE(remote.findChildren<QTimer *>().size(), 0);
    QCOMPARE(threadCount(), threadsBefore);
}

void TestRemoteServer::statusMetricsAndPage()
{
    RemoteControl remote;
    const int threadsBefore = threadCount();
    QVERIFY(remote.apply(settingsOn()));
    QVERIFY(threadCount() > threadsBefore);
    // Overs while the lamp stays latched are counted in the next published state.
    remote.over(0, 1, liveSnapshot().nowMs);
    remote.over(0, 2, liveSnapshot().nowMs);
    remote.publish(liveSnapshot());
    const quint16 port = remote.port();
    QVERIFY(port > 0);

    const HttpResponse status = httpFetch(port, "GET", "/api/v1/status");
    QCOMPARE(status.status, 200);
    QCOMPARE(status.headers.value("content-type"), QByteArray("application/json"));
    const QJsonObject s = json(status);
    QCOMPARE(s.value("link").toObject().value("state").toString(), QStringLiteral("live"));
    const QJsonArray meters = s.value("meters").toArray();
    QCOMPARE(meters.size(), 6);
    QCOMPARE(meters.at(3).toObject().value("name").toString(), QStringLiteral("SubRight"));
    QCOMPARE(meters.at(3).toObject().value("level_db").toDouble(), -17.0);
    QCOMPARE(meters.at(3).toObject().value("peak_db").toDouble(), -7.0);
    const QJsonObject prog = s.value("pairs").toObject().value("prog").toObject();
    QCOMPARE(prog.value("caption").toString(), QStringLiteral("PROG"));
    QCOMPARE(prog.value("over").toObject().value("latched").toBool(), true);
    QCOMPARE(prog.value("over").toObject().value("count").toInt(), 2);
    QCOMPARE(s.value("pairs")
                 .toObject()
                 .value("sub")
                 .toObject()
                 .value("silence")
                 .toObject()
                 .value("active")
                 .toBool(),
             true);
    QCOMPARE(s.value("onair").toBool(), false);
    QCOMPARE(s.value("uptime_s").toInt(), 90);

    const HttpResponse metrics = httpFetch(port, "GET", "/metrics");
    QCOMPARE(metrics.status, 200);
    QVERIFY(metrics.headers.value("content-type").startsWith("text/plain; version=0.0.4"));
    QVERIFY(metrics.body.contains("orvane_link_state{state=\"live\"} 1\n"));
    QVERIFY(metrics.body.contains("orvane_link_state{state=\"no_link\"} 0\n"));
    QVERIFY(metrics.body.contains("orvane_level_db{meter=\"ProgLeft\"} -20\n"));
    QVERIFY(metrics.body.contains("orvane_overs_total{pair=\"prog\"} 2\n"));
    QByteArray said;
    QCOMPARE(promtoolCheck(metrics.body, &said), 0);
    QVERIFY2(said.trimmed().isEmpty(), said.constData());

    const HttpResponse page = httpFetch(port, "GET", "/");
    QCOMPARE(page.status, 200);
    QVERIFY(page.body.contains("<canvas"));
    QVERIFY(page.headers.value("content-security-policy").contains("script-src 'self'"));
    QVERIFY(httpFetch(port, "GET", "/meters.js").body.contains("requestAnimationFrame"));
    for (const HttpResponse *r : { &status, &metrics, &page })
        QVERIFY(!r->headers.contains("access-control-allow-origin"));
    QCOMPARE(httpFetch(port, "GET", "/etc/passwd").status, 404);
    const HttpResponse wrongMethod = httpFetch(port, "DELETE", "/api/v1/status");
    QCOMPARE(wrongMethod.status, 405);
    QCOMPARE(wrongMethod.headers.value("allow"), QByteArray("GET, HEAD"));

    // Reading with the token required.
    RemoteSettings guarded = settingsOn();
    guarded.readNeedsToken = true;
    QVERIFY(remote.apply(guarded));
    remote.publish(liveSnapshot());
    QCOMPARE(httpFetch(remote.port(), "GET", "/api/v1/status").status, 401);
    QCOMPARE(httpFetch(remote.port(), "GET", "/api/v1/status", bearer()).status, 200);
    QCOMPARE(httpFetch(remote.port(), "GET", "/").status, 200);

    remote.apply(RemoteSettings());
    QVERIFY(!remote.listening());
    QTRY_COMPARE(threadCount(), threadsBefore);
}

void TestRemoteServer::commandsNeedTokenAndOwnOrigin()
{
    RemoteControl remote;
    QVERIFY(remote.apply(settingsOn()));
    RemoteSnapshot snapshot = liveSnapshot();
    remote.publish(snapshot);
    // Stands in for the window: it acts and publishes within its slot.
    connect(&remote, &RemoteControl::onAirRequested, &remote, [&](bool on) {
        snapshot.onAir = on;
        remote.publish(snapshot);
    });
    QSignalSpy onAir(&remote, &RemoteControl::onAirRequested);
    QSignalSpy countDown(&remote, &RemoteControl::countDownRequested);
    const quint16 port = remote.port();
    const QList<Header> json { { "Content-Type", "application/json" } };
    const QByteArray on = "{\"on\": true}";

    QCOMPARE(httpFetch(port, "PUT", "/api/v1/onair", json, on).status, 401);
    const HttpResponse foreign
        = httpFetch(port, "PUT", "/api/v1/onair",
                    bearer() + json + QList<Header> { { "Origin", "http://evil.example" } }, on);
    QCOMPARE(foreign.status, 403);
    QVERIFY(!foreign.headers.contains("access-control-allow-origin"));
    QCOMPARE(onAir.count(), 0);

    const QByteArray ownOrigin = "http://127.0.0.1:" + QByteArray::number(port);
    const HttpResponse done
        = httpFetch(port, "PUT", "/api/v1/onair",
                    bearer() + json + QList<Header> { { "Origin", ownOrigin } }, on);
    QCOMPARE(done.status, 200);
    QCOMPARE(onAir.count(), 1);
    QCOMPARE(onAir.at(0).at(0).toBool(), true);
    QCOMPARE(QJsonDocument::fromJson(done.body).object().value("onair").toBool(), true);

    const HttpResponse bad
        = httpFetch(port, "POST", "/api/v1/countdown", bearer() + json, "{\"second\": 10}");
    QCOMPARE(bad.status, 400);
    QVERIFY(
        QJsonDocument::fromJson(bad.body).object().value("error").toString().contains("second"));
    QCOMPARE(countDown.count(), 0);
    QCOMPARE(
        httpFetch(port, "POST", "/api/v1/countdown", bearer() + json, "{\"seconds\": 45}").status,
        200);
    QCOMPARE(countDown.count(), 1);
    QCOMPARE(countDown.at(0).at(0).toInt(), 45);
    QCOMPARE(httpFetch(port, "POST", "/api/v1/reset", bearer(), QByteArray(5000, ' ')).status,
             413);
}

void TestRemoteServer::tenWrongTokensBlockTheAddress()
{
    RemoteControl remote;
    QVERIFY(remote.apply(settingsOn()));
    QSignalSpy reset(&remote, &RemoteControl::resetRequested);
    const quint16 port = remote.port();
    for (int i = 1; i < 10; ++i)
        QCOMPARE(httpFetch(port, "POST", "/api/v1/reset", bearer("wrong-token")).status, 401);
    const HttpResponse tenth = httpFetch(port, "POST", "/api/v1/reset", bearer("wrong-token"));
    QCOMPARE(tenth.status, 429);
    QVERIFY(tenth.headers.value("retry-after").toInt() >= 59);
    // Blocked, even with the right token, and reading too.
    QCOMPARE(httpFetch(port, "POST", "/api/v1/reset", bearer()).status, 429);
    QCOMPARE(httpFetch(port, "GET", "/api/v1/status").status, 429);
    QCOMPARE(reset.count(), 0);
    // Another address is not.
    QCOMPARE(
        httpFetch(port, "POST", "/api/v1/reset", bearer(), {}, QHostAddress("127.0.0.2")).status,
        200);
    QCOMPARE(reset.count(), 1);
}

void TestRemoteServer::requestLimits()
{
    RemoteControl remote;
    QVERIFY(remote.apply(settingsOn()));
    const quint16 port = remote.port();
    const HttpResponse big
        = httpFetch(port, "GET", "/api/v1/status", { { "X-Filler", QByteArray(9000, 'x') } });
    QCOMPARE(big.status, 431);
    QCOMPARE(httpFetch(port, "PUT", "/api/v1/onair", bearer(), QByteArray(4097, ' ')).status, 413);
    // A request that stops half-way loses its connection after 5 s of silence.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(slow.waitForConnected(2000));
    slow.write("GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(slow.state() == QAbstractSocket::UnconnectedState, 9000);
    QVERIFY(clock.elapsed() >= (RemoteLimits::RequestSeconds - 1) * 1000);
}

void TestRemoteServer::streamCarriesStateAndThinnedLevels()
{
    RemoteControl remote;
    QVERIFY(remote.apply(settingsOn()));
    RemoteSnapshot snapshot = liveSnapshot();
    remote.publish(snapshot);
    // No stream yet: a frame costs no wake.
    const double resting[6] = { -30, -30, -30, -30, -30, -30 };
    remote.frameLevels(resting);
    remote.frameLevels(resting);
    for (const QTimer *timer : remote.findChildren<QTimer *>())
        QVERIFY(!timer->isActive());
    EventStreamClient client(remote.port());
    QTRY_COMPARE(client.count("state"), 1);
    QCOMPARE(client.status(), 200);

    // 50 frames a second for a second, a one-frame peak of +3 dB in every fifth on ProgLeft.
    QElapsedTimer clock;
    clock.start();
    int sentPeaks = 0;
    for (int frame = 0; frame < 50; ++frame) {
        double db[6] = { -30, -30, -30, -30, -30, -30 };
        if (frame % 5 == 2) {
            db[0] = 3.0;
            ++sentPeaks;
        }
        remote.frameLevels(db);
        QTest::qWait(20);
    }
    const qint64 elapsedMs = clock.elapsed();
    QTRY_VERIFY(client.count("levels") > 0);
    QTest::qWait(200);
    const int events = client.count("levels");
    QVERIFY2(events <= elapsedMs * 25 / 1000 + 2, qPrintable(QString::number(events)));
    QVERIFY(events >= 10);
    int peaksSeen = 0;
    for (const auto &event : client.events())
        peaksSeen += event.name == "levels" && event.data.startsWith("[3.0,");
    QCOMPARE(peaksSeen, sentPeaks);

    // Resting: nothing more.
    QTest::qWait(300);
    QCOMPARE(client.count("levels"), events);
    // A change of state goes out once; the same state again does not.
    snapshot.onAir = true;
    remote.publish(snapshot);
    QTRY_COMPARE(client.count("state"), 2);
    snapshot.framesAccepted += 100; // counters alone are no change of state
    remote.publish(snapshot);
    QTest::qWait(200);
    QCOMPARE(client.count("state"), 2);
    QVERIFY(QJsonDocument::fromJson(client.lastData("state")).object().value("onair").toBool());
}

void TestRemoteServer::sixteenStreamsAndNoMore()
{
    RemoteControl remote;
    QVERIFY(remote.apply(settingsOn()));
    remote.publish(liveSnapshot());
    std::vector<std::unique_ptr<EventStreamClient>> clients;
    auto open = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const QHostAddress address(QStringLiteral("127.0.0.%1").arg(1 + i / 4));
            clients.push_back(std::make_unique<EventStreamClient>(remote.port(), address));
            QTRY_COMPARE(clients.back()->count("state"), 1);
        }
    };
    open(0, 4);
    // A fifth from one address is turned away.
    EventStreamClient fifth(remote.port(), QHostAddress("127.0.0.1"));
    QTRY_VERIFY(fifth.closed());
    QCOMPARE(fifth.count("state"), 0);
    open(4, 16);
    const double db[6] = { -1, -2, -3, -4, -5, -6 };
    remote.frameLevels(db);
    for (const auto &client : clients)
        QTRY_COMPARE(client->count("levels"), 1);
    // A seventeenth waits, unserved, until a place is free.
    EventStreamClient seventeenth(remote.port(), QHostAddress("127.0.0.9"));
    QTest::qWait(500);
    QCOMPARE(seventeenth.count("state"), 0);
    // A stream that rests is not read from, so the server notices a client gone at its next
    // write: the frames that keep coming while the link is live.
    clients.pop_back();
    QTimer frames;
    connect(&frames, &QTimer::timeout, &remote, [&]() { remote.frameLevels(db); });
    frames.start(20);
    QTRY_COMPARE(seventeenth.count("state"), 1);
}

void TestRemoteServer::stalledClientNeitherGrowsNorBlocks()
{
    RemoteControl remote;
    QVERIFY(remote.apply(settingsOn()));
    RemoteSnapshot snapshot = liveSnapshot();
    remote.publish(snapshot);

    // A client that asks for the stream and never reads a byte, with a small window.
    const int stalled = openStalledStream(remote.port());
    QVERIFY(stalled >= 0);
    EventStreamClient healthy(remote.port(), QHostAddress("127.0.0.2"));
    QTRY_COMPARE(healthy.count("state"), 1);

    // The window's 10 ms tick, measured while state and levels change 50 times a second for
    // longer than the backlog limit.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    TickGaps gaps(&tick);
    RssWatch memory;
    tick.start(10);
    gaps.start();
    memory.restart();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < (RemoteLimits::StreamBacklogSeconds + 4) * 1000) {
        snapshot.onAir = !snapshot.onAir;
        snapshot.pairs[2].overCount += 1;
        remote.publish(snapshot);
        const double db[6] = { -3, -3, -3, -3, -3, double(clock.elapsed() % 40) - 40 };
        remote.frameLevels(db);
        QTest::qWait(20);
    }
    gaps.finish();

    // The server gave up on the stalled stream: its end is closed.
    const bool closed = closedByPeer(stalled, 5000);
    ::close(stalled);
    QVERIFY2(closed, "the stalled stream was never closed");
    QVERIFY2(gaps.longestMs() < 60 * TimingSlack, qPrintable(QString::number(gaps.longestMs())));
    QVERIFY2(memory.growthKbAfter(2000) < 4096,
             qPrintable(QString::number(memory.growthKbAfter(2000))));
    // The healthy stream kept up all along.
    QVERIFY(healthy.count("state") > 500);
    QVERIFY(!healthy.closed());
}

void TestRemoteServer::webhookIsSignedAndRetried()
{
    // The receiver refuses the first post, then takes the retry.
    WebhookReceiver receiver(1);
    RemoteSettings settings = settingsOn();
    settings.webhooks
        = QStringList { QStringLiteral("http://127.0.0.1:%1/hook").arg(receiver.port()) };
    RemoteControl remote;
    QVERIFY(remote.apply(settings));
    remote.publish(liveSnapshot());
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    remote.alarm(AlarmEvent::silence(0, true, at));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.posts().size(), 2, 8000);
    QCOMPARE(remote.webhookFailures(), quint64(1));

    const QByteArray post = receiver.posts().at(1);
    const QByteArray body = WebhookReceiver::body(post);
    const QJsonObject event = QJsonDocument::fromJson(body).object();
    QCOMPARE(event.value("event").toString(), QStringLiteral("silence"));
    QCOMPARE(event.value("state").toString(), QStringLiteral("raised"));
    QCOMPARE(event.value("pair").toString(), QStringLiteral("prog"));
    QCOMPARE(event.value("display").toString(), QStringLiteral("Studio \"3\""));
    QCOMPARE(qint64(event.value("time_ms").toDouble()), at);
    // The signature, checked with openssl, not with the program's own code.
    const QByteArray hex = WebhookReceiver::opensslHmac(body, Token);
    QVERIFY(!hex.isEmpty());
    QVERIFY(post.contains("X-Orvane-Signature: sha256=" + hex + "\r\n"));
    QVERIFY(post.startsWith("POST /hook HTTP/1.1"));

    const HttpResponse metrics = httpFetch(remote.port(), "GET", "/metrics");
    QVERIFY(metrics.body.contains("orvane_webhook_failures_total 1\n"));
    QVERIFY(metrics.body.contains("orvane_silence_events_total{pair=\"prog\"} 1\n"));
}

void TestRemoteServer::overIsAnAlarmOnlyWhenItsLampLatches()
{
    WebhookReceiver receiver;
    RemoteSettings settings = settingsOn();
    settings.webhooks
        = QStringList { QStringLiteral("http://127.0.0.1:%1/hook").arg(receiver.port()) };
    RemoteControl remote;
    QVERIFY(remote.apply(settings));
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    for (int overs = 1; overs <= 50; ++overs)
        remote.over(1, overs, at);
    // Sent after the overs: once it is in, what was sent for them is in too.
    remote.alarm(AlarmEvent::silence(2, true, at));
    const auto events = [&receiver] {
        QStringList names;
        for (const QByteArray &post : receiver.posts())
            names << QJsonDocument::fromJson(WebhookReceiver::body(post))
                         .object()
                         .value("event")
                         .toString();
        names.sort();
        return names;
    };
    QTRY_VERIFY_WITH_TIMEOUT(events().contains("silence"), 8000);
    QCOMPARE(events(), QStringList({ "over", "silence" }));

    remote.publish(liveSnapshot());
    const HttpResponse metrics = httpFetch(remote.port(), "GET", "/metrics");
    QVERIFY(metrics.body.contains("orvane_overs_total{pair=\"sub\"} 50\n"));
}

void TestRemoteServer::httpsWithTheOperatorsFiles()
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  { "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert });
    QVERIFY(openssl.waitForFinished(30000));
    QCOMPARE(openssl.exitCode(), 0);

    RemoteSettings settings = settingsOn();
    settings.tlsCert = cert;
    settings.tlsKey = key;
    RemoteControl remote;
    QVERIFY(remote.apply(settings));
    remote.publish(liveSnapshot());
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               { "--silent", "--show-error", "--cacert", cert, "--max-time", "10",
                 QStringLiteral("https://127.0.0.1:%1/api/v1/status").arg(remote.port()) });
    QVERIFY(curl.waitForFinished(20000));
    QCOMPARE(curl.exitCode(), 0);
    QCOMPARE(
        QJsonDocument::fromJson(curl.readAllStandardOutput()).object().value("display").toString(),
        QStringLiteral("Studio \"3\""));

    // A key that cannot be read leaves the display not listening, and says so.
    settings.tlsKey = dir.filePath(QStringLiteral("missing.pem"));
    QString error;
    QVERIFY(!remote.apply(settings, &error));
    QVERIFY(!remote.listening());
    QVERIFY(error.contains(QStringLiteral("key")));
}

ORVANE_TEST_GUILESS_MAIN(TestRemoteServer)
#include "tst_remoteserver.moc"
