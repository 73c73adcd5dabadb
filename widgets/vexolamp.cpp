#include "widgets/vexolamp.h"

#include "widgets/assignandrepaint.h"

#include <QMouseEvent>
#include <QPainter>

VexoLamp::VexoLamp(QWidget *parent)
    : QWidget(parent)
    , Lit(false)
    , LitColor(0, 200, 0, 255)
    , LitTextColor(0, 0, 0, 255)
    , UnlitColor(28, 28, 28, 255)
    , UnlitTextColor(90, 90, 90, 255)
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

void VexoLamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = qMin(body.height() / 4.0, 4.0);
    painter.setPen(QPen(Lit ? LitColor.darker(160) : QColor(0, 0, 0, 255), 1.0));
    painter.setBrush(Lit ? LitColor : UnlitColor);
    painter.drawRoundedRect(body, radius, radius);
    painter.setPen(Lit ? LitTextColor : UnlitTextColor);
    painter.setFont(font());
    // A legend too long for the lamp is cut at its end, never run over the frame.
    const QString shown = painter.fontMetrics().elidedText(Text, Qt::ElideRight, width() - 4);
    painter.drawText(rect(), Qt::AlignCenter, shown);
}

void VexoLamp::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->pos()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}
