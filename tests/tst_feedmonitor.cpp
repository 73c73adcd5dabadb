#include "feedprocess.h"
#include "levelframes.h"
#include "ptypair.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QUdpSocket>

#include <cmath>

// orvane-feed's monitor, the separate program, reading what the test puts on a real pty or
// sends to it over loopback, and what orvane-feed itself sends.

namespace {

const QString Feed = QStringLiteral(ORVANE_FEED_BINARY);

// The six levels a monitor line should show for `frame`, as printed (three decimals).
QStringList printedLevels(const QByteArray &frame)
{
    QStringList levels;
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        const unsigned raw
            = LevelFrame::rawLevel(reinterpret_cast<const unsigned char *>(frame.constData()), i);
        // raw / 1000 - 50, written out digit by digit.
        const int milli = int(raw) - 50000;
        levels << QStringLiteral("%1%2.%3")
                      .arg(milli < 0 ? QStringLiteral("-") : QString())
                      .arg(std::abs(milli) / 1000)
                      .arg(std::abs(milli) % 1000, 3, 10, QLatin1Char('0'));
    }
    return levels;
}

} // namespace

class TestFeedMonitor : public QObject
{
    Q_OBJECT

private slots:
    void decodesDatagrams();
    void fromTakesOneSender();
    void serialStream_data();
    void serialStream();
    void serialBacklogIsDiscarded();
    void vanishedSerialLine();
    void portInUse();
    void durationEndsAQuietWatch();
    void monitorsTheSender();
};

// Frames, datagrams of other sizes and a frame without markers: each shown for what it is,
// and counted in the summary.
void TestFeedMonitor::decodesDatagrams()
{
    const quint16 port = freeUdpPort();
    FeedProcess monitor(Feed);
    QVERIFY(
        monitor.start({ QStringLiteral("monitor"), QStringLiteral("--udp-listen"),
                        QString::number(port), QStringLiteral("--count"), QStringLiteral("4") }));
    QVERIFY2(monitor.waitForLine(QStringLiteral("Listening on UDP port %1").arg(port)),
             qPrintable(monitor.out + monitor.err));

    QUdpSocket sender;
    QVERIFY(sender.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const QHostAddress to(QHostAddress::LocalHost);
    QByteArray noMarkers = frameOf(20000, 1000);
    noMarkers[0] = '\x00';
    noMarkers[15] = '\x00';
    const QList<QByteArray> datagrams
        = { frameOf(0, 11000),   frameOf(1, 2).left(15), noMarkers,
            frameOf(3, 4) + "x", frameOf(55000, 7),      frameOf(65535, 0) };
    for (const QByteArray &datagram : datagrams)
        QCOMPARE(sender.writeDatagram(datagram, to, port), qint64(datagram.size()));

    QVERIFY2(monitor.finish(), "the monitor did not stop after four frames");
    QCOMPARE(monitor.exitCode(), 0);
    const QList<QStringList> lines = monitor.frameLines();
    QCOMPARE(lines.size(), 4);
    const QList<QByteArray> frames = { datagrams[0], datagrams[2], datagrams[4], datagrams[5] };
    const QString peer = QStringLiteral("127.0.0.1:%1").arg(sender.localPort());
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(lines[i][1], peer);
        QCOMPARE(levelsOf(lines[i]), printedLevels(frames[i]));
    }
    QCOMPARE(levelsOf(lines[0]),
             QString("-50.000 -39.000 -28.000 -17.000 -6.000 5.000").split(' '));
    QCOMPARE(levelsOf(lines[3]).join(' '), QString("15.535 ").repeated(6).trimmed());
    QVERIFY(lines[1].join(' ').endsWith(QStringLiteral("no markers")));
    QVERIFY(monitor.out.contains(QStringLiteral("datagram of 15 bytes, no frame")));
    QVERIFY(monitor.out.contains(QStringLiteral("datagram of 17 bytes, no frame")));

    QCOMPARE(monitor.summary(QStringLiteral("frames")), QStringLiteral("4"));
    QCOMPARE(monitor.summary(QStringLiteral("malformed datagrams")), QStringLiteral("2"));
    QCOMPARE(monitor.summary(QStringLiteral("malformed bytes")), QStringLiteral("32"));
    QCOMPARE(monitor.summary(QStringLiteral("without markers")), QStringLiteral("1"));
    QCOMPARE(monitor.summary(QStringLiteral("other senders")), QStringLiteral("0"));
}

// With --from the monitor takes frames as a client display with that client host does.
void TestFeedMonitor::fromTakesOneSender()
{
    const quint16 port = freeUdpPort();
    FeedProcess monitor(Feed);
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--udp-listen"),
                            QString::number(port), QStringLiteral("--from"),
                            QStringLiteral("127.0.0.2"), QStringLiteral("--count"),
                            QStringLiteral("2") }));
    QVERIFY(monitor.waitForLine(QStringLiteral("Listening on UDP port")));

    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    QUdpSocket server;
    QVERIFY(server.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    const QHostAddress to(QHostAddress::LocalHost);
    for (int i = 0; i < 3; ++i)
        stranger.writeDatagram(frameOf(10000, 10), to, port);
    server.writeDatagram(frameOf(30000, 100), to, port);
    server.writeDatagram(frameOf(40000, 100), to, port);

    QVERIFY(monitor.finish());
    QCOMPARE(monitor.exitCode(), 0);
    const QList<QStringList> lines = monitor.frameLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0][1].startsWith(QStringLiteral("127.0.0.2:")));
    QCOMPARE(levelsOf(lines[0]), printedLevels(frameOf(30000, 100)));
    QCOMPARE(levelsOf(lines[1]), printedLevels(frameOf(40000, 100)));
    QCOMPARE(monitor.summary(QStringLiteral("other senders")), QStringLiteral("3"));
}

void TestFeedMonitor::serialStream_data()
{
    QTest::addColumn<int>("every");
    QTest::addColumn<QList<int>>("shown");

    QTest::newRow("every frame") << 1 << QList<int> { 0, 1, 2, 3 };
    QTest::newRow("every other frame") << 2 << QList<int> { 0, 2 };
    QTest::newRow("every third frame") << 3 << QList<int> { 0, 3 };
    QTest::newRow("summary only") << 0 << QList<int>();
}

// The byte stream of a console line, with noise between frames, a frame in pieces and a CR LF
// between two frames.
void TestFeedMonitor::serialStream()
{
    QFETCH(int, every);
    QFETCH(QList<int>, shown);

    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));
    FeedProcess monitor(Feed);
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--serial"),
                            line.programEnd(), QStringLiteral("--count"), QStringLiteral("4"),
                            QStringLiteral("--every"), QString::number(every) }));
    QVERIFY2(monitor.waitForLine(QStringLiteral("Reading ") + line.programEnd()),
             qPrintable(monitor.out + monitor.err));

    const QList<QByteArray> frames
        = { frameOf(100, 9000), frameOf(5000, 100), frameOf(25000, 5000), frameOf(50000, 1) };
    QVERIFY(line.write(QByteArray("\x01\x02\x03", 3) + frames[0]));
    QVERIFY(line.write(frames[1].left(5)));
    QVERIFY(line.write(frames[1].mid(5)));
    // Taking the CR away makes no frame here, so it stays: CR and LF are both no frame, as a
    // display counts them.
    QVERIFY(line.write(frames[2] + "\r\n" + frames[3]));

    QVERIFY2(monitor.finish(), "the monitor did not stop after four frames");
    QCOMPARE(monitor.exitCode(), 0);
    const QList<QStringList> lines = monitor.frameLines();
    QCOMPARE(lines.size(), shown.size());
    for (int i = 0; i < shown.size(); ++i)
        QCOMPARE(levelsOf(lines[i]), printedLevels(frames[shown[i]]));
    QCOMPARE(monitor.summary(QStringLiteral("frames")), QStringLiteral("4"));
    QCOMPARE(monitor.summary(QStringLiteral("malformed bytes")), QStringLiteral("5"));
    QCOMPARE(monitor.summary(QStringLiteral("CR removed before LF")), QStringLiteral("0"));
    QCOMPARE(monitor.summary(QStringLiteral("unfinished bytes")), QStringLiteral("0"));
}

// What waited in the line before the monitor opened it (a console that ran on into a closed
// port, the last half of a frame) is not the line as it is now: it is left out of the frames,
// the malformed bytes and the rate.
void TestFeedMonitor::serialBacklogIsDiscarded()
{
    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));
    QByteArray backlog = frameOf(100, 9000).mid(7);
    for (int i = 0; i < 40; ++i)
        backlog += frameOf(100, 9000);
    QVERIFY(line.write(backlog));

    FeedProcess monitor(Feed);
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--serial"),
                            line.programEnd(), QStringLiteral("--count"), QStringLiteral("4"),
                            QStringLiteral("--every"), QStringLiteral("1") }));
    QVERIFY2(monitor.waitForLine(QStringLiteral("Reading ") + line.programEnd()),
             qPrintable(monitor.out + monitor.err));
    const QByteArray fresh = frameOf(50000, 1);
    for (int i = 0; i < 4; ++i)
        QVERIFY(line.write(fresh));

    QVERIFY2(monitor.finish(), "the monitor did not stop after four frames");
    const QList<QStringList> lines = monitor.frameLines();
    QCOMPARE(lines.size(), 4);
    for (const QStringList &frame : lines)
        QCOMPARE(levelsOf(frame), printedLevels(fresh));
    QCOMPARE(monitor.summary(QStringLiteral("malformed bytes")), QStringLiteral("0"));
}

// An installer pulls the cable: the monitor says so, gives its summary and fails.
void TestFeedMonitor::vanishedSerialLine()
{
    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));
    FeedProcess monitor(Feed);
    QVERIFY(monitor.start(
        { QStringLiteral("monitor"), QStringLiteral("--serial"), line.programEnd() }));
    QVERIFY(monitor.waitForLine(QStringLiteral("Reading ")));
    QVERIFY(line.write(frameOf(1000, 1000) + frameOf(2000, 1000).left(7)));
    QVERIFY(QTest::qWaitFor([&] { return monitor.frameLines().size() == 1; }, 5000));
    line.stop();

    QVERIFY2(monitor.finish(), "the monitor kept running on a vanished line");
    QCOMPARE(monitor.exitCode(), 1);
    QVERIFY2(monitor.err.contains(line.programEnd() + QStringLiteral(" failed")),
             qPrintable(monitor.err));
    QCOMPARE(monitor.summary(QStringLiteral("frames")), QStringLiteral("1"));
    QCOMPARE(monitor.summary(QStringLiteral("unfinished bytes")), QStringLiteral("7"));
}

void TestFeedMonitor::portInUse()
{
    QUdpSocket display;
    QVERIFY(display.bind(QHostAddress(QHostAddress::Any), 0));
    FeedProcess monitor(Feed);
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--udp-listen"),
                            QString::number(display.localPort()) }));
    QVERIFY(monitor.finish());
    QCOMPARE(monitor.exitCode(), 1);
    QVERIFY2(monitor.err.contains(
                 QStringLiteral("cannot listen on UDP port %1").arg(display.localPort())),
             qPrintable(monitor.err));
    QVERIFY(monitor.out.isEmpty());
}

// Nothing arrives: the monitor still stops when its time is up, and says so.
void TestFeedMonitor::durationEndsAQuietWatch()
{
    FeedProcess monitor(Feed);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--udp-listen"),
                            QString::number(freeUdpPort()), QStringLiteral("--duration"),
                            QStringLiteral("300ms") }));
    QVERIFY(monitor.finish());
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(monitor.exitCode(), 0);
    QCOMPARE(monitor.summary(QStringLiteral("frames")), QStringLiteral("0"));
    QVERIFY(monitor.frameLines().isEmpty());
}

// The tool against itself: every frame the sender prints is a frame the monitor shows, in the
// same order, at about the rate asked for.
void TestFeedMonitor::monitorsTheSender()
{
    const quint16 port = freeUdpPort();
    const int count = 100;
    FeedProcess monitor(Feed);
    QVERIFY(monitor.start({ QStringLiteral("monitor"), QStringLiteral("--udp-listen"),
                            QString::number(port), QStringLiteral("--count"),
                            QString::number(count) }));
    QVERIFY(monitor.waitForLine(QStringLiteral("Listening on UDP port")));

    FeedProcess sender(Feed);
    QVERIFY(
        sender.start({ QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(port),
                       QStringLiteral("--count"), QString::number(count), QStringLiteral("--rate"),
                       QStringLiteral("100"), QStringLiteral("--every"), QStringLiteral("1"),
                       QStringLiteral("--channel"), QStringLiteral("1-3=ramp:-50:0:0.5s"),
                       QStringLiteral("--seed"), QStringLiteral("3") }));
    QVERIFY(sender.finish());
    QCOMPARE(sender.exitCode(), 0);
    QVERIFY2(monitor.finish(), qPrintable(monitor.out));
    QCOMPARE(monitor.exitCode(), 0);

    const QList<QStringList> sent = sender.frameLines();
    const QList<QStringList> seen = monitor.frameLines();
    QCOMPARE(sent.size(), count);
    QCOMPARE(seen.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(levelsOf(seen[i]), levelsOf(sent[i]));
    // The ramp on the first three meters: 1 dB a frame, from the bottom up, twice.
    QCOMPARE(seen[0][2], QStringLiteral("-50.000"));
    QCOMPARE(seen[49][4], QStringLiteral("-1.000"));
    QCOMPARE(seen[50][3], QStringLiteral("-50.000"));
    const double rate = monitor.summary(QStringLiteral("frames a second")).toDouble();
    QVERIFY2(rate > 50.0 && rate < 150.0, qPrintable(QString::number(rate)));
}

ORVANE_TEST_GUILESS_MAIN(TestFeedMonitor)

#include "tst_feedmonitor.moc"
