#pragma once

#include <QLabel>

class QMouseEvent;
class QPaintEvent;

// A label that reports every mouse release as a click. With an ElideMode other than
// Qt::ElideNone a plain text too wide for the label is shown cut there, with "…", instead of
// being clipped; text() stays whole.
class myLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(Qt::TextElideMode ElideMode READ getElideMode WRITE setElideMode)

public:
    myLabel(const QString &text, QWidget *parent);
    ~myLabel() override;

    Qt::TextElideMode getElideMode() const { return ElideMode; }
    void setElideMode(Qt::TextElideMode mode);

    // The text as the label shows it at its present size and font.
    QString shownText() const;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::TextElideMode ElideMode = Qt::ElideNone;
};
