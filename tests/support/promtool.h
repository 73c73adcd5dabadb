#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

namespace OrvaneTest {

// Prometheus' own check of a metrics text: its exit status (-1 when promtool did not start)
// and, in `said`, what it complained about.
inline int promtoolCheck(const QByteArray &metrics, QByteArray *said)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("promtool"),
                  { QStringLiteral("check"), QStringLiteral("metrics") });
    if (!process.waitForStarted(5000))
        return -1;
    process.write(metrics);
    process.closeWriteChannel();
    process.waitForFinished(20000);
    *said = process.readAll();
    return process.exitCode();
}

} // namespace OrvaneTest
