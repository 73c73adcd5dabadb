#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "mainwindowprobe.h"
#include "stresswatch.h"
#include "studioclock/secondticker.h"
#include "testsupport.h"
#include "widgets/vexoanalogclock.h"
#include "widgets/vexodigitalclock.h"
#include "widgets/vexoppmmeter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// A client display under a UDP flood on loopback: two sender threads, one on the configured
// server's address and one on a foreign address, send as fast as they can to the display's
// port (and nowhere else) while the display runs. Its timers must keep ticking, its memory
// must stay flat, and afterwards it must show the next frame at once.

namespace {

constexpr int FloodMs = 10000;

QByteArray frameAt(double firstDb, double stepDb)
{
    unsigned short raw[LevelFrame::Channels];
    for (int i = 0; i < LevelFrame::Channels; ++i)
        raw[i] = LevelFrame::rawFromDb(firstDb + i * stepDb);
    return LevelFrame::encode(raw);
}

// Sends its datagrams in turn, from `source` to 127.0.0.1:port, as fast as the kernel takes
// them, until stopped. A full queue (EAGAIN, ENOBUFS) is simply tried again.
class FloodSender
{
public:
    FloodSender(const char *source, quint16 port, QList<QByteArray> toSend)
        : datagrams(std::move(toSend))
    {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in from {};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, source, &from.sin_addr);
        bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) == 0;
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    }
    ~FloodSender()
    {
        stop();
        if (fd >= 0)
            ::close(fd);
    }

    bool isBound() const { return bound; }
    void start()
    {
        worker = std::thread([this] { run(); });
    }
    void stop()
    {
        stopping = true;
        if (worker.joinable())
            worker.join();
    }
    quint64 sent() const { return count; }
    int failure() const { return error; }

private:
    void run()
    {
        for (int i = 0; !stopping; i = (i + 1) % datagrams.size()) {
            const QByteArray &d = datagrams.at(i);
            if (::sendto(fd, d.constData(), size_t(d.size()), MSG_DONTWAIT,
                         reinterpret_cast<const sockaddr *>(&to), sizeof to)
                >= 0) {
                ++count;
            } else if (errno != EAGAIN && errno != ENOBUFS && errno != EINTR) {
                error = errno;
                return;
            }
        }
    }

    QList<QByteArray> datagrams;
    int fd = -1;
    bool bound = false;
    sockaddr_in to {};
    std::thread worker;
    std::atomic<bool> stopping { false };
    std::atomic<quint64> count { 0 };
    std::atomic<int> error { 0 };
};

} // namespace

class TestUdpFlood : public QObject
{
    Q_OBJECT

private slots:
    void floodFromServerAndStranger();
};

void TestUdpFlood::floodFromServerAndStranger()
{
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress(QHostAddress::LocalHost)));
    const quint16 port = probe.localPort();
    probe.close();

    MainWindow window;
    comm_st &settings = MainWindowTestAccess::commSettings(window);
    settings.use_udp = true;
    settings.is_server = false;
    settings.serialport.clear();
    settings.client_host = QStringLiteral("127.0.0.1");
    settings.client_port = QString::number(port);
    MainWindowTestAccess::setupCommunication(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    VexoPPMMeter *const meters[LevelFrame::Channels] = {
        window.findChild<VexoPPMMeter *>(QStringLiteral("ProgLeft")),
        window.findChild<VexoPPMMeter *>(QStringLiteral("ProgRight")),
        window.findChild<VexoPPMMeter *>(QStringLiteral("SubLeft")),
        window.findChild<VexoPPMMeter *>(QStringLiteral("SubRight")),
        window.findChild<VexoPPMMeter *>(QStringLiteral("CrmLeft")),
        window.findChild<VexoPPMMeter *>(QStringLiteral("CrmRight")),
    };
    for (VexoPPMMeter *meter : meters)
        QVERIFY(meter);
    // Both clocks change at the window's once-a-second wake.
    SecondTicker *const seconds = window.findChild<SecondTicker *>();
    QVERIFY(seconds);
    QTimer *const releaseTimer = MainWindowTestAccess::releaseTimer(window);

    TickGaps releaseGaps(releaseTimer), clockGaps(seconds, &SecondTicker::ticked);
    // The stranger's frames carry a level the server never sends: a target at that level
    // means one got through.
    const double *targets = MainWindowTestAccess::meterLevels(window);
    int strangerTargets = 0, serverTargetChanges = 0;
    double lastTarget = targets[0];
    QObject watch;
    connect(releaseTimer, &QTimer::timeout, &watch, [&] {
        if (targets[0] > 15.0)
            ++strangerTargets;
        if (targets[0] != lastTarget)
            ++serverTargetChanges;
        lastTarget = targets[0];
    });

    // The server plays levels between -40 and -8 dB, with now and then a datagram of the
    // wrong size; the stranger sends well-formed frames and oversized datagrams.
    QList<QByteArray> serverDatagrams;
    for (int i = 0; i < 64; ++i)
        serverDatagrams.append(frameAt(-40.0 + i * 0.5, 0.1));
    serverDatagrams.insert(17, QByteArray(17, '\x55'));
    serverDatagrams.insert(41, QByteArray(1400, '\xAA'));
    const QList<QByteArray> strangerDatagrams
        = { frameAt(15.535, 0.0), QByteArray(1000, '\xAA'), frameAt(15.535, 0.0) };

    FloodSender server("127.0.0.1", port, serverDatagrams);
    FloodSender stranger("127.0.0.2", port, strangerDatagrams);
    QVERIFY2(server.isBound() && stranger.isBound(), "cannot bind the senders on loopback");

    RssWatch memory;
    memory.restart();
    releaseGaps.start();
    clockGaps.start();
    server.start();
    stranger.start();
    // The display runs its own event loop, as in the program: QTest::qWait would process
    // events in a way that gives timers priority. Another thread ends the flood and the loop,
    // so that the end does not hang on a timer of the starved loop.
    QEventLoop loop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(FloodMs));
        server.stop();
        stranger.stop();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    stopper.join();
    releaseGaps.finish();
    clockGaps.finish();

    qInfo("flood: %llu datagrams from the server, %llu from the stranger in %d ms", server.sent(),
          stranger.sent(), FloodMs);
    qInfo("longest gaps: release %.1f ms (%d ticks), clocks' second %.1f ms (%d wakes)",
          releaseGaps.longestMs(), releaseGaps.ticks(), clockGaps.longestMs(), clockGaps.ticks());
    qInfo("memory: %lld kB at most, %lld kB growth after the first 2 s", memory.highestKb(),
          memory.growthKbAfter(2000));
    QCOMPARE(server.failure(), 0);
    QCOMPARE(stranger.failure(), 0);
    // Both sent far more than a console ever would (100 a second).
    QVERIFY(server.sent() > 100000);
    QVERIFY(stranger.sent() > 100000);

    // The release timer never waits more than 100 ms; the clocks' wake, once a second, is
    // never more than 200 ms late (TimingSlack times that in a sanitized build).
    QVERIFY2(releaseGaps.longestMs() <= 100.0 * TimingSlack, "the release timer starved");
    QVERIFY2(clockGaps.longestMs() <= 1000.0 + 200.0 * TimingSlack, "the clocks starved");
    QVERIFY(clockGaps.ticks() >= FloodMs / 1000 - 1);
    QCOMPARE(strangerTargets, 0);
    QVERIFY(serverTargetChanges > 100);
    QVERIFY2(memory.growthKbAfter(2000) < 5 * 1024, "memory grew during the flood");

    // The next frame shows at once: its targets are taken and the meters rise to them with
    // the next release tick. 100 ms is what an operator would notice as lag; the backlog at
    // the end of the flood is no more than the socket's receive buffer.
    const QByteArray next = frameAt(-3.0, 0.25);
    const auto *nextBytes = reinterpret_cast<const unsigned char *>(next.constData());
    // A rise is taken in one step rounded to single precision: within a thousandth of a dB,
    // the resolution of a frame.
    auto shown = [&] {
        for (int i = 0; i < LevelFrame::Channels; ++i)
            if (std::abs(meters[i]->dBPosition - LevelFrame::levelDb(nextBytes, i)) > 0.001)
                return false;
        return true;
    };
    // Looked at after every release tick: this connection comes after the window's own.
    QElapsedTimer sinceSent;
    double shownMs = -1.0;
    QEventLoop waitShown;
    connect(releaseTimer, &QTimer::timeout, &watch, [&] {
        if (shownMs < 0 && sinceSent.isValid() && shown()) {
            shownMs = double(sinceSent.nsecsElapsed()) / 1e6;
            waitShown.quit();
        }
    });
    QTimer::singleShot(1000, &waitShown, &QEventLoop::quit);
    QUdpSocket console;
    QVERIFY(console.bind(QHostAddress(QHostAddress::LocalHost)));
    // As a console does, every 10 ms: a datagram that met a receive buffer still full of the
    // flood is the kernel's to drop, on a loaded machine, and the next one must show.
    QTimer resend;
    qint64 failedSends = 0;
    connect(&resend, &QTimer::timeout, &watch, [&] {
        if (console.writeDatagram(next, QHostAddress::LocalHost, port) != qint64(next.size()))
            ++failedSends;
    });
    sinceSent.start();
    QCOMPARE(console.writeDatagram(next, QHostAddress::LocalHost, port), qint64(next.size()));
    resend.start(10);
    waitShown.exec();
    resend.stop();
    QCOMPARE(failedSends, qint64(0));
    qInfo("the frame after the flood was shown after %.1f ms", shownMs);
    QVERIFY2(shownMs >= 0, "the frame after the flood was not shown within a second");
    QVERIFY(shownMs <= 100.0);
}

ORVANE_TEST_MAIN(TestUdpFlood)
#include "tst_udpflood.moc"
