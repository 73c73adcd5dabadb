#pragma once

#include <QFont>
#include <QString>

// What the panel's lamps share: their typeface, and the way they count a time that runs on
// across a room ("0:10", "3:25", "1:03:25").
namespace LampStyle {

inline QFont font(int pixelSize)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(qMax(1, pixelSize));
    return f;
}

inline QString minutesAndSeconds(qint64 seconds)
{
    const qint64 s = qMax<qint64>(0, seconds);
    if (s < 3600)
        return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace LampStyle
