#include "widgets/vexoppmmeter.h"

#include "widgets/assignandrepaint.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <QElapsedTimer>

#include <climits>
#include <cmath>

namespace {

// Rounds towards zero like a C cast, but gives a defined result where the cast would not:
// NaN becomes 0 and values beyond the int range stop at its ends.
int truncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

int dinHeight(double db, int height, double offset, double span)
{
    // A scale whose top is not above its bottom has no meaningful bar.
    if (!(span > 0.0))
        return 0;
    return truncToInt((std::pow(10.0, db / 80.0) - offset) * height / span);
}

int linearHeight(double db, int height, double minDb, double span)
{
    if (!(span > 0.0))
        return 0;
    return truncToInt(truncToInt((db - minDb) * height) / span);
}

// A height as painting uses it. Heights below 0 and above the widget draw as 0 and as the
// whole widget do, and h + 1 still reaches the top row of a gradient bar on an odd height:
// limited to that range, any height gives the pixels it gave, and the row arithmetic cannot
// overflow whatever the scale made of it.
int paintedHeight(int height, int h)
{
    return qBound(0, height, h + 1);
}

// Fills the full-width band of rows firstRow..lastRow (inclusive); an empty band draws nothing.
void fillRows(QPainter &painter, int width, int firstRow, int lastRow, const QBrush &brush)
{
    if (lastRow < firstRow)
        return;
    painter.fillRect(QRect(0, firstRow, width, lastRow - firstRow + 1), brush);
}

qint64 steadyMilliseconds()
{
    static QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

qint64 (*VexoPPMMeter::peakClock)() = steadyMilliseconds;

VexoPPMMeter::VexoPPMMeter(QWidget *parent)
    : QWidget(parent)
    , BackgroundImage(nullptr)
    , dBPosition(-50.0)
    , LastBarHeight(0)
    , BarHeight(0)
    , ZeroMarkHeight(0)
    , MindBPosition(-50.0)
    , MaxdBPosition(5.0)
    , ReleasePerSecond(18.0)
    , DINCurve(true)
    , GradientBackground(true)
    , GradientForground(false)
    , MaxColor(255, 0, 0, 255)
    , MinColor(0, 255, 0, 255)
    , MaxBackgroundColor(64, 0, 0, 255)
    , MinBackgroundColor(0, 64, 0, 255)
    , DINOffset(0.0)
    , DINSpan(0.0)
    , LinearSpan(0.0)
    , PeakHold(false)
    , PeakHoldTime(1.5)
    , PeakFallPerSecond(13.3)
    , PeakColor(255, 255, 255, 255)
    , PeakMarkHeight(2)
    , Peak()
    , PeakHeight(0)
    , PaintedByOwner(false)
{
    updateScaleConstants();
    loadBackgroundImage();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(tr("PPM Meter"));
    resize(16, 200);
}

VexoPPMMeter::~VexoPPMMeter()
{
    delete BackgroundImage;
}

int VexoPPMMeter::barHeightFor(double db, int height, double minDb, double maxDb, bool dinCurve)
{
    if (dinCurve) {
        const double offset = std::pow(10.0, minDb / 80.0);
        return dinHeight(db, height, offset, std::pow(10.0, maxDb / 80.0) - offset);
    }
    return linearHeight(db, height, minDb, maxDb - minDb);
}

bool VexoPPMMeter::CalculateMeter()
{
    // A NaN level would slip through both comparisons; show it as the bottom of the scale.
    if (std::isnan(dBPosition))
        dBPosition = MindBPosition;
    if (dBPosition < MindBPosition)
        dBPosition = MindBPosition;
    if (dBPosition > MaxdBPosition)
        dBPosition = MaxdBPosition;

    const int h = height();
    BarHeight = DINCurve ? dinHeight(dBPosition, h, DINOffset, DINSpan)
                         : linearHeight(dBPosition, h, MindBPosition, LinearSpan);
    ZeroMarkHeight = zeroMarkNow();

    if (PeakHold)
        stepPeak();

    if (BarHeight == LastBarHeight)
        return false;
    LastBarHeight = BarHeight;
    return true;
}

int VexoPPMMeter::zeroMarkNow() const
{
    const int h = height();
    return DINCurve ? dinHeight(0.0, h, DINOffset, DINSpan)
                    : linearHeight(0.0, h, MindBPosition, LinearSpan);
}

void VexoPPMMeter::scaleChanged()
{
    // The band repaints after a level step assume that the zero mark stays where the last
    // full paint put it: a new scale or curve moves it, so the whole meter is painted anew
    // with the mark where it now belongs, also when no level step follows.
    ZeroMarkHeight = zeroMarkNow();
    update();
}

QRect VexoPPMMeter::barChange(int previousBarHeight) const
{
    // A row's pixels depend only on the row and on whether the bar reaches it, except that
    // the top row of a bar may be drawn differently from the same row inside a taller bar:
    // the band runs from the higher top down to and including the lower top.
    const int h = height();
    const int previous = paintedHeight(previousBarHeight, h);
    const int now = paintedHeight(BarHeight, h);
    const int top = h - qMax(previous, now);
    const int lowerTop = h - qMin(previous, now);
    return QRect(0, top, width(), lowerTop - top + 1).intersected(rect());
}

int VexoPPMMeter::heightFor(double db) const
{
    const double clamped = qBound(MindBPosition, db, MaxdBPosition);
    const int raw = DINCurve ? dinHeight(clamped, height(), DINOffset, DINSpan)
                             : linearHeight(clamped, height(), MindBPosition, LinearSpan);
    // A degenerate scale can give any int; the mark's rows are worked out from this.
    return qBound(0, raw, height() + 1);
}

QRect VexoPPMMeter::peakRows(int peakHeight) const
{
    if (peakHeight <= 0 || PeakMarkHeight <= 0)
        return QRect();
    // The mark stands on the peak's edge rather than over the bar's top rows, so that a bar
    // at its peak still shows its exact height; only at the top of the scale does it move
    // down into the bar to stay on the meter.
    const qint64 top = qMax<qint64>(0, qint64(height()) - peakHeight - PeakMarkHeight);
    const int rows = qMin(PeakMarkHeight, height());
    return QRect(0, static_cast<int>(qMin<qint64>(top, height())), width(), rows)
        .intersected(rect());
}

void VexoPPMMeter::stepPeak()
{
    qint64 holdMs = -1;
    if (PeakHoldTime > 0.0)
        holdMs = static_cast<qint64>(qMin(PeakHoldTime, 1.0e6) * 1000.0 + 0.5);
    Peak = stepPeakHold(Peak, dBPosition, peakClock(), holdMs, PeakFallPerSecond);
    // A mark at the bottom of the scale marks nothing.
    const int next = Peak.db > MindBPosition ? heightFor(Peak.db) : 0;
    if (next == PeakHeight)
        return;
    repaintRows(peakRows(PeakHeight).united(peakRows(next)));
    PeakHeight = next;
}

double VexoPPMMeter::getPeakdB() const
{
    return PeakHold && PeakHeight > 0 ? qMax(MindBPosition, Peak.db) : MindBPosition;
}

void VexoPPMMeter::setPeakdB(double db)
{
    if (db == Peak.db)
        return;
    Peak.db = db;
    Peak.heldSinceMs = Peak.steppedMs = peakClock();
    // The mark's rows are repainted where it was and where it goes.
    if (PeakHold)
        stepPeak();
}

void VexoPPMMeter::resetPeak()
{
    Peak = PeakHoldState();
    Peak.steppedMs = peakClock();
    if (PeakHold)
        stepPeak();
}

void VexoPPMMeter::setPeakHold(bool value)
{
    if (value == PeakHold)
        return;
    PeakHold = value;
    if (PeakHold) {
        Peak = PeakHoldState();
        Peak.steppedMs = peakClock();
        stepPeak();
    } else {
        update(peakRows(PeakHeight));
        PeakHeight = 0;
    }
    update();
}

void VexoPPMMeter::setPeakHoldTime(double seconds)
{
    // NaN equals nothing, not even NaN: a NaN set again is no change either.
    if (std::isnan(seconds) && std::isnan(PeakHoldTime))
        return;
    assignAndRepaint(this, PeakHoldTime, seconds);
}

void VexoPPMMeter::setPeakFallPerSecond(double value)
{
    // A fall that is not a positive number would leave the mark hanging or rising.
    if (!(value > 0.0))
        return;
    assignAndRepaint(this, PeakFallPerSecond, value);
}

void VexoPPMMeter::setPeakColor(const QColor &color)
{
    assignAndRepaint(this, PeakColor, color);
}

void VexoPPMMeter::setPeakMarkHeight(int rows)
{
    assignAndRepaint(this, PeakMarkHeight, qMax(0, rows));
}

void VexoPPMMeter::setPaintedByOwner(bool value)
{
    // Whatever was kept is painted by the whole repaint either way.
    if (assignAndRepaint(this, PaintedByOwner, value))
        Moved = QRect();
}

void VexoPPMMeter::repaintRows(const QRect &rows)
{
    if (PaintedByOwner)
        Moved |= rows.intersected(rect());
    else
        update(rows);
}

QRect VexoPPMMeter::takeMoved()
{
    // A resize since they were kept may have left them beyond the meter.
    const QRect rows = Moved.intersected(rect());
    Moved = QRect();
    return rows;
}

void VexoPPMMeter::setdBPosition(double_db NewdBPosition)
{
    dBPosition = NewdBPosition;
    update();
}

void VexoPPMMeter::setMindBPosition(double value)
{
    setScaleEnd(MindBPosition, value);
}

void VexoPPMMeter::setMaxdBPosition(double value)
{
    setScaleEnd(MaxdBPosition, value);
}

void VexoPPMMeter::setScaleEnd(double &end, double value)
{
    if (value == end)
        return;
    end = value;
    updateScaleConstants();
    scaleChanged();
}

void VexoPPMMeter::setReleasePerSecond(double value)
{
    // Informational only: the display's release is driven by its owner.
    if (value != ReleasePerSecond)
        ReleasePerSecond = value;
}

void VexoPPMMeter::setDINCurve(bool value)
{
    if (value == DINCurve)
        return;
    DINCurve = value;
    scaleChanged();
}

void VexoPPMMeter::setGradientBackground(bool value)
{
    assignAndRepaint(this, GradientBackground, value);
}

void VexoPPMMeter::setGradientForground(bool value)
{
    assignAndRepaint(this, GradientForground, value);
}

void VexoPPMMeter::setMaxColor(const QColor &color)
{
    MaxColor = color;
    update();
}

void VexoPPMMeter::setMinColor(const QColor &color)
{
    MinColor = color;
    update();
}

void VexoPPMMeter::setMaxBackgroundColor(const QColor &color)
{
    MaxBackgroundColor = color;
    update();
}

void VexoPPMMeter::setMinBackgroundColor(const QColor &color)
{
    MinBackgroundColor = color;
    update();
}

void VexoPPMMeter::setSkinEnvironmentVariable(const QString &name)
{
    setSkinPart(SkinEnvironmentVariable, name);
}

void VexoPPMMeter::setPPMMeterBackgroundFileName(const QString &fileName)
{
    setSkinPart(PPMMeterBackgroundFileName, fileName);
}

void VexoPPMMeter::setSkinPart(QString &part, const QString &value)
{
    if (value == part)
        return;
    part = value;
    loadBackgroundImage();
    update();
}

void VexoPPMMeter::updateScaleConstants()
{
    DINOffset = std::pow(10.0, MindBPosition / 80.0);
    DINSpan = std::pow(10.0, MaxdBPosition / 80.0) - DINOffset;
    LinearSpan = MaxdBPosition - MindBPosition;
}

void VexoPPMMeter::loadBackgroundImage()
{
    // The skin folder is looked up afresh on every load, so a changed environment counts.
    const QByteArray folder = qgetenv(SkinEnvironmentVariable.toLatin1().constData());
    const QString path = QString::fromUtf8(folder) + QLatin1Char('/') + PPMMeterBackgroundFileName;
    auto *image = new QImage(path);
    delete BackgroundImage;
    BackgroundImage = image;
}

void VexoPPMMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintMeter(painter);
}

void VexoPPMMeter::paintMeter(QPainter &painter) const
{
    // No antialiasing: every shape here is a rectangle on whole pixels, where it would change no
    // pixel, but it sends each fill through the raster engine's coverage rasterizer, which made
    // a meter's paint about nine times as slow; six meters repaint hundreds of times a second.
    painter.setPen(Qt::NoPen);

    if (!BackgroundImage->isNull())
        painter.drawImage(0, 0, *BackgroundImage);

    const int w = width();
    const int h = height();
    const int half = static_cast<int>(static_cast<double>(static_cast<float>(h) * 0.5f) + 0.5);
    const int bar = paintedHeight(BarHeight, h);
    const int zeroMark = paintedHeight(ZeroMarkHeight, h);

    QLinearGradient backgroundGradient(0, half, 0, 0);
    backgroundGradient.setColorAt(0, MinBackgroundColor);
    backgroundGradient.setColorAt(1, MaxBackgroundColor);
    QLinearGradient barGradient(0, half, 0, 0);
    barGradient.setColorAt(0, MinColor);
    barGradient.setColorAt(1, MaxColor);

    if (GradientBackground) {
        fillRows(painter, w, half, 2 * half - 1, MinBackgroundColor);
        fillRows(painter, w, 0, half - 1, backgroundGradient);
    } else {
        fillRows(painter, w, h - zeroMark, h - 1, MinBackgroundColor);
        fillRows(painter, w, 0, h - 1 - zeroMark, MaxBackgroundColor);
    }

    if (GradientForground) {
        const int solid = qMin(bar, half + 2);
        fillRows(painter, w, h - solid, h - 1, MinColor);
        const int excess = bar - half;
        if (excess > 0)
            fillRows(painter, w, half - excess, half - 1, barGradient);
    } else if (bar > zeroMark) {
        fillRows(painter, w, h - zeroMark, h - 1, MinColor);
        fillRows(painter, w, h - bar, h - 1 - zeroMark, MaxColor);
    } else {
        fillRows(painter, w, h - bar, h - 1, MinColor);
    }

    if (PeakHold) {
        const QRect mark = peakRows(PeakHeight);
        if (!mark.isEmpty())
            painter.fillRect(mark, PeakColor);
    }
}
