#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QVector>

// Only loopback and one cable, carrying `ownAddress`: then nothing sent here can reach a real
// network. The second host of netns/twohosts.sh looks like this.
inline bool onCableOnly(const QHostAddress &ownAddress)
{
    int cables = 0;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (interface.type() == QNetworkInterface::Loopback)
            continue;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        if (entries.size() != 1 || entries.first().ip() != ownAddress)
            return false;
        ++cables;
    }
    return cables == 1;
}

// The real program in another host's namespace (netns/twohosts.sh, netns/plant.sh), with a
// settings store of its own holding `settings` ("key" at the top level, "group/key" in a
// group). Its log goes to the test's own output unless `keepLog` is asked for; then the lines
// it wrote are kept, each with the monotonic milliseconds (now()) of its arrival.
class DisplayProcess
{
public:
    DisplayProcess() = default;
    DisplayProcess(const DisplayProcess &) = delete;
    DisplayProcess &operator=(const DisplayProcess &) = delete;
    virtual ~DisplayProcess() { stop(); }

    bool start(const QString &program, const QString &netns, const QVariantMap &settings,
               const QProcessEnvironment &extra = QProcessEnvironment(), bool keepLog = false)
    {
        if (!config.isValid()) {
            lastError = config.errorString();
            return false;
        }
        {
            QSettings stored(config.filePath(QStringLiteral("Vexo/Unknown.conf")),
                             QSettings::IniFormat);
            stored.clear();
            for (auto it = settings.cbegin(); it != settings.cend(); ++it)
                stored.setValue(it.key(), it.value());
            stored.sync();
            if (stored.status() != QSettings::NoError) {
                lastError = QStringLiteral("the display's settings were not stored");
                return false;
            }
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(extra);
        process.setProcessEnvironment(environment);
        if (keepLog) {
            // Qt would log to the journal when its output is no terminal.
            environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
            process.setProcessEnvironment(environment);
            process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
            QObject::connect(&process, &QProcess::readyReadStandardError, [this] {
                while (process.canReadLine()) {
                    lines.append(QString::fromLocal8Bit(process.readLine()).trimmed());
                    times.append(now());
                }
            });
            process.setReadChannel(QProcess::StandardError);
        } else {
            process.setProcessChannelMode(QProcess::ForwardedChannels);
        }
        process.start(QStringLiteral("ip"),
                      { QStringLiteral("netns"), QStringLiteral("exec"), netns, program });
        if (!process.waitForStarted(5000)) {
            lastError = process.errorString();
            return false;
        }
        return true;
    }

    // Ends the program by its own process, asking first.
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QProcess::ProcessState state() const { return process.state(); }
    // `ip netns exec` becomes the program: this is the program's own process id.
    qint64 pid() const { return process.processId(); }
    QString error() const { return lastError; }
    // The first log line from `sinceMs` on that contains `text`: its arrival time, or -1.
    qint64 logged(const QString &text, qint64 sinceMs = 0) const
    {
        for (int i = 0; i < lines.size(); ++i) {
            if (times[i] >= sinceMs && lines[i].contains(text))
                return times[i];
        }
        return -1;
    }
    // The monotonic clock in milliseconds, the same for every display of the test.
    static qint64 now()
    {
        QElapsedTimer clock;
        clock.start();
        return clock.msecsSinceReference();
    }
    QString log() const
    {
        QString text;
        for (int i = 0; i < lines.size(); ++i)
            text += QStringLiteral("%1 %2\n").arg(times[i]).arg(lines[i]);
        return text;
    }

protected:
    QTemporaryDir config;
    QProcess process;
    QString lastError;
    QStringList lines;
    QVector<qint64> times;
};

// The real program as a server display in the other host's namespace of netns/twohosts.sh:
// it reads a serial line and broadcasts every frame from its address on the cable. A server
// broadcasts, so it is never started in this namespace.
class ServerDisplay : public DisplayProcess
{
public:
    // Stores the server's settings and starts `program` in `netns`. False (see error()) when
    // the settings cannot be stored or the program does not start.
    bool start(const QString &program, const QString &netns, const QString &serialPort,
               const QString &address, const QString &port)
    {
        return DisplayProcess::start(program, netns,
                                     { { QStringLiteral("is_server"), true },
                                       { QStringLiteral("use_udp"), true },
                                       { QStringLiteral("serialport"), serialPort },
                                       { QStringLiteral("server_host"), address },
                                       { QStringLiteral("server_port"), port } });
    }
};
