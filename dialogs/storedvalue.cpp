#include "dialogs/storedvalue.h"

#include <QString>
#include <QVariant>

namespace StoredValue {

bool flagFromValue(const QVariant &value, bool fallback, Spelling spelling, bool *known)
{
    if (known)
        *known = true;
    if (value.type() == QVariant::Bool)
        return value.toBool();
    QString text;
    if (spelling == Spelling::Loose)
        text = value.toString().trimmed();
    else if (value.type() == QVariant::String)
        text = value.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    if (known)
        *known = false;
    return fallback;
}

} // namespace StoredValue
