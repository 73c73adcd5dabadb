#include "panel/designlayout.h"

#include "app/mainwindow.h"
#include "onair/onairstatus.h"
#include "panel/panellayout.h"
#include "panel/panelpainter.h"
#include "studioclock/clockstatus.h"
#include "ui_mainwindow.h"
#include "widgets/mylabel.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRegion>
#include <QResizeEvent>

namespace {

// The pictures are never scaled beyond an 8K screen: a window larger than any screen (a
// stored geometry, a window manager's whim) would otherwise cost gigabytes.
const QSize MaxPictureSize(7680, 4320);

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
    if (device.width() > MaxPictureSize.width() || device.height() > MaxPictureSize.height())
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

} // namespace

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

        for (VexoPPMMeter *meter : meters())
            meter->CalculateMeter();

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
