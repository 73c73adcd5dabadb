#pragma once

#include "dialogs/storedvalue.h"

#include <QString>

class QSettings;
class QVariant;

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

} // namespace SettingsStore
