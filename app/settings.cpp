#include "mainwindow.h"

#include "mylabel.h"
#include "screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace {

QRect fullScreenGeometry(int index)
{
    // A screen that has gone since the settings were written has an empty rectangle: the
    // window then starts at the origin before its stored geometry is restored. -1 names the
    // primary screen, as the desktop's own numbering does.
    if (index == -1 && QGuiApplication::primaryScreen())
        return QGuiApplication::primaryScreen()->geometry();
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (index < 0 || index >= screens.size())
        return QRect();
    return screens.at(index)->geometry();
}

} // namespace

void MainWindow::readSettings()
{
    QSettings settings;
    commSettings.is_server = settings.value(QStringLiteral("is_server")).toBool();
    commSettings.use_udp = settings.value(QStringLiteral("use_udp")).toBool();
    commSettings.serialport = settings.value(QStringLiteral("serialport")).toString();
    commSettings.server_host = settings.value(QStringLiteral("server_host")).toString();
    commSettings.server_port = settings.value(QStringLiteral("server_port")).toString();
    commSettings.client_host = settings.value(QStringLiteral("client_host")).toString();
    commSettings.client_port = settings.value(QStringLiteral("client_port")).toString();

    // An operator may have stored an empty caption on purpose: only a missing key falls back.
    const struct
    {
        myLabel *label;
        const char *key;
        QString fallback;
    } captions[] = {
        { labelMeter1, "labelMeter1", tr("Prog") },
        { labelMeter2, "labelMeter2", tr("Sub") },
        { labelMeter3, "labelMeter3", tr("CRM") },
    };
    for (const auto &caption : captions) {
        const QString key = QString::fromLatin1(caption.key);
        caption.label->setText(settings.contains(key) ? settings.value(key).toString()
                                                      : caption.fallback);
    }

    move(fullScreenGeometry(settings.value(QStringLiteral("current_screen")).toInt())
             .topLeft());
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
    displaySettings = DisplaySettings::read(settings);
}

void MainWindow::writeSettings()
{
    QSettings settings;
    settings.setValue(QStringLiteral("is_server"), commSettings.is_server);
    settings.setValue(QStringLiteral("use_udp"), commSettings.use_udp);
    settings.setValue(QStringLiteral("serialport"), commSettings.serialport);
    settings.setValue(QStringLiteral("server_host"), commSettings.server_host);
    settings.setValue(QStringLiteral("server_port"), commSettings.server_port);
    settings.setValue(QStringLiteral("client_host"), commSettings.client_host);
    settings.setValue(QStringLiteral("client_port"), commSettings.client_port);
    settings.setValue(QStringLiteral("current_screen"), currentScreenNumber());
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("labelMeter1"), labelMeter1->text());
    settings.setValue(QStringLiteral("labelMeter2"), labelMeter2->text());
    settings.setValue(QStringLiteral("labelMeter3"), labelMeter3->text());
    displaySettings.write(settings);
}

int MainWindow::currentScreenNumber()
{
    QVector<QRect> areas;
    const QList<QScreen *> screens = QGuiApplication::screens();
    areas.reserve(screens.size());
    for (const QScreen *screen : screens)
        areas.append(screen->availableGeometry());
    return screenNumberFor(areas, pos(), isMaximized());
}
