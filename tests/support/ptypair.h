#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real serial line for tests: socat joins two pseudo-terminals, the program under test opens
// one end by name and the test writes the other. stop() and start() again pull the line and
// bring it back under the same names, as an unplugged and replugged adapter would.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Starts socat and waits until both ends exist. Returns false (see error()) on failure.
    bool start();
    // Ends socat by its process id; both ends vanish and the program's end reports errors.
    void stop();
    bool isRunning() const;

    // The end the program opens, and the end the test writes.
    QString programEnd() const;
    QString testEnd() const;

    // Writes all of `bytes` to the test end as one write() where the line takes it: a pty
    // takes only a few kilobytes while nobody reads the other end, so the rest follows as the
    // event loop lets the reader drain it. False when the deadline passes first.
    bool write(const QByteArray &bytes, int timeoutMs = 10000);

    QString error() const { return lastError; }

private:
    bool openTestEnd();
    void closeTestEnd();

    QTemporaryDir dir;
    QProcess socat;
    int testFd = -1;
    QString lastError;
};
