#include "widgets/mylabel.h"

#include "widgets/assignandrepaint.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

myLabel::myLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    setText(text);
}

myLabel::~myLabel() = default;

void myLabel::setElideMode(Qt::TextElideMode mode)
{
    assignAndRepaint(this, ElideMode, mode);
}

QString myLabel::shownText() const
{
    if (ElideMode == Qt::ElideNone || textFormat() != Qt::PlainText)
        return text();
    return fontMetrics().elidedText(text(), ElideMode, contentsRect().width());
}

void myLabel::mouseReleaseEvent(QMouseEvent *)
{
    // Any button counts, and the label's own release handling (text selection, links) is
    // deliberately skipped: these labels are buttons.
    emit clicked();
}

void myLabel::paintEvent(QPaintEvent *event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          shown, foregroundRole());
}
