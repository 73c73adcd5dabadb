#pragma once

#include "dialogs/storedvalue.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <functional>

class QSettings;

// The rules for touching the settings file without ever hanging the display on it, and for
// reading values that a person may have written into it by hand.
namespace SettingsStore {

// The file that a default-constructed QSettings of this program reads and writes.
QString filePath();

// Whether the file may be opened: absent, or a regular file. Opening a FIFO waits for a writer
// that never comes, and a device may never end; such a file is neither read nor replaced.
bool isSafeToOpen(const QString &path);

// Whether the lock that QSettings takes for a write is free at this moment, found without
// waiting. QSettings itself waits without a limit: for a lock of another host until it is
// thirty seconds old, for a directory or a FIFO in the lock's place for ever.
bool lockIsFree(const QString &path);

// Makes `settings` read and write text as UTF-8, as a person's editor writes it. Values
// stored with escapes (all that earlier versions wrote) read the same.
void prepare(QSettings &settings);

// A flag as QSettings writes it, exactly; anything else is false, the flags' default.
using StoredValue::flagFromValue;

// A text value. A comma outside quotes makes QSettings read a list; a person who writes
// "Studio, Left" means the text, so the parts are joined the way they were written apart.
QString textFromValue(const QVariant &value);

// Settings key by key ("labelMeter1", "display/stale_time"), as QSettings stores them.
using Values = QMap<QString, QVariant>;

// What `write` stores into a QSettings, key by key, without touching any file.
Values valuesWrittenBy(const std::function<void(QSettings &)> &write);

// Puts into `settings` the values of `now` that differ from `before` (what the program held
// when it last read or stored them), and those whose key the file lacks. Every other key keeps
// what the file holds, so that an edit made there by another program, or another instance,
// survives: on sync QSettings merges only the keys it was given into the file as it finds it
// then, under its lock.
void putChanged(QSettings &settings, const Values &before, const Values &now);

} // namespace SettingsStore
