#pragma once

#include "vexotypes.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QImage;
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
    Q_PROPERTY(QString SkinEnvironmentVariable READ getSkinEnvironmentVariable
                   WRITE setSkinEnvironmentVariable)
    Q_PROPERTY(QString PPMMeterBackgroundFileName READ getPPMMeterBackgroundFileName
                   WRITE setPPMMeterBackgroundFileName)

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

    int barHeight() const { return BarHeight; }
    // The rows whose pixels differ between a bar `previousBarHeight` high and the bar as it
    // stands now, at the current size: after a step of the level only these need a repaint.
    QRect barChange(int previousBarHeight) const;
    int zeroMarkHeight() const { return ZeroMarkHeight; }
    const QImage &backgroundImage() const { return *BackgroundImage; }

public slots:
    // Stores the level as given and repaints; the bar follows at the next CalculateMeter().
    void setdBPosition(double_db NewdBPosition);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void loadBackgroundImage();
    void updateScaleConstants();
    // The zero mark's height for the current scale, curve and size.
    int zeroMarkNow() const;
    void scaleChanged();

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
};
