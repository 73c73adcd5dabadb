#include "feedprocess.h"
#include "ptypair.h"
#include "serverdisplay.h"
#include "testsupport.h"

#include <QHostAddress>

// An installer checks a server display from another machine: orvane-feed plays the console on
// the server's serial line, the real program forwards every frame as a broadcast, and the
// monitor on the second host (this test's namespace, netns/twohosts.sh) must show each one.

namespace {

const QString Feed = QStringLiteral(ORVANE_FEED_BINARY);
const QString Meters = QStringLiteral(ORVANE_METERS_BINARY);
const QString ServerAddress = QStringLiteral("10.99.0.1");
const QString ClientAddress = QStringLiteral("10.99.0.2");
const quint16 Port = 47210;

} // namespace

class TestFeedForward : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void monitorShowsWhatTheServerForwards();

private:
    PtyPair line;
    ServerDisplay server;
};

void TestFeedForward::initTestCase()
{
    const QString serverNamespace = qEnvironmentVariable("ORVANE_SERVER_NETNS");
    if (serverNamespace.isEmpty() || !onCableOnly(QHostAddress(ClientAddress)))
        QFAIL("run this test through netns/twohosts.sh, as root");
    QVERIFY2(line.start(), qPrintable(line.error()));

    // The server display: server on the cable's address, reading the line.
    QVERIFY2(server.start(Meters, serverNamespace, line.programEnd(), ServerAddress,
                          QString::number(Port)),
             qPrintable(server.error()));
}

void TestFeedForward::cleanupTestCase()
{
    server.stop();
    line.stop();
}

// The console sends a ramp that makes every frame unique; the monitor, taking frames from the
// server only, must show a run of consecutive frames, each exactly as sent.
void TestFeedForward::monitorShowsWhatTheServerForwards()
{
    const int shown = 50;
    FeedProcess monitor(Feed);
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--udp-listen"),
                            QString::number(Port), QStringLiteral("--from"), ServerAddress,
                            QStringLiteral("--count"), QString::number(shown) }));
    QVERIFY2(monitor.waitForLine(QStringLiteral("Listening on UDP port")),
             qPrintable(monitor.err));

    // 0.04 dB a frame on the first meter for 30 s; the others each a level of their own.
    FeedProcess console(Feed);
    QVERIFY(console.start({ QStringLiteral("--serial"), line.testEnd(), QStringLiteral("--rate"),
                            QStringLiteral("50"), QStringLiteral("--count"),
                            QStringLiteral("1500"), QStringLiteral("--every"), QStringLiteral("1"),
                            QStringLiteral("--channel"), QStringLiteral("1=ramp:-50:10:30s"),
                            QStringLiteral("--channel"), QStringLiteral("2=-6"),
                            QStringLiteral("--channel"), QStringLiteral("sub=steps:-30,-20:100ms"),
                            QStringLiteral("--channel"), QStringLiteral("crm=-40.125") }));

    // The server display needs a moment to start and open its line.
    QVERIFY2(monitor.finish(30000), "the monitor saw too few forwarded frames");
    QCOMPARE(monitor.exitCode(), 0);
    QCOMPARE(server.state(), QProcess::Running);
    console.interrupt();
    QVERIFY(console.finish());
    QCOMPARE(console.exitCode(), 0);

    const QList<QStringList> sent = console.frameLines();
    const QList<QStringList> seen = monitor.frameLines();
    QCOMPARE(seen.size(), shown);
    QVERIFY(sent.size() >= shown);
    int first = -1;
    for (int i = 0; i < sent.size() && first < 0; ++i) {
        if (levelsOf(sent[i]) == levelsOf(seen[0]))
            first = i;
    }
    QVERIFY2(first >= 0, qPrintable(seen[0].join(' ')));
    QVERIFY(first + shown <= sent.size());
    for (int i = 0; i < shown; ++i) {
        QCOMPARE(seen[i][1], ServerAddress + QStringLiteral(":%1").arg(Port));
        QCOMPARE(levelsOf(seen[i]), levelsOf(sent[first + i]));
    }
    QCOMPARE(monitor.summary(QStringLiteral("other senders")), QStringLiteral("0"));
    QCOMPARE(monitor.summary(QStringLiteral("malformed datagrams")), QStringLiteral("0"));
    QCOMPARE(monitor.summary(QStringLiteral("without markers")), QStringLiteral("0"));
}

ORVANE_TEST_GUILESS_MAIN(TestFeedForward)

#include "tst_feedforward.moc"
