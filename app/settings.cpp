#include "app/mainwindow.h"

#include "app/settingsstore.h"
#include "widgets/mylabel.h"

#include <QDeadlineTimer>
#include <QSettings>
#include <QThread>

namespace {

// The captions' keys, in the order of MainWindow::captions().
constexpr std::array<const char *, 3> CaptionKeys
    = { "labelMeter1", "labelMeter2", "labelMeter3" };

} // namespace

void MainWindow::readSettings()
{
    const QString path = SettingsStore::filePath();
    if (!SettingsStore::isSafeToOpen(path)) {
        // Nothing stored can be read: everything is as on a machine where the program never ran.
        setSettingsProblem(tr("settings file unusable"));
        commSettings = comm_st();
        remoteSettings = RemoteSettings();
        distributionSettings = DistributionSettings();
        const std::array<myLabel *, 3> labels = captions();
        const std::array<QString, 3> fallbacks = defaultCaptions();
        for (std::size_t i = 0; i < labels.size(); ++i)
            labels[i]->setText(fallbacks[i]);
        storedSettings = heldSettings();
        return;
    }

    QSettings settings;
    SettingsStore::prepare(settings);
    // A file there that cannot be read gives the defaults, and cannot be stored over either:
    // say so now, not at the first write.
    if (settings.status() == QSettings::AccessError)
        setSettingsProblem(tr("settings file unreadable"));
    const auto text = [&settings](const char *key) {
        return SettingsStore::textFromValue(settings.value(QString::fromLatin1(key)));
    };
    commSettings.is_server
        = SettingsStore::flagFromValue(settings.value(QStringLiteral("is_server")));
    commSettings.use_udp = SettingsStore::flagFromValue(settings.value(QStringLiteral("use_udp")));
    commSettings.serialport = text("serialport");
    commSettings.server_host = text("server_host");
    commSettings.server_port = text("server_port");
    commSettings.client_host = text("client_host");
    commSettings.client_port = text("client_port");

    // An operator may have stored an empty caption on purpose: only a missing key falls back.
    const std::array<myLabel *, 3> labels = captions();
    const std::array<QString, 3> fallbacks = defaultCaptions();
    for (std::size_t i = 0; i < CaptionKeys.size(); ++i) {
        const QString key = QString::fromLatin1(CaptionKeys[i]);
        labels[i]->setText(settings.contains(key) ? text(CaptionKeys[i]) : fallbacks[i]);
    }

    restorePlacement(settings.value(QStringLiteral("current_screen")).toInt(),
                     settings.value(QStringLiteral("geometry")).toByteArray());
    displaySettings = DisplaySettings::read(settings);
    remoteSettings = RemoteSettings::read(settings);
    distributionSettings = DistributionSettings::read(settings);
    bool endUnreadable = false;
    clockSettings = ClockSettings::read(settings, &endUnreadable);
    if (endUnreadable)
        setProblem(endTimeProblem, tr("end time unreadable, off"));
    storedSettings = heldSettings();
}

SettingsStore::Values MainWindow::heldSettings()
{
    return SettingsStore::valuesWrittenBy([this](QSettings &settings) {
        settings.setValue(QStringLiteral("is_server"), commSettings.is_server);
        settings.setValue(QStringLiteral("use_udp"), commSettings.use_udp);
        settings.setValue(QStringLiteral("serialport"), commSettings.serialport);
        settings.setValue(QStringLiteral("server_host"), commSettings.server_host);
        settings.setValue(QStringLiteral("server_port"), commSettings.server_port);
        settings.setValue(QStringLiteral("client_host"), commSettings.client_host);
        settings.setValue(QStringLiteral("client_port"), commSettings.client_port);
        settings.setValue(QStringLiteral("current_screen"), currentScreenNumber());
        settings.setValue(QStringLiteral("geometry"), saveGeometry());
        const std::array<myLabel *, 3> labels = captions();
        for (std::size_t i = 0; i < labels.size(); ++i)
            settings.setValue(QString::fromLatin1(CaptionKeys[i]), labels[i]->text());
        displaySettings.write(settings);
        clockSettings.write(settings);
        distributionSettings.write(settings);
        // A group read with a fault stays as the operator wrote it, to be mended there or in the
        // dialog, rather than be overwritten with what it fell back to.
        if (remoteSettings.fault.isEmpty())
            remoteSettings.write(settings);
    });
}

bool MainWindow::writeSettings(int lockWaitMs)
{
    settingsRetryTimer.stop();
    const QString path = SettingsStore::filePath();
    if (!SettingsStore::isSafeToOpen(path)) {
        setSettingsProblem(tr("settings file unusable"));
        return false;
    }
    // QSettings would wait for the lock without a limit, and the meters and clocks with it.
    const QDeadlineTimer deadline(lockWaitMs);
    while (!SettingsStore::lockIsFree(path)) {
        if (deadline.hasExpired()) {
            setSettingsProblem(tr("settings locked, not saved"));
            settingsRetryTimer.start();
            return false;
        }
        QThread::msleep(50);
    }

    QSettings settings;
    SettingsStore::prepare(settings);
    const SettingsStore::Values now = heldSettings();
    SettingsStore::Values before = storedSettings;
    // The window's place is stored as it is now, whatever the file says.
    before.remove(QStringLiteral("current_screen"));
    before.remove(QStringLiteral("geometry"));
    SettingsStore::putChanged(settings, before, now);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        setSettingsProblem(tr("settings not saved"));
        settingsRetryTimer.start();
        return false;
    }
    storedSettings = now;
    setSettingsProblem(QString());
    return true;
}
