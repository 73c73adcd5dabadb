#include "panel/designlayout.h"

#include "app/mainwindow.h"
#include "diagnostics/trace.h"
#include "onair/onairstatus.h"
#include "panel/panellayout.h"
#include "panel/panelpainter.h"
#include "studioclock/clockstatus.h"
#include "ui_mainwindow.h"
#include "widgets/mylabel.h"

#include <QBackingStore>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QResizeEvent>
#include <QWindow>

namespace {

// Set to "picture" to have the design picture scaled to the window instead of the panel
// drawn at the window's size.
const char *const PanelVariable = "ORVANE_PANEL";

// The panel drawn at the window's own size and pixel ratio, so that its text, ticks and edges
// are sharp. Null where it is not to be drawn: asked not to, the typeface missing, or a canvas
// beyond the pictures' limit; the design picture, scaled, stands in then.
QPixmap drawnPanel(const DesignLayout::Fit &fit, qreal dpr)
{
    if (qgetenv(PanelVariable) == "picture" || !Panel::canDraw())
        return QPixmap();
    const QSize device(qRound(fit.canvasWidth * dpr), qRound(fit.canvasHeight * dpr));
    if (device.width() > MainWindow::MaxPictureSize.width()
        || device.height() > MainWindow::MaxPictureSize.height())
        return QPixmap();
    return QPixmap::fromImage(Panel::draw(fit, dpr));
}

// Where the panel stands in the window, in the window's pixels.
QRect panelRect(const QPixmap &panel, QSize window)
{
    // No panel (the design picture failed to load): nothing covers the window.
    if (panel.isNull())
        return QRect();
    const qreal ratio = panel.devicePixelRatioF();
    const QSize size(qRound(panel.width() / ratio), qRound(panel.height() / ratio));
    return QRect(
        QPoint((window.width() - size.width()) / 2, (window.height() - size.height()) / 2), size);
}

// The margin texture stretched over `size`; only the margins around `panel` are drawn, since
// the opaque panel hides the rest, and at 4K the margins are a twentieth of the window.
QPixmap marginsAround(const QPixmap &texture, QSize size, const QRect &panel)
{
    if (texture.isNull())
        return QPixmap();
    QImage margins(size, QImage::Format_RGB32);
    if (margins.isNull())
        return QPixmap();
    // What lies under the panel is never drawn, nor shown: paints keep to the margins.
    QPainter painter(&margins);
    const QRect whole(QPoint(0, 0), size);
    painter.setClipRegion(QRegion(whole).subtracted(QRegion(panel)));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawPixmap(whole, texture);
    painter.end();
    return QPixmap::fromImage(std::move(margins));
}

// What of the window's widgets lies above `widget`, in the window's coordinates: the visible
// siblings stacked after it and after each of its parents. A label or lamp may lie over a meter
// (the link legend does while no data comes), and painting the meter straight into the window
// must not paint over it.
QRegion coveredAbove(const QWidget *window, const QWidget *widget)
{
    QRegion covered;
    for (const QWidget *w = widget; w != window && w->parentWidget(); w = w->parentWidget()) {
        const QObjectList &siblings = w->parentWidget()->children();
        for (int i = siblings.indexOf(const_cast<QWidget *>(w)) + 1; i < siblings.size(); ++i) {
            const auto *above = qobject_cast<const QWidget *>(siblings.at(i));
            if (above && !above->isWindow() && above->isVisible())
                covered += QRect(above->mapTo(window, QPoint()), above->size());
        }
    }
    return covered;
}

} // namespace

QBackingStore *MainWindow::directBackingStore()
{
    // Not before the window shows, nor while a relayout is pending (the meters are about to
    // move and the store to take the new size): the repaint that comes then shows everything.
    QBackingStore *store = backingStore();
    const QWindow *handle = windowHandle();
    if (!store || !handle || !handle->isExposed() || resized || !isVisible() || !updatesEnabled()
        || store->size() != size())
        return nullptr;
    return store;
}

void MainWindow::paintMovedMeters()
{
    const std::array<VexoPPMMeter *, LevelFrame::Channels> six = meters();
    std::array<QRect, LevelFrame::Channels> moved;
    std::array<QPoint, LevelFrame::Channels> origin;
    bool any = false;
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        moved[i] = six[i]->takeMoved();
        origin[i] = six[i]->mapTo(this, QPoint());
        any = any || !moved[i].isEmpty();
    }
    if (!any)
        return;
    QBackingStore *store = directBackingStore();
    if (!store) {
        for (int i = 0; i < LevelFrame::Channels; ++i)
            six[i]->update(moved[i]);
        return;
    }

    // Each meter's rows that nothing covers, in the window's coordinates; the covered rest is
    // left to the meter's own repaint, which the widgets above it then paint over.
    std::array<QRegion, LevelFrame::Channels> open;
    QRegion painted;
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        if (moved[i].isEmpty())
            continue;
        const QRegion rows(moved[i].translated(origin[i]));
        const QRegion covered = coveredAbove(this, six[i]).intersected(rows);
        if (!covered.isEmpty())
            six[i]->update(covered.translated(-origin[i]));
        open[i] = rows.subtracted(covered);
        painted += open[i];
    }
    if (painted.isEmpty())
        return;

    store->beginPaint(painted);
    QPainter painter(store->paintDevice());
    for (int i = 0; i < LevelFrame::Channels; ++i) {
        if (open[i].isEmpty())
            continue;
        if (Q_UNLIKELY(Trace::enabled))
            Trace::meterPainted(i);
        painter.save();
        painter.setClipRegion(open[i]);
        painter.translate(origin[i]);
        six[i]->paintMeter(painter);
        painter.restore();
    }
    painter.end();
    store->endPaint();
    store->flush(painted, windowHandle());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    // Only noted here; the costly relayout waits for the next paint, so a burst of resize
    // events (a window being dragged larger) costs one relayout.
    windowSize = event->size();
    resized = true;
}

void MainWindow::paintEvent(QPaintEvent *)
{
    using namespace DesignLayout;
    QPainter painter(this);

    // A window moved to a screen of another pixel ratio gets no resize, but its panel is drawn
    // for the old ratio.
    const qreal ratio = devicePixelRatioF();
    if (!scaledBackground->isNull()
        && !qFuzzyCompare(scaledBackground->devicePixelRatioF(), ratio))
        resized = true;

    if (resized && !background->isNull()) {
        const Fit fit = fitDesign(windowSize);
        const QSize pictureSize = windowSize.boundedTo(MaxPictureSize);
        // At the design size the drawing gives the compiled-in picture pixel for pixel (the
        // picture is made by it): taken as it is, the first paint after start-up draws nothing.
        if (fit.canvasWidth == PictureLayout::PanelWidth
            && fit.canvasHeight == PictureLayout::PanelHeight && qFuzzyCompare(ratio, 1.0))
            *scaledBackground = *background;
        else
            *scaledBackground = drawnPanel(fit, ratio);
        if (scaledBackground->isNull()) {
            *scaledBackground = background->scaled((windowSize * ratio).boundedTo(MaxPictureSize),
                                                   Qt::KeepAspectRatio, Qt::SmoothTransformation);
            scaledBackground->setDevicePixelRatio(ratio);
        }
        *scaledEmptyBackground = marginsAround(*emptyBackground, pictureSize,
                                               panelRect(*scaledBackground, windowSize));
        // By night the whole panel is darker; the lamps that are alarms keep their light.
        *scaledBackground = Panel::dimmed(*scaledBackground, panelBrightness);
        *scaledEmptyBackground = Panel::dimmed(*scaledEmptyBackground, panelBrightness);

        const std::array<QWidget *, 14> designed = designedWidgets();
        for (std::size_t i = 0; i < designed.size(); ++i)
            designed[i]->setGeometry(scaleRect(designRects[i], fit));
        placeProblemLabel();

        using namespace PictureLayout;
        QFont captionFont = labelMeter1->font();
        captionFont.setPointSize(scalePointSize(CaptionPointSize, fit.scale));
        for (QLabel *label : captionLabels())
            label->setFont(captionFont);

        QFont footerFont = ui->footerlabel->font();
        footerFont.setPointSize(scalePointSize(FooterPointSize, fit.scale));
        ui->footerlabel->setFont(footerFont);

        QFont timeFont = ui->DigitalClock->getTimeDisplayFont();
        timeFont.setPointSize(scalePointSize(TimePointSize, fit.scale));
        ui->DigitalClock->setTimeDisplayFont(timeFont);
        QFont dateFont = ui->DigitalClock->getDateDisplayFont();
        dateFont.setPointSize(scalePointSize(DatePointSize, fit.scale));
        ui->DigitalClock->setDateDisplayFont(dateFont);

        onAir->layout(fit);
        clockStatus->layout(fit);

        for (VexoPPMMeter *meter : meters()) {
            meter->CalculateMeter();
            // This paint and the one it asks for show the meters whole.
            meter->takeMoved();
        }

        resized = false;
        update();
    }

    // The panel is opaque: the texture is drawn only around it.
    const QRect panel = panelRect(*scaledBackground, windowSize);
    painter.setClipRegion(QRegion(rect()).subtracted(QRegion(panel)));
    painter.drawPixmap(0, 0, *scaledEmptyBackground);
    painter.setClipping(false);
    painter.drawPixmap(panel.topLeft(), *scaledBackground);
}
