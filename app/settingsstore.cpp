#include "app/settingsstore.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace SettingsStore {

QString filePath()
{
    // QSettings() keeps the native format's user file for organisation "Vexo" and application
    // "Unknown" in the generic configuration folder ($XDG_CONFIG_HOME, else ~/.config).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Vexo/Unknown.conf");
}

bool isSafeToOpen(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

bool lockIsFree(const QString &path)
{
    const QString lockPath = path + QStringLiteral(".lock");
    // QLockFile would open a FIFO in the lock's place to read its owner, and wait there.
    if (!isSafeToOpen(lockPath))
        return false;
    QLockFile lock(lockPath);
    if (lock.tryLock(0)) {
        lock.unlock();
        return true;
    }
    // Only someone else's lock makes QSettings wait. A folder that does not exist yet, or
    // one that cannot be written, it handles (and reports) at once.
    return lock.error() != QLockFile::LockFailedError;
}

void prepare(QSettings &settings)
{
    settings.setIniCodec("UTF-8");
}

QString textFromValue(const QVariant &value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

} // namespace SettingsStore
