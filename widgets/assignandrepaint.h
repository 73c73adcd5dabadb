#pragma once

#include <QWidget>

// The widgets' setter rule: a value equal to the stored one changes nothing and costs no paint;
// another is stored and the widget repainted. Returns whether the value changed, for a setter
// that has more to do then.
template<class T> bool assignAndRepaint(QWidget *widget, T &member, const T &value)
{
    if (member == value)
        return false;
    member = value;
    widget->update();
    return true;
}
