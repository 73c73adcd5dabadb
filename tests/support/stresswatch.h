#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ORVANE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANE_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef ORVANE_ADDRESS_SANITIZER
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// How many times longer a timer may wait in a sanitized build. There every thread of a flood
// runs several times slower on the same cores, and the display's thread now and then stalls
// for over 100 ms (seen 135 and 163 ms in twelve runs; never in a plain build), so only
// outright starvation fails the bound there.
#ifdef ORVANE_ADDRESS_SANITIZER
constexpr double TimingSlack = 3.0;
#else
constexpr double TimingSlack = 1.0;
#endif

// The longest wait between two ticks of a timer, from start() until finish(): a timer that
// never fires in that span counts the whole span as one gap.
class TickGaps
{
public:
    explicit TickGaps(QTimer *timer)
    {
        QObject::connect(timer, &QTimer::timeout, &context, [this] { tick(); });
    }
    // Any signal that marks a wake, such as a driver's tick.
    template <typename Sender, typename Signal>
    TickGaps(Sender *sender, Signal signal)
    {
        QObject::connect(sender, signal, &context, [this] { tick(); });
    }

    void start()
    {
        clock.start();
        last = 0;
        longest = 0;
        count = 0;
        running = true;
    }
    void finish()
    {
        tick();
        running = false;
        --count;
    }

    double longestMs() const { return double(longest) / 1e6; }
    int ticks() const { return count; }

private:
    void tick()
    {
        if (!running)
            return;
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        ++count;
    }

    QObject context;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    int count = 0;
    bool running = false;
};

// Samples this process's resident memory (VmRSS) every 100 ms on a thread of its own, so
// that a busy or starved event loop cannot skip samples.
class RssWatch
{
public:
    RssWatch()
        : sampler([this] { run(); })
    {
    }
    ~RssWatch()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        sampler.join();
    }

    static qint64 residentKb()
    {
#ifdef ORVANE_ADDRESS_SANITIZER
        // AddressSanitizer keeps freed blocks in a quarantine of up to 256 MB before reusing
        // them, so the resident size climbs without any leak: count the live heap instead.
        return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
#else
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        return -1;
#endif
    }

    // Forgets what was sampled so far; the span to judge starts now.
    void restart()
    {
        std::lock_guard<std::mutex> lock(mutex);
        samples.clear();
        clock.start();
    }

    // How far memory rose above its level at `settledMs` after restart(), at its highest
    // since: the growth once warm-up is over. -1 when there were no samples.
    qint64 growthKbAfter(int settledMs) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        qint64 base = -1, highest = -1;
        for (const Sample &s : samples) {
            if (s.atMs < settledMs)
                continue;
            if (base < 0)
                base = s.kb;
            highest = std::max(highest, s.kb);
        }
        return base < 0 ? -1 : highest - base;
    }

    qint64 highestKb() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        qint64 highest = -1;
        for (const Sample &s : samples)
            highest = std::max(highest, s.kb);
        return highest;
    }

private:
    struct Sample
    {
        qint64 atMs;
        qint64 kb;
    };

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            if (clock.isValid())
                samples.push_back({ clock.elapsed(), residentKb() });
            wake.wait_for(lock, std::chrono::milliseconds(100));
        }
    }

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::vector<Sample> samples;
    QElapsedTimer clock;
    bool stopping = false;
    std::thread sampler;
};
