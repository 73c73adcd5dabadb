#include "ptypair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PtyPair::PtyPair()
    : dir(QDir::tempPath() + QStringLiteral("/orvane-pty-XXXXXX"))
{
}

PtyPair::~PtyPair()
{
    stop();
}

QString PtyPair::programEnd() const
{
    return dir.path() + QStringLiteral("/ttyA");
}

QString PtyPair::testEnd() const
{
    return dir.path() + QStringLiteral("/ttyB");
}

bool PtyPair::isRunning() const
{
    return socat.state() != QProcess::NotRunning;
}

bool PtyPair::start()
{
    if (!dir.isValid()) {
        lastError = QStringLiteral("no temporary folder");
        return false;
    }
    stop();
    const QString options = QStringLiteral("pty,raw,echo=0,link=");
    socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Without -d socat reports only errors, which then show in the test's output.
    socat.start(QStringLiteral("socat"), { options + programEnd(), options + testEnd() });
    if (!socat.waitForStarted(5000)) {
        lastError = QStringLiteral("socat did not start: ") + socat.errorString();
        return false;
    }
    // socat makes the links a few tens of milliseconds after it starts.
    const QDeadlineTimer deadline(5000);
    while (!(QFileInfo::exists(programEnd()) && QFileInfo::exists(testEnd()))) {
        if (deadline.hasExpired() || socat.state() == QProcess::NotRunning) {
            lastError = QStringLiteral("socat made no pty pair");
            stop();
            return false;
        }
        QThread::msleep(2);
    }
    if (!openTestEnd()) {
        stop();
        return false;
    }
    return true;
}

void PtyPair::stop()
{
    closeTestEnd();
    if (socat.state() == QProcess::NotRunning)
        return;
    // SIGTERM lets socat remove its links; only a socat that hangs is killed.
    socat.terminate();
    if (!socat.waitForFinished(3000)) {
        socat.kill();
        socat.waitForFinished(3000);
    }
}

bool PtyPair::openTestEnd()
{
    testFd = ::open(QFile::encodeName(testEnd()).constData(),
                    O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (testFd < 0) {
        lastError = QStringLiteral("cannot open %1: %2")
                        .arg(testEnd(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void PtyPair::closeTestEnd()
{
    if (testFd >= 0)
        ::close(testFd);
    testFd = -1;
}

bool PtyPair::write(const QByteArray &bytes, int timeoutMs)
{
    if (testFd < 0) {
        lastError = QStringLiteral("the line is not running");
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(testFd, data, size_t(left));
        if (written > 0) {
            data += written;
            left -= written;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR) {
            lastError = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (deadline.hasExpired()) {
            lastError = QStringLiteral("the line took no more bytes");
            return false;
        }
        // The line is full. The reader may live in this thread: let it read, then wait a
        // little for room in case it is another process.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        pollfd room = { testFd, POLLOUT, 0 };
        ::poll(&room, 1, 2);
    }
    return true;
}
