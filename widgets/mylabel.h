#pragma once

#include <QLabel>

class QMouseEvent;

// A label that reports every mouse release as a click.
class myLabel : public QLabel
{
    Q_OBJECT

public:
    myLabel(const QString &text, QWidget *parent);
    ~myLabel() override;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};
