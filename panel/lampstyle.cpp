#include "panel/lampstyle.h"

#include "panel/designlayout.h"
#include "panel/palette.h"
#include "widgets/vexolamp.h"

namespace LampStyle {

int scaled(int designPixels, const DesignLayout::Fit &fit)
{
    return static_cast<int>(static_cast<float>(designPixels) * fit.scale + 0.5f);
}

QFont font(int pixelSize)
{
    QFont f(Palette::FontFamily);
    f.setBold(true);
    f.setPixelSize(qMax(1, pixelSize));
    return f;
}

QFont font(int designPixelSize, const DesignLayout::Fit &fit)
{
    return font(scaled(designPixelSize, fit));
}

VexoLamp *makeLamp(QWidget *parent, const QString &name)
{
    auto *lamp = new VexoLamp(parent);
    lamp->setObjectName(name);
    return lamp;
}

VexoLamp *makeLegend(QWidget *parent, const QString &name)
{
    VexoLamp *lamp = makeLamp(parent, name);
    lamp->setLit(true);
    lamp->setAttribute(Qt::WA_TransparentForMouseEvents);
    return lamp;
}

void setColours(VexoLamp *lamp, const QColor &lit, const QColor &text)
{
    lamp->setLitColor(lit);
    lamp->setLitTextColor(text);
}

QString minutesAndSeconds(qint64 seconds, int minuteDigits)
{
    const qint64 s = qMax<qint64>(0, seconds);
    if (s < 3600)
        return QStringLiteral("%1:%2")
            .arg(s / 60, minuteDigits, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace LampStyle
