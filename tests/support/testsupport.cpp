#include "testsupport.h"

#include <QDeadlineTimer>
#include <QNetworkInterface>

#include <QDir>
#include <QSettings>

namespace OrvaneTest {

namespace {
const IsolatedSettings *current = nullptr;
}

IsolatedSettings::IsolatedSettings()
    : dir(QDir::tempPath() + QStringLiteral("/orvane-test-XXXXXX"))
{
    if (!dir.isValid())
        qFatal("cannot create a temporary settings folder");
    // Set before any QSettings exists: the store's location is fixed by the first one.
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    current = this;
}

IsolatedSettings::~IsolatedSettings()
{
    current = nullptr;
}

QString IsolatedSettings::settingsFile() const
{
    return dir.path() + QStringLiteral("/Vexo/Unknown.conf");
}

void IsolatedSettings::clear() const
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

void chooseHeadlessPlatformIfNeeded()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void finishIsolation(const IsolatedSettings &settings)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
}

const IsolatedSettings &isolatedSettings()
{
    Q_ASSERT(current);
    return *current;
}

bool onlyLoopbackHere()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &interface : interfaces) {
        if (interface.type() != QNetworkInterface::Loopback)
            return false;
    }
    return !interfaces.isEmpty();
}

QString startOwnXvfb(QProcess &xvfb, const QString &screen)
{
    return startOwnXvfb(xvfb, { QStringLiteral("-screen"), QStringLiteral("0"), screen });
}

QString startOwnXvfb(QProcess &xvfb, const QStringList &screenArguments)
{
    // Xvfb picks a free display number and reports it on the given descriptor.
    xvfb.setStandardErrorFile(QProcess::nullDevice());
    xvfb.start(QStringLiteral("Xvfb"),
               QStringList({ QStringLiteral("-displayfd"), QStringLiteral("1") }) + screenArguments
                   + QStringList({ QStringLiteral("-nolisten"), QStringLiteral("tcp") }));
    if (!xvfb.waitForStarted(10000))
        return QString();
    QByteArray number;
    const QDeadlineTimer started(20000);
    while (!number.contains('\n') && !started.hasExpired() && xvfb.state() == QProcess::Running) {
        xvfb.waitForReadyRead(200);
        number += xvfb.readAllStandardOutput();
    }
    if (!number.contains('\n'))
        return QString();
    return QStringLiteral(":") + QString::fromLatin1(number.trimmed());
}

} // namespace OrvaneTest
