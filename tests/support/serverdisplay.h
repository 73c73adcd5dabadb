#pragma once

#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

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

// The real program as a server display in the other host's namespace of netns/twohosts.sh,
// with a settings store of its own: it reads a serial line and broadcasts every frame from its
// address on the cable. A server broadcasts, so it is never started in this namespace.
class ServerDisplay
{
public:
    ServerDisplay() = default;
    ServerDisplay(const ServerDisplay &) = delete;
    ServerDisplay &operator=(const ServerDisplay &) = delete;
    ~ServerDisplay() { stop(); }

    // Stores the server's settings and starts `program` in `netns`. False (see error()) when
    // the settings cannot be stored or the program does not start.
    bool start(const QString &program, const QString &netns, const QString &serialPort,
               const QString &address, const QString &port)
    {
        if (!config.isValid()) {
            lastError = config.errorString();
            return false;
        }
        {
            QSettings settings(config.filePath(QStringLiteral("Vexo/Unknown.conf")),
                               QSettings::IniFormat);
            settings.setValue(QStringLiteral("is_server"), true);
            settings.setValue(QStringLiteral("use_udp"), true);
            settings.setValue(QStringLiteral("serialport"), serialPort);
            settings.setValue(QStringLiteral("server_host"), address);
            settings.setValue(QStringLiteral("server_port"), port);
            settings.sync();
            if (settings.status() != QSettings::NoError) {
                lastError = QStringLiteral("the server's settings were not stored");
                return false;
            }
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
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
    QString error() const { return lastError; }

private:
    QTemporaryDir config;
    QProcess process;
    QString lastError;
};
