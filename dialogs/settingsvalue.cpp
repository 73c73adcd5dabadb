#include "dialogs/settingsvalue.h"

#include <QSettings>

namespace SettingsValue {

bool flag(const QSettings &settings, const QString &key, bool fallback, bool *ok)
{
    const QVariant value = settings.value(key);
    bool known = true;
    bool result = fallback;
    if (value.type() == QVariant::Bool) {
        result = value.toBool();
    } else {
        const QString text = value.toString().trimmed();
        if (text == QLatin1String("true"))
            result = true;
        else if (text == QLatin1String("false"))
            result = false;
        else
            known = false;
    }
    if (ok)
        *ok = known;
    return result;
}

} // namespace SettingsValue
