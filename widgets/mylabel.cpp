#include "widgets/mylabel.h"

myLabel::myLabel(const QString &text, QWidget *parent)
    : QLabel(parent)
{
    setText(text);
}

myLabel::~myLabel() = default;

void myLabel::mouseReleaseEvent(QMouseEvent *)
{
    // Any button counts, and the label's own release handling (text selection, links) is
    // deliberately skipped: these labels are buttons.
    emit clicked();
}
