#include "layout.h"

#include "mainwindow.h"
#include "clockstatus.h"
#include "onairstatus.h"
#include "mylabel.h"
#include "ui_mainwindow.h"

#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>

namespace DesignLayout {

Fit fitDesign(QSize window)
{
    const int w = window.width();
    const int h = window.height();
    Fit fit {};
    const float ratio = static_cast<float>(w) / static_cast<float>(h);
    if (ratio > 1.7) {
        fit.canvasHeight = h;
        fit.canvasWidth = h * Width / Height;
        fit.offsetX = (w - fit.canvasWidth) / 2;
        fit.offsetY = 0;
    } else {
        fit.canvasWidth = w;
        fit.canvasHeight = w * Height / Width;
        fit.offsetX = 0;
        fit.offsetY = (h - fit.canvasHeight) / 2;
    }
    // The two quotients differ only by the integer rounding of the canvas; take their mean.
    fit.scale = (static_cast<float>(fit.canvasHeight) / Height
                 + static_cast<float>(fit.canvasWidth) / Width)
        * 0.5f;
    return fit;
}

QRect scaleRect(const QRect &design, const Fit &fit)
{
    const auto scaled = [&fit](int value) {
        return static_cast<int>(static_cast<float>(value) * fit.scale);
    };
    return QRect(fit.offsetX + scaled(design.x()), fit.offsetY + scaled(design.y()),
                 scaled(design.width()), scaled(design.height()));
}

int scalePointSize(int designPointSize, float scale)
{
    return qMax(1, static_cast<int>(static_cast<float>(designPointSize) * scale));
}

} // namespace DesignLayout

namespace {

// The pictures are never scaled beyond an 8K screen: a window larger than any screen (a
// stored geometry, a window manager's whim) would otherwise cost gigabytes.
const QSize MaxPictureSize(7680, 4320);

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

    if (resized && !background->isNull()) {
        const QSize pictureSize = windowSize.boundedTo(MaxPictureSize);
        *scaledBackground
            = background->scaled(pictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        *scaledEmptyBackground = emptyBackground->scaled(pictureSize, Qt::IgnoreAspectRatio,
                                                         Qt::SmoothTransformation);

        const Fit fit = fitDesign(windowSize);
        QWidget *const widgets[14] = {
            ui->ProgLeft,    ui->ProgRight,   ui->SubLeft,     ui->SubRight,
            ui->CrmLeft,     ui->CrmRight,    ui->AnalogClock, ui->DigitalClock,
            labelMeter1,     labelMeter2,     ui->timelabel,   labelMeter3,
            ui->footerlabel, settingsLabel,
        };
        const int rectIndex[14] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 10, 12, 13 };
        for (int i = 0; i < 14; ++i)
            widgets[i]->setGeometry(scaleRect(designRects[rectIndex[i]], fit));
        placeProblemLabel();

        QFont captionFont = labelMeter1->font();
        captionFont.setPointSize(scalePointSize(15, fit.scale));
        labelMeter1->setFont(captionFont);
        labelMeter2->setFont(captionFont);
        ui->timelabel->setFont(captionFont);
        labelMeter3->setFont(captionFont);

        QFont footerFont = ui->footerlabel->font();
        footerFont.setPointSize(scalePointSize(11, fit.scale));
        ui->footerlabel->setFont(footerFont);

        QFont timeFont = ui->DigitalClock->getTimeDisplayFont();
        timeFont.setPointSize(scalePointSize(40, fit.scale));
        ui->DigitalClock->setTimeDisplayFont(timeFont);
        QFont dateFont = ui->DigitalClock->getDateDisplayFont();
        dateFont.setPointSize(scalePointSize(24, fit.scale));
        ui->DigitalClock->setDateDisplayFont(dateFont);

        onAir->layout(fit);
        clockStatus->layout(fit);

        for (VexoPPMMeter *meter : { ui->ProgLeft, ui->ProgRight, ui->SubLeft, ui->SubRight,
                                     ui->CrmLeft, ui->CrmRight })
            meter->CalculateMeter();

        resized = false;
        update();
    }

    painter.drawPixmap(0, 0, *scaledEmptyBackground);
    painter.drawPixmap((windowSize.width() - scaledBackground->width()) / 2,
                       (windowSize.height() - scaledBackground->height()) / 2,
                       *scaledBackground);
}
