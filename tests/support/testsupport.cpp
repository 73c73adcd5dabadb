#include "testsupport.h"

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

} // namespace OrvaneTest
