#include "app/mainwindow.h"
#include "comm/framestream.h"
#include "comm/levelframe.h"
#include "correlation.h"
#include "feedprocess.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "serialwindow.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSerialPort>
#include <QSet>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <memory>

// orvane-feed, the separate program, against the meter bridge's real input paths: a window of
// this test process reads the far end of a pty, or listens as a UDP client on loopback.

namespace {

const QString Feed = QStringLiteral(ORVANE_FEED_BINARY);
constexpr double Pi = 3.14159265358979323846;

QVector<double> targets(MainWindow &window)
{
    const double *levels = MainWindowTestAccess::meterLevels(window);
    return QVector<double>(levels, levels + LevelFrame::Channels);
}

// A frame carries 0.001 dB steps.
bool sameLevels(const QVector<double> &got, const QVector<double> &expected)
{
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        if (std::abs(got[i] - expected[i]) > 0.0005 + 1e-9)
            return false;
    }
    return true;
}

QString show(const QVector<double> &levels)
{
    QStringList texts;
    for (double level : levels)
        texts << QString::number(level, 'f', 3);
    return texts.join(QLatin1Char(' '));
}

QStringList words(const QString &text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestFeed : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void serialFramesReachTheMeters_data();
    void serialFramesReachTheMeters();
    void serialSendsEveryFrameInOrderAtItsRate();
    void programmeMovesAllSixMeters();
    void udpFramesReachTheMeters_data();
    void udpFramesReachTheMeters();
    void countAndDurationBoundTheRun_data();
    void countAndDurationBoundTheRun();
    void interruptEndsWithSummary();
    void argumentErrors_data();
    void argumentErrors();
    void helpAndVersion();

private:
    void serialWindow();
    void udpClientWindow(const QString &clientHost, quint16 port);

    std::unique_ptr<PtyPair> line;
    std::unique_ptr<MainWindow> window;
};

void TestFeed::init()
{
    line = std::make_unique<PtyPair>();
}

void TestFeed::cleanup()
{
    window.reset();
    line.reset();
}

// Serial only, no server role: the window never forwards.
void TestFeed::serialWindow()
{
    QVERIFY2(line->start(), qPrintable(line->error()));
    window = std::make_unique<MainWindow>();
    QVERIFY(readSerialOnly(*window, line->programEnd()));
}

void TestFeed::udpClientWindow(const QString &clientHost, quint16 port)
{
    window = std::make_unique<MainWindow>();
    comm_st &settings = MainWindowTestAccess::commSettings(*window);
    settings.use_udp = true;
    settings.is_server = false;
    settings.client_host = clientHost;
    settings.client_port = QString::number(port);
    MainWindowTestAccess::setupCommunication(*window);
    QCOMPARE(MainWindowTestAccess::udpSocket(*window)->state(), QAbstractSocket::BoundState);
}

void TestFeed::serialFramesReachTheMeters_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QVector<double>>("expected");

    QTest::newRow("constant levels, edges of the frame's range")
        << "--count 10 --channel 1=-12.5 --channel 2=0 --channel 3=-50 --channel 4=15.535 "
           "--channel 5=-0.001dB --channel 6=const:5"
        << QVector<double> { -12.5, 0.0, -50.0, 15.535, -0.001, 5.0 };
    // Frame 25 at 50 frames a second is at 0.5 s, half way up.
    QTest::newRow("ramp half way after 26 frames")
        << "--count 26 --rate 50 --channel all=ramp:-40:0:1s" << QVector<double>(6, -20.0);
    // Frame 20 at 100 a second is at 0.2 s: the third step, a tenth of the sine's cycle.
    const double sine = -40.0 + 40.0 * (1.0 - std::cos(2.0 * Pi * 0.2 / 2.0)) / 2.0;
    QTest::newRow("steps, sine and constant by pair")
        << "--count 21 --rate 100 --channel prog=steps:-30,-20,-10:0.1s "
           "--channel sub=sine:-40:0:2s --channel crm=-6"
        << QVector<double> { -10.0, -10.0, sine, sine, -6.0, -6.0 };
    QTest::newRow("duration at a low rate")
        << "--duration 1s --rate 4 --channel all=steps:-40,-35,-30,-25:250ms"
        << QVector<double>(6, -25.0);
}

// What the tool sends is what the meters get: the targets after the last frame.
void TestFeed::serialFramesReachTheMeters()
{
    QFETCH(QString, arguments);
    QFETCH(QVector<double>, expected);

    serialWindow();
    if (QTest::currentTestFailed())
        return;
    FeedProcess feed(Feed);
    QVERIFY(feed.start(QStringList { QStringLiteral("--serial"), line->testEnd() }
                       + words(arguments)));
    QVERIFY2(feed.finish(), "orvane-feed did not end");
    QCOMPARE(feed.exitCode(), 0);
    QVERIFY2(feed.err.isEmpty(), qPrintable(feed.err));
    QVERIFY2(QTest::qWaitFor([&] { return sameLevels(targets(*window), expected); }, 5000),
             qPrintable(show(targets(*window)) + QStringLiteral(" expected ") + show(expected)));
}

// Every frame, in order, byte for byte, at the rate asked for: the test reads the line itself.
void TestFeed::serialSendsEveryFrameInOrderAtItsRate()
{
    QVERIFY2(line->start(), qPrintable(line->error()));
    QSerialPort port(line->programEnd());
    port.setBaudRate(QSerialPort::Baud115200);
    QVERIFY2(port.open(QIODevice::ReadOnly), qPrintable(port.errorString()));
    FrameStream stream;
    QList<QByteArray> frames;
    QElapsedTimer clock;
    qint64 firstMs = -1;
    qint64 lastMs = -1;
    connect(&port, &QSerialPort::readyRead, &port, [&] {
        stream.feed(port.readAll(), [&](unsigned char *frame) {
            frames.append(QByteArray(reinterpret_cast<char *>(frame), LevelFrame::Size));
            lastMs = clock.elapsed();
            if (firstMs < 0)
                firstMs = lastMs;
        });
    });

    // 400 frames at 200 a second, each one different: channel 1 rises by 0.1 dB a frame
    // (raw 100 i), channel 2 falls as much, the other four stand still.
    const int count = 400;
    clock.start();
    FeedProcess feed(Feed);
    QVERIFY(feed.start({ QStringLiteral("--serial"), line->testEnd(), QStringLiteral("--rate"),
                         QStringLiteral("200"), QStringLiteral("--count"), QString::number(count),
                         QStringLiteral("--channel"), QStringLiteral("1=ramp:-50:10:3s"),
                         QStringLiteral("--channel"), QStringLiteral("2=ramp:10:-50:3s"),
                         QStringLiteral("--channel"), QStringLiteral("3=-40"),
                         QStringLiteral("--channel"), QStringLiteral("4=-30"),
                         QStringLiteral("--channel"), QStringLiteral("5=-20"),
                         QStringLiteral("--channel"), QStringLiteral("6=-10") }));
    QVERIFY2(feed.finish(), "orvane-feed did not end");
    QCOMPARE(feed.exitCode(), 0);
    QTRY_COMPARE(frames.size(), count);
    QCOMPARE(stream.bytesDropped(), quint64(0));
    QCOMPARE(stream.pending(), 0);

    for (int i = 0; i < count; ++i) {
        const unsigned short raw[LevelFrame::Channels]
            = { static_cast<unsigned short>(100 * i),
                static_cast<unsigned short>(60000 - 100 * i),
                10000,
                20000,
                30000,
                40000 };
        QVERIFY2(frames[i] == LevelFrame::encode(raw), qPrintable(QString::number(i)));
    }

    // 399 intervals of 5 ms: the frames are paced, not poured out at once.
    const qint64 spanMs = lastMs - firstMs;
    QVERIFY2(spanMs >= 1850, qPrintable(QString::number(spanMs)));
    QVERIFY2(spanMs < 6000, qPrintable(QString::number(spanMs)));
    QVERIFY2(feed.out.contains(QStringLiteral("Sent 400 frames to ") + line->testEnd()),
             qPrintable(feed.out));
}

// Left to its default, every meter plays a programme: all six move over a wide range, the two
// sides of a pair together, the pairs each their own way.
void TestFeed::programmeMovesAllSixMeters()
{
    serialWindow();
    if (QTest::currentTestFailed())
        return;
    QVector<QVector<double>> seen(LevelFrame::Channels);
    QTimer sampler;
    bool playing = false;
    connect(&sampler, &QTimer::timeout, &sampler, [&] {
        const QVector<double> now = targets(*window);
        // Until the first frame the six stand together at the bottom: that says nothing.
        playing = playing || now != QVector<double>(LevelFrame::Channels, LevelFrame::FloorDb);
        if (!playing)
            return;
        for (int i = 0; i < LevelFrame::Channels; ++i)
            seen[i].append(now[i]);
    });
    FeedProcess feed(Feed);
    QVERIFY(feed.start({ QStringLiteral("--serial"), line->testEnd(), QStringLiteral("--duration"),
                         QStringLiteral("4s"), QStringLiteral("--seed"), QStringLiteral("5") }));
    sampler.start(20);
    QVERIFY2(feed.finish(), "orvane-feed did not end");
    sampler.stop();
    QCOMPARE(feed.exitCode(), 0);
    QVERIFY(seen[0].size() > 100);

    for (int i = 0; i < LevelFrame::Channels; ++i) {
        const auto [low, high] = std::minmax_element(seen[i].begin(), seen[i].end());
        QVERIFY2(*high - *low >= 6.0,
                 qPrintable(QStringLiteral("meter %1: %2 to %3").arg(i + 1).arg(*low).arg(*high)));
        QVERIFY2(*high <= -2.0 + 1e-9, qPrintable(QString::number(*high)));
        QSet<double> distinct(seen[i].begin(), seen[i].end());
        QVERIFY2(distinct.size() > 50, qPrintable(QString::number(distinct.size())));
    }
    for (int pair = 0; pair < 3; ++pair) {
        const double together = correlation(seen[2 * pair], seen[2 * pair + 1]);
        QVERIFY2(together > 0.8, qPrintable(QString::number(together)));
    }
    const double apart = correlation(seen[0], seen[2]);
    QVERIFY2(apart < 0.5, qPrintable(QString::number(apart)));
}

void TestFeed::udpFramesReachTheMeters_data()
{
    QTest::addColumn<QString>("clientHost");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("extra");

    QTest::newRow("client of 127.0.0.1") << "127.0.0.1"
                                         << "127.0.0.1"
                                         << "";
    QTest::newRow("host given by name") << "127.0.0.1"
                                        << "localhost"
                                        << "";
    // Sent to 127.0.0.1 without --source the frames would come from 127.0.0.1, which this
    // client drops.
    QTest::newRow("sent from the client's server address") << "127.0.0.2"
                                                           << "127.0.0.1"
                                                           << "--source 127.0.0.2";
}

void TestFeed::udpFramesReachTheMeters()
{
    QFETCH(QString, clientHost);
    QFETCH(QString, destination);
    QFETCH(QString, extra);

    const quint16 port = freeUdpPort();
    udpClientWindow(clientHost, port);
    if (QTest::currentTestFailed())
        return;
    FeedProcess feed(Feed);
    QVERIFY(feed.start(
        QStringList {
            QStringLiteral("--udp"), destination + QLatin1Char(':') + QString::number(port),
            QStringLiteral("--count"), QStringLiteral("30"), QStringLiteral("--rate"),
            QStringLiteral("100"), QStringLiteral("--channel"),
            QStringLiteral("prog=steps:-45,-35,-25:100ms"), QStringLiteral("--channel"),
            QStringLiteral("sub=-7.25"), QStringLiteral("--channel"), QStringLiteral("5=10"),
            QStringLiteral("--channel"), QStringLiteral("6=-50") }
        + words(extra)));
    QVERIFY2(feed.finish(), "orvane-feed did not end");
    QCOMPARE(feed.exitCode(), 0);
    // Frame 29 at 0.29 s: the third step.
    const QVector<double> expected = { -25.0, -25.0, -7.25, -7.25, 10.0, -50.0 };
    QVERIFY2(QTest::qWaitFor([&] { return sameLevels(targets(*window), expected); }, 5000),
             qPrintable(show(targets(*window))));
}

void TestFeed::countAndDurationBoundTheRun_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("frames");

    QTest::newRow("count") << "--count 17 --rate 200" << 17;
    QTest::newRow("duration, frames at 0 to 475 ms") << "--duration 0.5s --rate 40" << 20;
    QTest::newRow("duration in milliseconds") << "--duration 250ms --rate 100" << 25;
    QTest::newRow("count before duration") << "--duration 2s --rate 40 --count 7" << 7;
    QTest::newRow("duration before count") << "--duration 100ms --rate 50 --count 70" << 5;
}

void TestFeed::countAndDurationBoundTheRun()
{
    QFETCH(QString, arguments);
    QFETCH(int, frames);

    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
    int received = 0;
    connect(&receiver, &QUdpSocket::readyRead, &receiver, [&] {
        while (receiver.hasPendingDatagrams()) {
            if (receiver.receiveDatagram().data().size() == LevelFrame::Size)
                ++received;
        }
    });
    FeedProcess feed(Feed);
    QVERIFY(feed.start(QStringList { QStringLiteral("--udp"),
                                     QStringLiteral("127.0.0.1:%1").arg(receiver.localPort()) }
                       + words(arguments)));
    QVERIFY2(feed.finish(), "orvane-feed did not end");
    QCOMPARE(feed.exitCode(), 0);
    QTRY_COMPARE(received, frames);
    QVERIFY2(feed.out.contains(QStringLiteral("Sent %1 frames").arg(frames)),
             qPrintable(feed.out));
}

// Ctrl+C ends an unbounded run normally; the summary counts what went out.
void TestFeed::interruptEndsWithSummary()
{
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
    int received = 0;
    connect(&receiver, &QUdpSocket::readyRead, &receiver, [&] {
        while (receiver.hasPendingDatagrams()) {
            receiver.receiveDatagram();
            ++received;
        }
    });
    FeedProcess feed(Feed);
    QVERIFY(feed.start(
        { QStringLiteral("--udp"), QStringLiteral("127.0.0.1:%1").arg(receiver.localPort()) }));
    QTRY_VERIFY_WITH_TIMEOUT(received >= 10, 10000);
    feed.interrupt();
    QVERIFY2(feed.finish(), "orvane-feed did not stop");
    QCOMPARE(feed.exitCode(), 0);
    const QRegularExpressionMatch sent
        = QRegularExpression(QStringLiteral("Sent (\\d+) frames")).match(feed.out);
    QVERIFY2(sent.hasMatch(), qPrintable(feed.out));
    QTRY_COMPARE(received, sent.captured(1).toInt());
}

void TestFeed::argumentErrors_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<bool>("isolated");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("serial port that does not exist")
        << "--serial /nonexistent/ttyUSB9 --count 1" << false << 1
        << "cannot open /nonexistent/ttyUSB9";
    QTest::newRow("serial port that is no serial port")
        << "--serial /dev/null --count 1" << false << 1 << "cannot open /dev/null";
    QTest::newRow("monitor of a serial port that does not exist")
        << "monitor --serial /nonexistent/ttyS7" << false << 1 << "cannot open";
    QTest::newRow("bad host") << "--udp 300.1.2.3:7000 --count 1" << false << 2
                              << "'300.1.2.3' is not a host";
    QTest::newRow("level out of range") << "--udp 127.0.0.1:7000 --count 1 --channel 3=16" << false
                                        << 2 << "level 16 dB is out of range";
    QTest::newRow("source address not on this machine")
        << "--udp 127.0.0.1:7000 --count 1 --source 192.0.2.1" << false << 1
        << "cannot send from 192.0.2.1";
    QTest::newRow("nowhere to send") << "--rate 50" << false << 2 << "say where to send";
    // In a network namespace of its own: should the refusal ever break, nothing leaves.
    QTest::newRow("broadcast without --broadcast")
        << "--udp 255.255.255.255:7000 --count 1" << true << 2
        << "255.255.255.255 is a broadcast address";
}

void TestFeed::argumentErrors()
{
    QFETCH(QString, arguments);
    QFETCH(bool, isolated);
    QFETCH(int, exitCode);
    QFETCH(QString, complaint);

    FeedProcess feed(Feed);
    const QStringList wrapper = isolated
        ? QStringList { QStringLiteral("unshare"), QStringLiteral("--net"), QStringLiteral("--") }
        : QStringList();
    QVERIFY(feed.start(words(arguments), wrapper));
    QVERIFY2(feed.finish(), "orvane-feed did not end");
    QCOMPARE(feed.exitCode(), exitCode);
    QVERIFY2(feed.err.startsWith(QStringLiteral("orvane-feed: ")), qPrintable(feed.err));
    QVERIFY2(feed.err.contains(complaint), qPrintable(feed.err));
    QCOMPARE(feed.err.contains(QStringLiteral("Try 'orvane-feed --help'")), exitCode == 2);
    QVERIFY2(feed.out.isEmpty(), qPrintable(feed.out));
}

void TestFeed::helpAndVersion()
{
    FeedProcess help(Feed);
    QVERIFY(help.start({ QStringLiteral("--help") }));
    QVERIFY(help.finish());
    QCOMPARE(help.exitCode(), 0);
    QVERIFY(help.out.startsWith(QStringLiteral("Usage: orvane-feed")));
    QVERIFY(help.out.contains(QStringLiteral("orvane-feed monitor")));
    QVERIFY(help.err.isEmpty());

    FeedProcess version(Feed);
    QVERIFY(version.start({ QStringLiteral("--version") }));
    QVERIFY(version.finish());
    QCOMPARE(version.exitCode(), 0);
    QVERIFY2(QRegularExpression(QStringLiteral("^orvane-feed \\d+\\.\\d+\\.\\d+\n$"))
                 .match(version.out)
                 .hasMatch(),
             qPrintable(version.out));
}

ORVANE_TEST_MAIN(TestFeed)

#include "tst_feed.moc"
