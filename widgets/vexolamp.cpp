#include "widgets/vexolamp.h"

#include "widgets/assignandrepaint.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

VexoLamp::VexoLamp(QWidget *parent)
    : QWidget(parent)
    , Lit(false)
    , LitColor(0, 200, 0, 255)
    , LitTextColor(0, 0, 0, 255)
    , UnlitColor(28, 28, 28, 255)
    , UnlitTextColor(90, 90, 90, 255)
    , ElideMode(Qt::ElideRight)
{
    setWindowTitle(tr("Lamp"));
    resize(80, 20);
}

VexoLamp::~VexoLamp() = default;

void VexoLamp::setLit(bool value)
{
    assignAndRepaint(this, Lit, value);
}

void VexoLamp::setText(const QString &text)
{
    assignAndRepaint(this, Text, text);
}

void VexoLamp::setLitColor(const QColor &color)
{
    assignAndRepaint(this, LitColor, color);
}

void VexoLamp::setLitTextColor(const QColor &color)
{
    assignAndRepaint(this, LitTextColor, color);
}

void VexoLamp::setUnlitColor(const QColor &color)
{
    assignAndRepaint(this, UnlitColor, color);
}

void VexoLamp::setUnlitTextColor(const QColor &color)
{
    assignAndRepaint(this, UnlitTextColor, color);
}

void VexoLamp::setElideMode(Qt::TextElideMode mode)
{
    assignAndRepaint(this, ElideMode, mode);
}

void VexoLamp::setLabel(const QString &label)
{
    assignAndRepaint(this, Label, label);
}

void VexoLamp::setLabelFont(const QFont &font)
{
    assignAndRepaint(this, LabelFont, font);
}

namespace {

// Room kept free at each end of the lamp.
constexpr int Inset = 2;

} // namespace

int VexoLamp::labelWidth() const
{
    if (Label.isEmpty())
        return 0;
    const QFontMetrics label(LabelFont);
    // A space of the label's own size between the word and what it counts.
    return label.horizontalAdvance(Label) + label.horizontalAdvance(QLatin1Char(' '));
}

QString VexoLamp::shownText() const
{
    // A legend too long for the lamp is cut, never run over the frame.
    return fontMetrics().elidedText(Text, ElideMode, width() - 2 * Inset - labelWidth());
}

void VexoLamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!Lit || LitColor.alpha() > 0) {
        const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const qreal radius = qMin(body.height() / 4.0, 4.0);
        painter.setPen(QPen(Lit ? LitColor.darker(160) : QColor(0, 0, 0, 255), 1.0));
        painter.setBrush(Lit ? LitColor : UnlitColor);
        painter.drawRoundedRect(body, radius, radius);
    }
    painter.setPen(Lit ? LitTextColor : UnlitTextColor);
    painter.setFont(font());
    const QString shown = shownText();
    if (Label.isEmpty()) {
        painter.drawText(rect(), Qt::AlignCenter, shown);
        return;
    }
    // The label and the text centred together, the capitals of the text centred in the lamp.
    const QFontMetrics text(font());
    const int left = (width() - labelWidth() - text.horizontalAdvance(shown)) / 2;
    const int baseline = (height() + text.capHeight()) / 2;
    painter.drawText(left + labelWidth(), baseline, shown);
    painter.setFont(LabelFont);
    painter.drawText(left, baseline, Label);
}

void VexoLamp::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->pos()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}
