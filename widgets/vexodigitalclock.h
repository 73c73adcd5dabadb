#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

class ClockSource;
class QPaintEvent;
class QTimer;

// The local time over the date, two centred lines with their own fonts and colours.
// Polls ten times a second and repaints only when the second changes.
class VexoDigitalClock : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool TimeDisplay READ getTimeDisplay WRITE setTimeDisplay)
    Q_PROPERTY(QFont TimeDisplayFont READ getTimeDisplayFont WRITE setTimeDisplayFont)
    Q_PROPERTY(
        QColor TimeDisplayFontColor READ getTimeDisplayFontColor WRITE setTimeDisplayFontColor)
    Q_PROPERTY(bool DateDisplay READ getDateDisplay WRITE setDateDisplay)
    Q_PROPERTY(QFont DateDisplayFont READ getDateDisplayFont WRITE setDateDisplayFont)
    Q_PROPERTY(
        QColor DateDisplayFontColor READ getDateDisplayFontColor WRITE setDateDisplayFontColor)
    Q_PROPERTY(bool Driven READ getDriven WRITE setDriven)

public:
    explicit VexoDigitalClock(QWidget *parent = nullptr);
    ~VexoDigitalClock() override;

    // Where the clock reads the time; the system clock unless a test gives another.
    void setClockSource(const ClockSource *source);

    bool getTimeDisplay() const { return TimeDisplay; }
    void setTimeDisplay(bool value);
    QFont getTimeDisplayFont() const { return TimeDisplayFont; }
    void setTimeDisplayFont(QFont value);
    QColor getTimeDisplayFontColor() const { return TimeDisplayFontColor; }
    void setTimeDisplayFontColor(QColor value);
    bool getDateDisplay() const { return DateDisplay; }
    void setDateDisplay(bool value);
    QFont getDateDisplayFont() const { return DateDisplayFont; }
    void setDateDisplayFont(QFont value);
    QColor getDateDisplayFontColor() const { return DateDisplayFontColor; }
    void setDateDisplayFontColor(QColor value);
    // Driven: the owner calls checkTime() just after each second boundary, and the clock's
    // own ten-a-second poll rests. Off, the clock keeps its own time.
    bool getDriven() const { return Driven; }
    void setDriven(bool value);

    QString timeText() const { return TimeText; }
    QString dateText() const { return DateText; }

public slots:
    // Refreshes both texts; repaints only when the seconds value has changed.
    void checkTime();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool TimeDisplay;
    QFont TimeDisplayFont;
    QColor TimeDisplayFontColor;
    bool DateDisplay;
    QFont DateDisplayFont;
    QColor DateDisplayFontColor;
    int LastSecond;
    QString TimeText;
    QString DateText;
    bool Driven;

    QTimer *timer;
    const ClockSource *clock;
};
