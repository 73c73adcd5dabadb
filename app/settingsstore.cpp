#include "app/settingsstore.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTextCodec>
#include <QVariant>

namespace {

// UTF-8 for the settings file. QSettings writes a value through its codec one UTF-16 unit at a
// time, and UTF-8 alone drops a character beyond the basic plane (an emoji, a musical symbol):
// each half of its surrogate pair is nothing on its own. This codec keeps a first half until
// the second comes, and writes the pair as the one character it is. Reading is UTF-8's own.
class WholeCharacterUtf8 : public QTextCodec
{
public:
    QByteArray name() const override { return QByteArrayLiteral("orvane-settings-UTF-8"); }
    // Asked for by nobody; not UTF-8's own number, which must keep finding UTF-8 itself.
    int mibEnum() const override { return -1; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        return utf8()->toUnicode(in, length, state);
    }
    QByteArray convertFromUnicode(const QChar *in, int length,
                                  ConverterState *state) const override
    {
        QString text;
        if (!firstHalf.isNull())
            text += firstHalf;
        firstHalf = QChar();
        text.append(in, length);
        if (!text.isEmpty() && text.at(text.size() - 1).isHighSurrogate()) {
            firstHalf = text.at(text.size() - 1);
            text.chop(1);
        }
        return utf8()->fromUnicode(text.constData(), text.size(), state);
    }

private:
    static QTextCodec *utf8() { return QTextCodec::codecForMib(106); }

    // Only the GUI thread touches the settings.
    mutable QChar firstHalf;
};

} // namespace

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
    // Made once and owned by the toolkit, as every codec is.
    static QTextCodec *const codec = new WholeCharacterUtf8;
    settings.setIniCodec(codec);
}

QString textFromValue(const QVariant &value)
{
    if (value.type() == QVariant::StringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

Values valuesWrittenBy(const std::function<void(QSettings &)> &write)
{
    // Without a file name the object keeps what it is given and has nowhere to store it. Such
    // objects may share their keys while two exist, so it starts and ends empty.
    QSettings scratch(QString(), QSettings::IniFormat);
    scratch.clear();
    write(scratch);
    Values values;
    for (const QString &key : scratch.allKeys())
        values.insert(key, scratch.value(key));
    scratch.clear();
    return values;
}

void putChanged(QSettings &settings, const Values &before, const Values &now)
{
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (before.value(it.key()) != it.value() || !settings.contains(it.key()))
            settings.setValue(it.key(), it.value());
    }
}

} // namespace SettingsStore
