#pragma once

#include <QColor>
#include <QWidget>

class ClockSource;
class QPaintEvent;
class QPainter;
class QRegion;
class QTimer;
class QTransform;

// Studio clock face: hour and minute ticks, a ring of 60 second dots, two short triangular
// hands near the rim (outlined if asked), an optional end-time marker with a 15-second approach
// arc and an optional count-down arc. It paints no background; everything it leaves out shows what
// lies beneath. All lengths are in units of a 200 x 200 face scaled to the widget.
class VexoAnalogClock : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool HourLines READ getHourLines WRITE setHourLines)
    Q_PROPERTY(int HourLinesLength READ getHourLinesLength WRITE setHourLinesLength)
    Q_PROPERTY(int HourLinesWidth READ getHourLinesWidth WRITE setHourLinesWidth)
    Q_PROPERTY(QColor HourLinesColor READ getHourLinesColor WRITE setHourLinesColor)
    Q_PROPERTY(bool MinuteLines READ getMinuteLines WRITE setMinuteLines)
    Q_PROPERTY(int MinuteLinesLength READ getMinuteLinesLength WRITE setMinuteLinesLength)
    Q_PROPERTY(int MinuteLinesWidth READ getMinuteLinesWidth WRITE setMinuteLinesWidth)
    Q_PROPERTY(QColor MinuteLinesColor READ getMinuteLinesColor WRITE setMinuteLinesColor)
    Q_PROPERTY(bool SecondDots READ getSecondDots WRITE setSecondDots)
    Q_PROPERTY(bool SecondDotsCountDown READ getSecondDotsCountDown WRITE setSecondDotsCountDown)
    Q_PROPERTY(int DotSize READ getDotSize WRITE setDotSize)
    Q_PROPERTY(QColor DotColor READ getDotColor WRITE setDotColor)
    Q_PROPERTY(bool Hands READ getHands WRITE setHands)
    Q_PROPERTY(QColor HourHandColor READ getHourHandColor WRITE setHourHandColor)
    Q_PROPERTY(int HourHandBorder READ getHourHandBorder WRITE setHourHandBorder)
    Q_PROPERTY(int HourHandLength READ getHourHandLength WRITE setHourHandLength)
    Q_PROPERTY(int HourHandWidth READ getHourHandWidth WRITE setHourHandWidth)
    Q_PROPERTY(QColor MinuteHandColor READ getMinuteHandColor WRITE setMinuteHandColor)
    Q_PROPERTY(int MinuteHandBorder READ getMinuteHandBorder WRITE setMinuteHandBorder)
    Q_PROPERTY(int MinuteHandLength READ getMinuteHandLength WRITE setMinuteHandLength)
    Q_PROPERTY(int MinuteHandWidth READ getMinuteHandWidth WRITE setMinuteHandWidth)
    Q_PROPERTY(bool EndTime READ getEndTime WRITE setEndTime)
    Q_PROPERTY(int EndTimeLength READ getEndTimeLength WRITE setEndTimeLength)
    Q_PROPERTY(int EndTimeWidth READ getEndTimeWidth WRITE setEndTimeWidth)
    Q_PROPERTY(int EndTimeHour READ getEndTimeHour WRITE setEndTimeHour)
    Q_PROPERTY(int EndTimeMinute READ getEndTimeMinute WRITE setEndTimeMinute)
    Q_PROPERTY(int EndTimeSecond READ getEndTimeSecond WRITE setEndTimeSecond)
    Q_PROPERTY(QColor EndTimeColor READ getEndTimeColor WRITE setEndTimeColor)
    Q_PROPERTY(float CountDownTime READ getCountDownTime WRITE setCountDownTime)
    Q_PROPERTY(int CountDownWidth READ getCountDownWidth WRITE setCountDownWidth)
    Q_PROPERTY(int CountDownSpacing READ getCountDownSpacing WRITE setCountDownSpacing)
    Q_PROPERTY(QColor CountDownColor READ getCountDownColor WRITE setCountDownColor)
    Q_PROPERTY(bool Driven READ getDriven WRITE setDriven)
    Q_PROPERTY(QColor HandOutlineColor READ getHandOutlineColor WRITE setHandOutlineColor)

public:
    explicit VexoAnalogClock(QWidget *parent = nullptr);
    ~VexoAnalogClock() override;

    // Where the clock reads the time; the system clock unless a test gives another.
    void setClockSource(const ClockSource *source);

    bool getHourLines() const { return HourLines; }
    void setHourLines(bool value);
    int getHourLinesLength() const { return HourLinesLength; }
    void setHourLinesLength(int value);
    int getHourLinesWidth() const { return HourLinesWidth; }
    void setHourLinesWidth(int value);
    QColor getHourLinesColor() const { return HourLinesColor; }
    void setHourLinesColor(QColor value);
    bool getMinuteLines() const { return MinuteLines; }
    void setMinuteLines(bool value);
    int getMinuteLinesLength() const { return MinuteLinesLength; }
    void setMinuteLinesLength(int value);
    int getMinuteLinesWidth() const { return MinuteLinesWidth; }
    void setMinuteLinesWidth(int value);
    QColor getMinuteLinesColor() const { return MinuteLinesColor; }
    void setMinuteLinesColor(QColor value);
    bool getSecondDots() const { return SecondDots; }
    void setSecondDots(bool value);
    bool getSecondDotsCountDown() const { return SecondDotsCountDown; }
    void setSecondDotsCountDown(bool value);
    int getDotSize() const { return DotSize; }
    void setDotSize(int value);
    QColor getDotColor() const { return DotColor; }
    void setDotColor(QColor value);
    bool getHands() const { return Hands; }
    void setHands(bool value);
    QColor getHourHandColor() const { return HourHandColor; }
    void setHourHandColor(QColor value);
    int getHourHandBorder() const { return HourHandBorder; }
    void setHourHandBorder(int value);
    int getHourHandLength() const { return HourHandLength; }
    void setHourHandLength(int value);
    int getHourHandWidth() const { return HourHandWidth; }
    void setHourHandWidth(int value);
    QColor getMinuteHandColor() const { return MinuteHandColor; }
    void setMinuteHandColor(QColor value);
    int getMinuteHandBorder() const { return MinuteHandBorder; }
    void setMinuteHandBorder(int value);
    int getMinuteHandLength() const { return MinuteHandLength; }
    void setMinuteHandLength(int value);
    int getMinuteHandWidth() const { return MinuteHandWidth; }
    void setMinuteHandWidth(int value);
    bool getEndTime() const { return EndTime; }
    void setEndTime(bool value);
    int getEndTimeLength() const { return EndTimeLength; }
    void setEndTimeLength(int value);
    int getEndTimeWidth() const { return EndTimeWidth; }
    void setEndTimeWidth(int value);
    int getEndTimeHour() const { return EndTimeHour; }
    void setEndTimeHour(int value);
    int getEndTimeMinute() const { return EndTimeMinute; }
    void setEndTimeMinute(int value);
    int getEndTimeSecond() const { return EndTimeSecond; }
    void setEndTimeSecond(int value);
    QColor getEndTimeColor() const { return EndTimeColor; }
    void setEndTimeColor(QColor value);
    float getCountDownTime() const { return CountDownTime; }
    void setCountDownTime(float value);
    int getCountDownWidth() const { return CountDownWidth; }
    void setCountDownWidth(int value);
    int getCountDownSpacing() const { return CountDownSpacing; }
    void setCountDownSpacing(int value);
    QColor getCountDownColor() const { return CountDownColor; }
    void setCountDownColor(QColor value);
    // Driven: the owner calls checkTime() just after each second boundary, and the clock's
    // own ten-a-second poll rests. Off, the clock keeps its own time.
    bool getDriven() const { return Driven; }
    void setDriven(bool value);
    // A line of this colour, a unit wide, round both hands, so that light hands stand clear of
    // the ticks and dots they pass; none while the colour is invalid.
    QColor getHandOutlineColor() const { return HandOutlineColor; }
    void setHandOutlineColor(QColor value);

    int displayedHour() const { return hour; }
    int displayedMinute() const { return minute; }
    int displayedSecond() const { return second; }

public slots:
    // Polls the time; repaints only when the second has changed.
    void checkTime();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The face's parts, in the order paintEvent() draws them, each in the face's frame. The
    // rings of ticks and dots step the painter round the face and leave it turned a full
    // circle; the others keep the frame they are given.
    void drawLines(QPainter &painter, const QRegion &dirty) const;
    void drawEndTime(QPainter &painter) const;
    void drawCountDown(QPainter &painter) const;
    void drawHands(QPainter &painter) const;
    void drawSecondDots(QPainter &painter, const QRegion &dirty) const;

    // The face's frame: origin at the centre, 200 units across the shorter side.
    QTransform faceTransform() const;
    // The pixels where the second dots and the minute hand differ between two seconds of one
    // minute.
    QRegion secondStepRegion(int from, int to) const;

    bool HourLines;
    int HourLinesLength;
    int HourLinesWidth;
    QColor HourLinesColor;
    bool MinuteLines;
    int MinuteLinesLength;
    int MinuteLinesWidth;
    QColor MinuteLinesColor;
    bool SecondDots;
    bool SecondDotsCountDown;
    int DotSize;
    QColor DotColor;
    bool Hands;
    QColor HourHandColor;
    int HourHandBorder;
    int HourHandLength;
    int HourHandWidth;
    QColor MinuteHandColor;
    int MinuteHandBorder;
    int MinuteHandLength;
    int MinuteHandWidth;
    int hour;
    int minute;
    int second;
    bool EndTime;
    int EndTimeLength;
    int EndTimeWidth;
    int EndTimeHour;
    int EndTimeMinute;
    int EndTimeSecond;
    QColor EndTimeColor;
    float CountDownTime;
    int CountDownWidth;
    int CountDownSpacing;
    QColor CountDownColor;
    bool Driven;
    QColor HandOutlineColor;

    QTimer *timer;
    const ClockSource *clock;
};
