#include "panel/lampstyle.h"

#include "panel/designlayout.h"
#include "panel/palette.h"
#include "widgets/vexolamp.h"

#include <cmath>

namespace LampStyle {

namespace {

const QColor Green(0, 196, 64);
const QColor Amber(255, 170, 0);
const QColor SignalBlue(30, 100, 235);
const QColor Violet(176, 132, 255);
const QColor Teal(0, 190, 175);
const QColor Purple(120, 30, 160);
const QColor Red(215, 20, 20);
const QColor DialCyan(0, 200, 255);
const QColor DialRed(255, 70, 70);
const QColor DialMagenta(255, 80, 255);

// Relative luminance of an sRGB colour.
double luminance(const QColor &c)
{
    const auto linear
        = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

} // namespace

Look look(State state)
{
    const QColor onDial(Qt::transparent);
    switch (state) {
    case State::Live:
    case State::Synced:
        return { Green, Black, false, false };
    case State::NoInput:
        return { Amber, Black, false, true };
    case State::NoData:
        // The blue of a screen with no signal.
        return { SignalBlue, White, false, true };
    case State::LiveBackup:
        return { Teal, Black, false, false };
    case State::NoServer:
        return { Purple, White, false, true };
    case State::NoLink:
    case State::Over:
    case State::OnAir:
        return { Red, White, false, true };
    case State::Silence:
        return { Red, White, true, true };
    case State::NotSynced:
        return { Violet, Black, false, false };
    case State::EndNear:
        return { onDial, DialCyan, false, false };
    case State::EndClose:
    case State::Overrun:
        return { onDial, DialRed, false, true };
    case State::TimeUp:
        return { onDial, DialRed, true, true };
    case State::CountDown:
        return { onDial, DialMagenta, false, true };
    }
    return { UnlitFace, UnlitText, false, false };
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor dimmed(const QColor &colour, double brightness)
{
    const double k = qBound(0.0, brightness, 1.0);
    return QColor(qRound(colour.red() * k), qRound(colour.green() * k), qRound(colour.blue() * k),
                  colour.alpha());
}

QColor unlitText(double brightness)
{
    const QColor readable(105, 105, 105);
    const QColor dim = dimmed(UnlitText, brightness);
    return dim.red() < readable.red() ? readable : dim;
}

void show(VexoLamp *lamp, State state)
{
    const Look l = look(state);
    setColours(lamp, l.lit, l.text);
}

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
    lamp->setUnlitColor(UnlitFace);
    lamp->setUnlitTextColor(UnlitText);
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

QString clockCount(qint64 seconds)
{
    return minutesAndSeconds(seconds, 2);
}

} // namespace LampStyle
