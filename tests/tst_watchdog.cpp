#include "testsupport.h"
#include "walldisplay/watchdog.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// systemd's side of a Type=notify unit with a watchdog, played by the test: a datagram socket
// named by NOTIFY_SOCKET, the watchdog time in WATCHDOG_USEC and the process it is meant for
// in WATCHDOG_PID. The real program must say READY=1 and then ping, and its pings must stop
// while its event loop cannot run.

namespace {

class NotifySocket
{
public:
    bool open(const QString &path)
    {
        fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (size_t(name.size()) >= sizeof(address.sun_path))
            return false;
        memcpy(address.sun_path, name.constData(), size_t(name.size()));
        return ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    }
    ~NotifySocket()
    {
        if (fd >= 0)
            ::close(fd);
    }

    // Every message that arrives within `ms`; with `until`, returns as soon as one contains it.
    QByteArrayList receive(int ms, const QByteArray &until = QByteArray(),
                           bool spinEventLoop = false)
    {
        QByteArrayList messages;
        const QDeadlineTimer deadline(ms);
        // What is already there is read even with no time to wait.
        bool read = false;
        do {
            pollfd p { fd, POLLIN, 0 };
            const int wait = spinEventLoop ? 10 : int(qMin<qint64>(deadline.remainingTime(), 100));
            read = false;
            if (::poll(&p, 1, wait) > 0) {
                char buffer[4096];
                const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
                read = n > 0;
                if (n > 0) {
                    messages << QByteArray(buffer, int(n));
                    if (!until.isEmpty() && messages.last().contains(until))
                        return messages;
                }
            }
            if (spinEventLoop)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        } while (read || !deadline.hasExpired());
        return messages;
    }

    // What is waiting now, without waiting.
    QByteArrayList pending() { return receive(0); }

    int fd = -1;
};

// The state letter of /proc/PID/stat: 'T' for stopped.
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces: the state follows the last ')'.
    const int close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() ? line.at(close + 2) : '?';
}

int count(const QByteArrayList &messages, const QByteArray &what)
{
    int n = 0;
    for (const QByteArray &m : messages)
        n += m.split('\n').contains(what) ? 1 : 0;
    return n;
}

// Starts the real program as systemd starts a Type=notify unit with a watchdog of `usec`
// microseconds, with a settings folder of its own and `extra` in its environment.
void startSupervised(QProcess &program, const QString &socketPath, const QString &configPath,
                     const QString &usec,
                     const QProcessEnvironment &extra = QProcessEnvironment())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configPath);
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), socketPath);
    environment.insert(QStringLiteral("WATCHDOG_USEC"), usec);
    environment.insert(extra);
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    // As systemd does: WATCHDOG_PID is the program's own process number, which the shell that
    // then becomes the program knows.
    program.start(QStringLiteral("sh"),
                  { QStringLiteral("-c"),
                    QStringLiteral("WATCHDOG_PID=$$; export WATCHDOG_PID; exec \"$0\""),
                    QStringLiteral(ORVANE_METERS_BINARY) });
}

qint64 monotonicNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The monotonic time of the last paint that showed a clock's new second, from the program's
// trace (diagnostics/trace.h); 0 before the first.
qint64 lastSecondPaint(const QString &tracePath)
{
    QFile trace(tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return 0;
    qint64 last = 0;
    for (const QByteArray &line : trace.readAll().split('\n')) {
        if (line.startsWith("secondpaint "))
            last = qMax(last, line.split(' ').value(1).toLongLong());
    }
    return last;
}

} // namespace

class TestWatchdog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void realProgramIsSupervised();
    void pingsComeFromTheEventLoop();
    void stalledReaderNeverFreezesTheWindow();
    void noPingsWithoutSystemd_data();
    void noPingsWithoutSystemd();

private:
    QTemporaryDir dir;
};

void TestWatchdog::initTestCase()
{
    if (!SystemdWatchdog::available())
        QSKIP("built without libsystemd: the program runs unsupervised");
    QVERIFY(dir.isValid());
}

void TestWatchdog::realProgramIsSupervised()
{
    NotifySocket socket;
    QVERIFY(socket.open(dir.filePath(QStringLiteral("notify"))));
    QTemporaryDir config;
    QVERIFY(config.isValid());

    QProcess program;
    // 1 s: a ping every 0.5 s.
    startSupervised(program, dir.filePath(QStringLiteral("notify")), config.path(),
                    QStringLiteral("1000000"));
    QVERIFY(program.waitForStarted(10000));
    const qint64 pid = program.processId();
    const auto stop = qScopeGuard([&] {
        ::kill(pid_t(pid), SIGCONT);
        program.terminate();
        if (!program.waitForFinished(10000)) {
            program.kill();
            program.waitForFinished();
        }
    });

    // A first start may build the font cache.
    QByteArrayList got = socket.receive(60000, "READY=1");
    QVERIFY2(count(got, "READY=1") == 1, got.join('|').constData());
    got = socket.receive(3000);
    QVERIFY2(count(got, "WATCHDOG=1") >= 3, got.join('|').constData());
    QCOMPARE(count(got, "READY=1"), 0);

    // The program stopped, as a hung event loop stands still: no ping in twice the interval
    // and more.
    QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
    // The signal takes effect a moment later: once the process is seen stopped, what it sent
    // before is drained.
    QTRY_VERIFY(processState(pid) == 'T');
    socket.pending();
    got = socket.receive(1500);
    QVERIFY2(got.isEmpty(), got.join('|').constData());

    // Going on, it pings again.
    QCOMPARE(::kill(pid_t(pid), SIGCONT), 0);
    got = socket.receive(3000);
    QVERIFY2(count(got, "WATCHDOG=1") >= 2, got.join('|').constData());
    QCOMPARE(program.state(), QProcess::Running);
}

void TestWatchdog::pingsComeFromTheEventLoop()
{
    NotifySocket socket;
    QVERIFY(socket.open(dir.filePath(QStringLiteral("inprocess"))));
    qputenv("NOTIFY_SOCKET", QFile::encodeName(dir.filePath(QStringLiteral("inprocess"))));
    qputenv("WATCHDOG_USEC", "200000");
    qunsetenv("WATCHDOG_PID");

    SystemdWatchdog watchdog;
    watchdog.notifyReady();
    QCOMPARE(watchdog.intervalMs(), 100);
    QByteArrayList got = socket.receive(1000, QByteArray(), true);
    QCOMPARE(count(got, "READY=1"), 1);
    QVERIFY2(count(got, "WATCHDOG=1") >= 5, got.join('|').constData());

    // The GUI thread busy for a second: not one ping, though ten were due.
    socket.pending();
    QThread::msleep(1000);
    got = socket.pending();
    QVERIFY2(got.isEmpty(), got.join('|').constData());

    got = socket.receive(500, QByteArray(), true);
    QVERIFY2(count(got, "WATCHDOG=1") >= 2, got.join('|').constData());

    // A watchdog time of a microsecond would ask for a ping every 500 ns.
    qputenv("WATCHDOG_USEC", "1");
    SystemdWatchdog eager;
    eager.notifyReady();
    QCOMPARE(eager.intervalMs(), SystemdWatchdog::MinIntervalMs);
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
}

// systemd's reader stalls and its queue fills. The program drops its pings rather than wait
// for room: its clocks go on showing each new second, and SIGTERM still ends it at once.
void TestWatchdog::stalledReaderNeverFreezesTheWindow()
{
    NotifySocket socket;
    QVERIFY(socket.open(dir.filePath(QStringLiteral("stalled"))));
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString trace = config.filePath(QStringLiteral("trace"));
    QProcessEnvironment traced;
    traced.insert(QStringLiteral("ORVANE_TRACE"), trace);

    QProcess program;
    // A ping every 100 ms: a queue of a few datagrams is full within a second.
    startSupervised(program, dir.filePath(QStringLiteral("stalled")), config.path(),
                    QStringLiteral("200000"), traced);
    QVERIFY(program.waitForStarted(10000));
    const auto stop = qScopeGuard([&] {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    });
    const QByteArrayList got = socket.receive(60000, "READY=1");
    QVERIFY2(count(got, "READY=1") == 1, got.join('|').constData());

    // Nobody reads from here on.
    const qint64 stalled = monotonicNs();
    QTRY_VERIFY_WITH_TIMEOUT(lastSecondPaint(trace) > stalled + 4000000000LL, 20000);
    const qint64 pingsDue = (monotonicNs() - stalled) / 100000000;
    QCOMPARE(program.state(), QProcess::Running);

    QCOMPARE(::kill(pid_t(program.processId()), SIGTERM), 0);
    QVERIFY2(program.waitForFinished(1000), "SIGTERM did not end the program within a second");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // The queue was full: most pings that were due never got into it.
    const int queued = count(socket.pending(), "WATCHDOG=1");
    QVERIFY2(queued > 0 && queued < pingsDue / 2,
             qPrintable(QStringLiteral("%1 queued of %2 due").arg(queued).arg(pingsDue)));
}

void TestWatchdog::noPingsWithoutSystemd_data()
{
    QTest::addColumn<bool>("socket");
    QTest::addColumn<QByteArray>("watchdogPid"); // empty: unset

    QTest::newRow("watchdog of another process") << true << QByteArray("1");
    QTest::newRow("no notify socket") << false << QByteArray();
}

// A watchdog time that is not meant for this process, or that nobody listens to, starts no
// timer: the program is woken no more often than without systemd.
void TestWatchdog::noPingsWithoutSystemd()
{
    QFETCH(bool, socket);
    QFETCH(QByteArray, watchdogPid);

    NotifySocket listener;
    const QString path = dir.filePath(QStringLiteral("other-%1").arg(QTest::currentDataTag()));
    QVERIFY(listener.open(path));
    if (socket)
        qputenv("NOTIFY_SOCKET", QFile::encodeName(path));
    else
        qunsetenv("NOTIFY_SOCKET");
    qputenv("WATCHDOG_USEC", "200000");
    if (watchdogPid.isEmpty())
        qunsetenv("WATCHDOG_PID");
    else
        qputenv("WATCHDOG_PID", watchdogPid);

    SystemdWatchdog watchdog;
    watchdog.notifyReady();
    QCOMPARE(watchdog.intervalMs(), 0);
    const QByteArrayList got = listener.receive(500, QByteArray(), true);
    QCOMPARE(count(got, "READY=1"), socket ? 1 : 0);
    QCOMPARE(count(got, "WATCHDOG=1"), 0);
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
    qunsetenv("WATCHDOG_PID");
}

ORVANE_TEST_MAIN(TestWatchdog)
#include "tst_watchdog.moc"
