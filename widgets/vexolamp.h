#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

// A status lamp with its legend, as on a hardware panel: a rounded window that is dark when
// unlit and filled with LitColor when lit, the text centred in it in the widget's font. A text
// too long for the lamp is cut where ElideMode says. A Label, when set, stands before the text
// in LabelFont, on the same baseline: a word that says what a number counts. A transparent
// LitColor leaves only the words, for legends that stand straight on a dial. It reports a
// click, for lamps that the operator acknowledges by pressing them.
class VexoLamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Lit READ getLit WRITE setLit)
    Q_PROPERTY(QString Text READ getText WRITE setText)
    Q_PROPERTY(QColor LitColor READ getLitColor WRITE setLitColor)
    Q_PROPERTY(QColor LitTextColor READ getLitTextColor WRITE setLitTextColor)
    Q_PROPERTY(QColor UnlitColor READ getUnlitColor WRITE setUnlitColor)
    Q_PROPERTY(QColor UnlitTextColor READ getUnlitTextColor WRITE setUnlitTextColor)
    Q_PROPERTY(Qt::TextElideMode ElideMode READ getElideMode WRITE setElideMode)
    Q_PROPERTY(QString Label READ getLabel WRITE setLabel)
    Q_PROPERTY(QFont LabelFont READ getLabelFont WRITE setLabelFont)

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
    Qt::TextElideMode getElideMode() const { return ElideMode; }
    void setElideMode(Qt::TextElideMode mode);
    const QString &getLabel() const { return Label; }
    void setLabel(const QString &label);
    const QFont &getLabelFont() const { return LabelFont; }
    void setLabelFont(const QFont &font);

    // The text as the lamp draws it at its present size and font: whole, or cut with "…".
    QString shownText() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // The width the label takes before the text, with the space after it; 0 without a label.
    int labelWidth() const;

    bool Lit;
    QString Text;
    QColor LitColor;
    QColor LitTextColor;
    QColor UnlitColor;
    QColor UnlitTextColor;
    Qt::TextElideMode ElideMode;
    QString Label;
    QFont LabelFont;
};
