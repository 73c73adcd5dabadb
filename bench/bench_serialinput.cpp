// Pushes level frames through a real pty into the display's serial input (the port, the
// deframer, the meter targets) and prints how many frames a second it decodes and how many
// it loses, for a few ways a sender may write them.
//
//   bench_serialinput [frames]
//
// The sender is a thread of its own with a blocking descriptor, as a console on the far end
// of a line would be. The display is serial only and never forwards.

#include "app/mainwindow.h"
#include "benchapp.h"
#include "comm/levelframe.h"
#include "mainwindowprobe.h"
#include "ptypair.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <unistd.h>

namespace {

// Frames with distinct levels. Levels whose bytes hold CR LF are left out, as they were when
// the input lost such frames, so that the figures compare with those of earlier versions.
QByteArray frameStream(int frames)
{
    QByteArray stream;
    stream.reserve(frames * LevelFrame::Size);
    unsigned short raw[LevelFrame::Channels];
    for (int i = 0, value = 0; i < frames; ++i) {
        QByteArray frame;
        do {
            for (int c = 0; c < LevelFrame::Channels; ++c)
                raw[c] = static_cast<unsigned short>((value + c * 7919) % 65536);
            value += 13;
            frame = LevelFrame::encode(raw);
        } while (frame.contains("\r\n"));
        stream += frame;
    }
    return stream;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= size_t(written);
    }
    return true;
}

void sleepUntil(const timespec &when)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &when, nullptr) == EINTR) { }
}

timespec plusNanoseconds(timespec t, long long ns)
{
    const long long total = t.tv_nsec + ns;
    t.tv_sec += time_t(total / 1000000000LL);
    t.tv_nsec = long(total % 1000000000LL);
    return t;
}

using Sender = std::function<bool(int fd, const QByteArray &stream)>;

// One frame at a time, each `periodNs` after the one before, as a console clocks them out.
Sender pacedEvery(long long periodNs)
{
    return [periodNs](int fd, const QByteArray &s) {
        timespec next;
        clock_gettime(CLOCK_MONOTONIC, &next);
        for (int i = 0; i < s.size(); i += LevelFrame::Size) {
            if (!writeAll(fd, s.constData() + i, LevelFrame::Size))
                return false;
            next = plusNanoseconds(next, periodNs);
            sleepUntil(next);
        }
        return true;
    };
}

struct Pattern
{
    const char *name;
    int frames;
    Sender send;
};

struct Result
{
    quint64 decoded = 0;
    quint64 dropped = 0;
    double seconds = 0;
    bool lastLevelsRight = false;
    bool sent = false;
};

Result run(MainWindow &window, PtyPair &line, const Pattern &pattern)
{
    const QByteArray stream = frameStream(pattern.frames);
    MainWindowTestAccess::setupCommunication(window);
    const FrameStream &frames = MainWindowTestAccess::serialFrames(window);

    Result result;
    const int fd = ::open(QFile::encodeName(line.testEnd()).constData(), O_WRONLY | O_NOCTTY);
    if (fd < 0)
        return result;

    std::atomic<bool> senderDone(false);
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        result.sent = pattern.send(fd, stream);
        senderDone = true;
    });

    // Runs the display until every frame is in, or until nothing has come for a second after
    // the sender finished.
    QEventLoop loop;
    QTimer poll;
    quint64 lastSeen = 0;
    QElapsedTimer quiet;
    quiet.start();
    qint64 finishedAt = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const quint64 seen = frames.framesFound();
        if (seen != lastSeen) {
            lastSeen = seen;
            finishedAt = clock.nsecsElapsed();
            quiet.restart();
        }
        if (seen >= quint64(pattern.frames) || (senderDone && quiet.elapsed() > 1000))
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    sender.join();
    ::close(fd);

    result.decoded = frames.framesFound();
    result.dropped = frames.bytesDropped();
    result.seconds = double(finishedAt) / 1e9;
    const double *targets = MainWindowTestAccess::meterLevels(window);
    const auto *last
        = reinterpret_cast<const unsigned char *>(stream.constData() + stream.size() - 16);
    result.lastLevelsRight = true;
    for (int c = 0; c < LevelFrame::Channels; ++c)
        result.lastLevelsRight &= targets[c] == LevelFrame::levelDb(last, c);
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    const int bulk = countArgument(argc, argv, 1000, 200000);

    PtyPair line;
    if (!line.start()) {
        std::fprintf(stderr, "no pty pair: %s\n", qPrintable(line.error()));
        return 1;
    }
    MainWindow window;
    comm_st &settings = MainWindowTestAccess::commSettings(window);
    settings.is_server = false;
    settings.use_udp = false;
    settings.serialport = line.programEnd();

    QRandomGenerator random(20240611);
    const Pattern patterns[] = {
        { "one write of all frames", bulk,
          [](int fd, const QByteArray &s) {
              return writeAll(fd, s.constData(), size_t(s.size()));
          } },
        { "one write per frame", bulk / 2,
          [](int fd, const QByteArray &s) {
              for (int i = 0; i < s.size(); i += LevelFrame::Size) {
                  if (!writeAll(fd, s.constData() + i, LevelFrame::Size))
                      return false;
              }
              return true;
          } },
        { "writes of 1 to 64 bytes", bulk / 2,
          [&random](int fd, const QByteArray &s) {
              for (int i = 0; i < s.size();) {
                  const int piece = qMin(1 + int(random.bounded(64)), int(s.size()) - i);
                  if (!writeAll(fd, s.constData() + i, size_t(piece)))
                      return false;
                  i += piece;
              }
              return true;
          } },
        // 115200 baud with 8N1 carries 11520 bytes a second: one frame every 1.389 ms.
        { "paced at line rate (720/s)", 1440, pacedEvery(1388889) },
        { "paced at 25000/s", 75000, pacedEvery(40000) },
    };

    std::printf("%-28s %9s %9s %7s %9s %12s %s\n", "pattern", "frames", "decoded", "lost",
                "seconds", "decoded/s", "last levels");
    bool allWell = true;
    for (const Pattern &pattern : patterns) {
        const Result r = run(window, line, pattern);
        const quint64 lost = quint64(pattern.frames) - qMin(r.decoded, quint64(pattern.frames));
        std::printf("%-28s %9d %9llu %7llu %9.3f %12.0f %s\n", pattern.name, pattern.frames,
                    static_cast<unsigned long long>(r.decoded),
                    static_cast<unsigned long long>(lost), r.seconds,
                    r.seconds > 0 ? double(r.decoded) / r.seconds : 0.0,
                    r.lastLevelsRight ? "right" : "WRONG");
        std::fflush(stdout);
        allWell &= r.sent && lost == 0 && r.dropped == 0 && r.lastLevelsRight;
    }
    return allWell ? 0 : 1;
}
