#pragma once

#include "comm/levelframe.h"
#include "loopback.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

// orvane-feed run as the separate program it is. Waiting keeps this process's event loop
// going, so that a window or socket of the test keeps reading while the tool runs.
class FeedProcess
{
public:
    explicit FeedProcess(const QString &binary)
        : program(binary)
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += QString::fromUtf8(process.readAllStandardOutput()); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += QString::fromUtf8(process.readAllStandardError()); });
    }
    ~FeedProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    bool start(const QStringList &arguments, const QStringList &wrapper = QStringList())
    {
        if (wrapper.isEmpty())
            process.start(program, arguments);
        else
            process.start(wrapper.first(), wrapper.mid(1) + QStringList(program) + arguments);
        return process.waitForStarted(5000);
    }

    // Waits until the program has printed a line that starts with `prefix`.
    bool waitForLine(const QString &prefix, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(
                   [&] {
                       for (const QString &line : out.split(QLatin1Char('\n')))
                           if (line.startsWith(prefix))
                               return true;
                       return process.state() == QProcess::NotRunning;
                   },
                   timeoutMs)
            && process.state() == QProcess::Running;
    }

    bool finish(int timeoutMs = 15000)
    {
        const bool ended
            = QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
        // What is still in the pipes.
        out += QString::fromUtf8(process.readAllStandardOutput());
        err += QString::fromUtf8(process.readAllStandardError());
        return ended;
    }

    // Ctrl+C in the terminal.
    void interrupt() { ::kill(pid_t(process.processId()), SIGINT); }

    int exitCode() const
    {
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // Output lines that hold a decoded frame: time, peer, six levels and the rate.
    QList<QStringList> frameLines() const
    {
        QList<QStringList> lines;
        for (const QString &line : out.split(QLatin1Char('\n'))) {
            const QStringList fields = line.simplified().split(QLatin1Char(' '));
            bool isTime = false;
            fields.first().toDouble(&isTime);
            if (isTime && fields.size() >= 9 && !line.contains(QLatin1String("no frame")))
                lines.append(fields);
        }
        return lines;
    }

    // A "name: value" line of the monitor's summary.
    QString summary(const QString &name) const
    {
        for (const QString &line : out.split(QLatin1Char('\n'))) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(name + QLatin1Char(':')))
                return trimmed.mid(name.size() + 1).trimmed();
        }
        return QString();
    }

    QString program;
    QProcess process;
    QString out;
    QString err;
};

// The six levels of a line from frameLines(), as printed.
inline QStringList levelsOf(const QStringList &fields)
{
    return fields.mid(2, LevelFrame::Channels);
}
