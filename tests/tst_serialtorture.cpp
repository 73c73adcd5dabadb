#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "serialwindow.h"
#include "stresswatch.h"
#include "testsupport.h"

#include <QEventLoop>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

// A serial line at full pty speed for ten seconds: random bytes with whole frames among them,
// written by a thread as fast as the line takes them. The display must find every frame,
// keep its release timer ticking and keep its memory flat.

namespace {

constexpr int TortureMs = 10000;

// Random bytes that can neither form a frame nor take part in one: no start marker byte, so
// the count of frames found has to be exactly the count written.
class Torturer
{
public:
    explicit Torturer(const QString &device)
    {
        fd = ::open(QFile::encodeName(device).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    ~Torturer()
    {
        if (worker.joinable())
            worker.join();
        if (fd >= 0)
            ::close(fd);
    }

    bool isOpen() const { return fd >= 0; }
    void start(std::function<void()> done)
    {
        worker = std::thread([this, done] {
            run();
            done();
        });
    }
    void join() { worker.join(); }

    quint64 frames = 0;
    quint64 bytes = 0;
    int error = 0;
    QByteArray lastFrame;

private:
    quint32 next()
    {
        // xorshift32: fast enough to outrun the line.
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

    QByteArray frame()
    {
        unsigned short raw[LevelFrame::Channels];
        QByteArray f;
        do {
            for (unsigned short &r : raw)
                r = static_cast<unsigned short>(next());
            f = LevelFrame::encode(raw);
            // A CR directly before an LF within a read is removed by the input, which would
            // damage the frame; a console's levels never matter that much.
        } while (f.contains("\r\n"));
        return f;
    }

    void run()
    {
        QElapsedTimer clock;
        clock.start();
        QByteArray block;
        while (!clock.hasExpired(TortureMs)) {
            block.clear();
            while (block.size() < 16384) {
                for (quint32 garbage = next() % 48; garbage > 0; --garbage) {
                    char c = char(next());
                    block.append(c == char(LevelFrame::StartByte) ? '\0' : c);
                }
                lastFrame = frame();
                block.append(lastFrame);
                ++frames;
            }
            for (int done = 0; done < block.size();) {
                const ssize_t n
                    = ::write(fd, block.constData() + done, size_t(block.size() - done));
                if (n < 0 && errno != EINTR) {
                    error = errno;
                    return;
                }
                done += n > 0 ? int(n) : 0;
            }
            bytes += quint64(block.size());
        }
    }

    int fd = -1;
    quint32 state = 0x2545F491u;
    std::thread worker;
};

} // namespace

class TestSerialTorture : public QObject
{
    Q_OBJECT

private slots:
    void randomBytesWithFramesAtFullSpeed();
};

void TestSerialTorture::randomBytesWithFramesAtFullSpeed()
{
    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));

    MainWindow window;
    QVERIFY(readSerialOnly(window, line.programEnd()));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    Torturer writer(line.testEnd());
    QVERIFY(writer.isOpen());
    TickGaps releaseGaps(MainWindowTestAccess::releaseTimer(window));
    RssWatch memory;

    // The display runs its own event loop, as in the program; the writer ends it when done.
    QEventLoop loop;
    memory.restart();
    releaseGaps.start();
    writer.start(
        [&] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
    writer.join();

    const FrameStream &stream = MainWindowTestAccess::serialFrames(window);
    // What is still on its way through the line.
    QTRY_COMPARE_WITH_TIMEOUT(stream.framesFound(), writer.frames, 5000);
    releaseGaps.finish();

    qInfo("%llu frames in %llu bytes in %d ms; %llu bytes dropped", writer.frames, writer.bytes,
          TortureMs, stream.bytesDropped());
    qInfo("longest release gap %.1f ms (%d ticks); memory %lld kB at most, %lld kB growth "
          "after the first 2 s",
          releaseGaps.longestMs(), releaseGaps.ticks(), memory.highestKb(),
          memory.growthKbAfter(2000));
    QCOMPARE(writer.error, 0);
    // Full speed is far more than a console at 115200 baud (720 frames a second).
    QVERIFY(writer.frames > 100000);
    const auto *last = reinterpret_cast<const unsigned char *>(writer.lastFrame.constData());
    const double *targets = MainWindowTestAccess::meterLevels(window);
    for (int i = 0; i < LevelFrame::Channels; ++i)
        QCOMPARE(targets[i], LevelFrame::levelDb(last, i));
    QVERIFY2(releaseGaps.longestMs() <= 100.0, "the release timer starved");
    QVERIFY2(memory.growthKbAfter(2000) < 5 * 1024, "memory grew under the torture");
}

ORVANE_TEST_MAIN(TestSerialTorture)
#include "tst_serialtorture.moc"
