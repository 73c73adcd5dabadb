#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaProperty>
#include <QPaintEvent>
#include <QRegion>
#include <QVariant>
#include <QWidget>
#include <QtTest>

// Counts the paints a widget receives, and the pixels they cover.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;
    QRegion painted;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent *>(event)->region();
        }
        return false;
    }
};

// A widget that counts the paints it really receives: the count travels with the widget, and
// a test may set it back to zero before the step it watches.
template<class Widget> class CountingPaints : public Widget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        Widget::paintEvent(event);
    }
};

// Delivers pending update requests, so that every requested repaint has happened.
inline void flushPaints()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Shows the widget and waits for its first paint with nothing left pending, so that whatever
// the counter (a PaintCounter or a CountingPaints widget) sees afterwards comes from the test's
// own steps.
template<class Counter> [[nodiscard]] bool shownAndPainted(QWidget &widget, const Counter &counter)
{
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget))
        return false;
    if (!QTest::qWaitFor([&counter] { return counter.paints > 0; }))
        return false;
    flushPaints();
    return true;
}

// Writes a property its own value (no repaint), then `changed` (one repaint), then `again`, a
// value equal to `changed` (no repaint): a setter repaints only when the value really changes.
inline void checkRepaintOnlyOnChange(QWidget &widget, const QMetaProperty &property,
                                     const PaintCounter &counter, const QVariant &changed,
                                     const QVariant &again)
{
    const QVariant current = property.read(&widget);
    int paints = counter.paints;
    QVERIFY(property.write(&widget, current));
    flushPaints();
    QCOMPARE(counter.paints, paints);

    QVERIFY(changed.isValid());
    QVERIFY(property.write(&widget, changed));
    flushPaints();
    QCOMPARE(counter.paints, paints + 1);
    QCOMPARE(property.read(&widget), changed);

    paints = counter.paints;
    QVERIFY(property.write(&widget, again));
    flushPaints();
    QCOMPARE(counter.paints, paints);
}
