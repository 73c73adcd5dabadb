#pragma once

#include "widgets/peakhold.h"
#include "widgets/vexotypes.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QImage;
class QPainter;
class QPaintEvent;

// Vertical peak programme meter: one level in dB as a bar rising from the bottom edge over a
// two-zone background. The owner decides the level and asks for the bar geometry with
// CalculateMeter(); painting only draws from that cache.
class VexoPPMMeter : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double dBPosition READ getdBPosition WRITE setdBPosition)
    Q_PROPERTY(double MindBPosition READ getMindBPosition WRITE setMindBPosition)
    Q_PROPERTY(double MaxdBPosition READ getMaxdBPosition WRITE setMaxdBPosition)
    Q_PROPERTY(double ReleasePerSecond READ getReleasePerSecond WRITE setReleasePerSecond)
    Q_PROPERTY(bool DINCurve READ getDINCurve WRITE setDINCurve)
    Q_PROPERTY(bool GradientBackground READ getGradientBackground WRITE setGradientBackground)
    Q_PROPERTY(bool GradientForground READ getGradientForground WRITE setGradientForground)
    Q_PROPERTY(QColor MaxColor READ getMaxColor WRITE setMaxColor)
    Q_PROPERTY(QColor MinColor READ getMinColor WRITE setMinColor)
    Q_PROPERTY(QColor MaxBackgroundColor READ getMaxBackgroundColor WRITE setMaxBackgroundColor)
    Q_PROPERTY(QColor MinBackgroundColor READ getMinBackgroundColor WRITE setMinBackgroundColor)
    Q_PROPERTY(QString SkinEnvironmentVariable READ getSkinEnvironmentVariable WRITE
                   setSkinEnvironmentVariable)
    Q_PROPERTY(QString PPMMeterBackgroundFileName READ getPPMMeterBackgroundFileName WRITE
                   setPPMMeterBackgroundFileName)
    // The peak mark: off by default, so that a meter on its own looks as it always did.
    // PeakHoldTime is in seconds; 0 or less holds the mark until resetPeak(). After the hold
    // it falls at PeakFallPerSecond until it meets the bar. PeakMarkHeight is in pixels.
    Q_PROPERTY(bool PeakHold READ getPeakHold WRITE setPeakHold)
    Q_PROPERTY(double PeakHoldTime READ getPeakHoldTime WRITE setPeakHoldTime)
    Q_PROPERTY(double PeakFallPerSecond READ getPeakFallPerSecond WRITE setPeakFallPerSecond)
    Q_PROPERTY(QColor PeakColor READ getPeakColor WRITE setPeakColor)
    Q_PROPERTY(int PeakMarkHeight READ getPeakMarkHeight WRITE setPeakMarkHeight)
    // The level the peak mark stands for; the scale's bottom while no mark shows. Set, the
    // mark stands there from now on for the hold time (never below the bar).
    Q_PROPERTY(double PeakdB READ getPeakdB WRITE setPeakdB)
    // Off by default: the meter repaints the rows that a step of its level or its peak mark
    // changed itself. On, it keeps them for its owner, which takes them with takeMoved() and
    // paints them with paintMeter(), several meters at once.
    Q_PROPERTY(bool PaintedByOwner READ getPaintedByOwner WRITE setPaintedByOwner)

public:
    explicit VexoPPMMeter(QWidget *parent = nullptr);
    ~VexoPPMMeter() override;

    // Height in pixels, up from the bottom edge, of a bar showing `db` on a meter `height`
    // pixels tall whose scale runs from minDb to maxDb. `db` is taken as already clamped.
    // This is the one dB-to-pixel law: the printed scales are drawn from it as well.
    static int barHeightFor(double db, int height, double minDb, double maxDb, bool dinCurve);

    // Clamps dBPosition into the scale, recomputes the cached bar geometry for the current
    // height and reports whether the bar's pixel height changed since the previous call.
    bool CalculateMeter();

    double getdBPosition() const { return dBPosition; }
    double getMindBPosition() const { return MindBPosition; }
    void setMindBPosition(double value);
    double getMaxdBPosition() const { return MaxdBPosition; }
    void setMaxdBPosition(double value);
    double getReleasePerSecond() const { return ReleasePerSecond; }
    void setReleasePerSecond(double value);
    bool getDINCurve() const { return DINCurve; }
    void setDINCurve(bool value);
    bool getGradientBackground() const { return GradientBackground; }
    void setGradientBackground(bool value);
    bool getGradientForground() const { return GradientForground; }
    void setGradientForground(bool value);
    const QColor &getMaxColor() const { return MaxColor; }
    virtual void setMaxColor(const QColor &color);
    const QColor &getMinColor() const { return MinColor; }
    virtual void setMinColor(const QColor &color);
    const QColor &getMaxBackgroundColor() const { return MaxBackgroundColor; }
    virtual void setMaxBackgroundColor(const QColor &color);
    const QColor &getMinBackgroundColor() const { return MinBackgroundColor; }
    virtual void setMinBackgroundColor(const QColor &color);
    QString getSkinEnvironmentVariable() const { return SkinEnvironmentVariable; }
    void setSkinEnvironmentVariable(const QString &name);
    QString getPPMMeterBackgroundFileName() const { return PPMMeterBackgroundFileName; }
    void setPPMMeterBackgroundFileName(const QString &fileName);

    bool getPeakHold() const { return PeakHold; }
    void setPeakHold(bool value);
    double getPeakHoldTime() const { return PeakHoldTime; }
    void setPeakHoldTime(double seconds);
    double getPeakFallPerSecond() const { return PeakFallPerSecond; }
    void setPeakFallPerSecond(double value);
    const QColor &getPeakColor() const { return PeakColor; }
    void setPeakColor(const QColor &color);
    int getPeakMarkHeight() const { return PeakMarkHeight; }
    void setPeakMarkHeight(int rows);
    double getPeakdB() const;
    void setPeakdB(double db);
    bool getPaintedByOwner() const { return PaintedByOwner; }
    void setPaintedByOwner(bool value);

    // The monotonic milliseconds the peak mark's timing follows; tests put a clock of their
    // own here. Shared by all meters, so that a pair's marks fall together.
    static qint64 (*peakClock)();

    // Height in pixels, up from the bottom edge, of the level the peak mark stands on; 0 when
    // none shows.
    int peakHeight() const { return PeakHeight; }
    double peakdB() const { return Peak.db; }
    // True while the mark stands above the bar and so still has to fall: the owner keeps
    // calling CalculateMeter() while the bar itself rests.
    bool peakPending() const { return PeakHold && PeakHeight > BarHeight; }

    int barHeight() const { return BarHeight; }
    // The rows whose pixels differ between a bar `previousBarHeight` high and the bar as it
    // stands now, at the current size: after a step of the level only these need a repaint.
    QRect barChange(int previousBarHeight) const;
    int zeroMarkHeight() const { return ZeroMarkHeight; }

    // Rows whose pixels a change made differ: repainted at once, or, while PaintedByOwner is
    // on, kept until the owner takes them.
    void repaintRows(const QRect &rows);
    // The rows kept since the last call, at the current size (empty when none moved).
    QRect takeMoved();
    // Paints the meter as its own paint does, the painter's origin at the meter's top left;
    // the caller clips it to the rows it wants.
    void paintMeter(QPainter &painter) const;
    const QImage &backgroundImage() const { return *BackgroundImage; }

public slots:
    // Stores the level as given and repaints; the bar follows at the next CalculateMeter().
    void setdBPosition(double_db NewdBPosition);
    // Brings the peak mark down to the bar at once.
    void resetPeak();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The skin's folder variable or file name: a new one loads the background picture anew.
    void setSkinPart(QString &part, const QString &value);
    void loadBackgroundImage();
    void updateScaleConstants();
    int heightFor(double db) const;
    void stepPeak();
    QRect peakRows(int peakHeight) const;
    // The zero mark's height for the current scale, curve and size.
    int zeroMarkNow() const;
    void scaleChanged();
    // The scale's bottom or top end.
    void setScaleEnd(double &end, double value);

    QImage *BackgroundImage;

public:
    // The release logic steps the level many times a second: it reads and writes this
    // directly, which costs no repaint, and then calls CalculateMeter().
    double dBPosition;

private:
    int LastBarHeight;
    int BarHeight;
    int ZeroMarkHeight;
    double MindBPosition;
    double MaxdBPosition;
    double ReleasePerSecond;
    bool DINCurve;
    bool GradientBackground;
    bool GradientForground;
    QColor MaxColor;
    QColor MinColor;
    QColor MaxBackgroundColor;
    QColor MinBackgroundColor;
    QString SkinEnvironmentVariable;
    QString PPMMeterBackgroundFileName;
    double DINOffset;
    double DINSpan;
    double LinearSpan;
    bool PeakHold;
    double PeakHoldTime;
    double PeakFallPerSecond;
    QColor PeakColor;
    int PeakMarkHeight;
    PeakHoldState Peak;
    int PeakHeight;
    bool PaintedByOwner;
    // The rows kept for the owner.
    QRect Moved;
};
