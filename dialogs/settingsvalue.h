#pragma once

#include <QString>

class QSettings;

namespace SettingsValue {

// What QSettings itself writes for a flag: `true` or `false`. Anything else (a hand-edited
// "yes", a stray number) is not a choice the operator made: `ok` is false and `fallback` is
// returned.
bool flag(const QSettings &settings, const QString &key, bool fallback, bool *ok = nullptr);

} // namespace SettingsValue
