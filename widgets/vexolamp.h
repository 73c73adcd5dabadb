#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

// A status lamp with its legend, as on a hardware panel: a rounded window that is dark when
// unlit and filled with LitColor when lit, the text centred in it in the widget's font. It
// reports a click, for lamps that the operator acknowledges by pressing them.
class VexoLamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Lit READ getLit WRITE setLit)
    Q_PROPERTY(QString Text READ getText WRITE setText)
    Q_PROPERTY(QColor LitColor READ getLitColor WRITE setLitColor)
    Q_PROPERTY(QColor LitTextColor READ getLitTextColor WRITE setLitTextColor)
    Q_PROPERTY(QColor UnlitColor READ getUnlitColor WRITE setUnlitColor)
    Q_PROPERTY(QColor UnlitTextColor READ getUnlitTextColor WRITE setUnlitTextColor)

public:
    explicit VexoLamp(QWidget *parent = nullptr);
    ~VexoLamp() override;

    bool getLit() const { return Lit; }
    void setLit(bool value);
    const QString &getText() const { return Text; }
    void setText(const QString &text);
    const QColor &getLitColor() const { return LitColor; }
    void setLitColor(const QColor &color);
    const QColor &getLitTextColor() const { return LitTextColor; }
    void setLitTextColor(const QColor &color);
    const QColor &getUnlitColor() const { return UnlitColor; }
    void setUnlitColor(const QColor &color);
    const QColor &getUnlitTextColor() const { return UnlitTextColor; }
    void setUnlitTextColor(const QColor &color);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool Lit;
    QString Text;
    QColor LitColor;
    QColor LitTextColor;
    QColor UnlitColor;
    QColor UnlitTextColor;
};
