// How long a server display takes to forward a frame: frames written into a real pty at the
// console's pace, the display in the server role reading the other end, and a listener taking
// the broadcasts; the delay is from each frame's write to its datagram's arrival, both on the
// monotonic clock of this process. Prints the median, 99th percentile and longest delay.
//
//   bench_forwarding [frames]            (default 1000, 100 a second)
//
// It broadcasts, so it refuses to run anywhere but in a network namespace of its own that holds
// only a loopback interface, as the forwarding test does (tests/netns/isolated.sh):
//
//   sh tests/netns/isolated.sh build/bench/bench_forwarding

#include "app/mainwindow.h"
#include "benchapp.h"
#include "comm/levelframe.h"
#include "mainwindowprobe.h"
#include "ptypair.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr quint16 Port = 47123;
constexpr int IntervalUs = 10000;

qint64 nowNs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Frame i carries i in its first level, so that each datagram names its frame.
QByteArray numberedFrame(int i)
{
    unsigned short raw[LevelFrame::Channels];
    for (int c = 0; c < LevelFrame::Channels; ++c)
        raw[c] = static_cast<unsigned short>(c == 0 ? i : 20000 + 997 * ((i + c) % 30));
    return LevelFrame::encode(raw);
}

double percentileMs(std::vector<qint64> values, double p)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    const std::size_t rank = std::size_t(std::max(1.0, std::ceil(p / 100.0 * values.size())));
    return double(values[std::min(rank, values.size()) - 1]) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    if (!OrvaneTest::onlyLoopbackHere()) {
        std::fprintf(stderr,
                     "bench_forwarding broadcasts: run it through "
                     "tests/netns/isolated.sh, as root\n");
        return 2;
    }
    const int frames = std::min(countArgument(argc, argv, 10, 1000), 60000);

    PtyPair line;
    if (!line.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(line.error()));
        return 1;
    }
    const int listener = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(Port);
    address.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address)) {
        std::perror("listener");
        return 1;
    }

    MainWindow window;
    comm_st &settings = MainWindowTestAccess::commSettings(window);
    settings.use_udp = true;
    settings.is_server = true;
    settings.serialport = line.programEnd();
    settings.server_host = QStringLiteral("127.0.0.1");
    settings.server_port = QString::number(Port);
    MainWindowTestAccess::setupCommunication(window);
    window.show();

    std::vector<qint64> sent(std::size_t(frames), 0), received(std::size_t(frames), 0);
    std::atomic<bool> done { false };
    std::thread receiver([&] {
        unsigned char datagram[64];
        while (!done) {
            const ssize_t n = ::recv(listener, datagram, sizeof datagram, 0);
            const qint64 at = nowNs();
            if (n == LevelFrame::Size) {
                const unsigned i = LevelFrame::rawLevel(datagram, 0);
                if (int(i) < frames && received[i] == 0)
                    received[i] = at;
            }
        }
    });

    QEventLoop loop;
    std::thread writer([&] {
        const QString end = line.testEnd();
        FILE *console = std::fopen(QFile::encodeName(end).constData(), "we");
        if (!console) {
            std::perror("console");
        } else {
            setvbuf(console, nullptr, _IONBF, 0);
            timespec next {};
            clock_gettime(CLOCK_MONOTONIC, &next);
            for (int i = 0; i < frames; ++i) {
                next.tv_nsec += IntervalUs * 1000;
                if (next.tv_nsec >= 1000000000) {
                    next.tv_nsec -= 1000000000;
                    ++next.tv_sec;
                }
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
                const QByteArray frame = numberedFrame(i);
                sent[std::size_t(i)] = nowNs();
                std::fwrite(frame.constData(), 1, std::size_t(frame.size()), console);
            }
            std::fclose(console);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    writer.join();
    done = true;
    // Wakes the receiver's last recv().
    const int poke = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(poke, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::sendto(poke, "x", 1, 0, reinterpret_cast<sockaddr *>(&address), sizeof address);
    receiver.join();
    ::close(poke);
    ::close(listener);

    std::vector<qint64> delays;
    for (int i = 0; i < frames; ++i) {
        if (sent[std::size_t(i)] != 0 && received[std::size_t(i)] != 0)
            delays.push_back(received[std::size_t(i)] - sent[std::size_t(i)]);
    }
    std::printf("forwarded %zu of %d frames; delay from the console's write to the datagram: "
                "median %.2f ms, p99 %.2f ms, longest %.2f ms\n",
                delays.size(), frames, percentileMs(delays, 50), percentileMs(delays, 99),
                percentileMs(delays, 100));
    return delays.size() == std::size_t(frames) ? 0 : 1;
}
