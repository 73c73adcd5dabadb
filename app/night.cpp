#include "app/mainwindow.h"

#include "onair/onairstatus.h"
#include "panel/lampstyle.h"
#include "panel/nightdimming.h"
#include "panel/palette.h"
#include "studioclock/clockstatus.h"
#include "ui_mainwindow.h"
#include "widgets/mylabel.h"

#include <QLabel>
#include <QTime>

void MainWindow::applyNight()
{
    const double brightness = NightDimming::brightnessAt(displaySettings, QTime::currentTime());
    if (qFuzzyCompare(brightness, panelBrightness))
        return;
    applyBrightness(brightness);
}

void MainWindow::applyBrightness(double brightness)
{
    panelBrightness = brightness;
    const auto dim
        = [brightness](const QColor &colour) { return LampStyle::dimmed(colour, brightness); };
    // Through the widgets' own colours, so that however a meter paints, it paints them.
    for (VexoPPMMeter *meter : meters()) {
        meter->setMaxColor(dim(Palette::MeterOver));
        meter->setMinColor(dim(Palette::MeterUnder));
        meter->setMaxBackgroundColor(dim(Palette::MeterOverGround));
        meter->setMinBackgroundColor(dim(Palette::MeterUnderGround));
        meter->setPeakColor(dim(Palette::PeakMark));
    }
    VexoAnalogClock *clock = ui->AnalogClock;
    clock->setHourLinesColor(dim(Palette::HourTicks));
    clock->setMinuteLinesColor(dim(Palette::MinuteTicks));
    clock->setDotColor(dim(Palette::SecondDots));
    clock->setHourHandColor(dim(Palette::HourHand));
    clock->setMinuteHandColor(dim(Palette::MinuteHand));
    ui->DigitalClock->setTimeDisplayFontColor(dim(Palette::ClockFigures));
    ui->DigitalClock->setDateDisplayFontColor(dim(Palette::ClockFigures));
    const QString captionStyle
        = QStringLiteral("QLabel\n{\ncolor: %1;\n}").arg(dim(Palette::CaptionText).name());
    for (QLabel *label : captionLabels())
        label->setStyleSheet(captionStyle);
    onAir->setBrightness(brightness);
    clockStatus->setBrightness(brightness);
    // The panel picture is drawn again, darker, at the next paint.
    resized = true;
    update();
}
