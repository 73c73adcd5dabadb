#include "dialogs/cdisplaydialog.h"

#include "ui_displaydialog.h"

namespace {

// A spin box holds a value rounded to its decimals. A value written by hand with more (a
// stale time of 0.25 s) is kept as written unless the operator changed what the box shows.
double changedOr(const QDoubleSpinBox *box, double held)
{
    // Rounded the way the box rounds what it is given.
    const double shown = QString::number(held, 'f', box->decimals()).toDouble();
    return box->value() == shown ? held : box->value();
}

} // namespace

CDisplayDialog::CDisplayDialog(QWidget *parent, DisplaySettings *record,
                               const std::array<QString, DisplaySettings::Pairs> &captions)
    : QDialog(parent)
    , ui(new Ui_CDisplayDialog)
    , settings(record)
{
    ui->setupUi(this);

    // The limits are the record's, which a value read from the settings file keeps to as well.
    using S = DisplaySettings;
    ui->doubleSpinBox_stale_time->setRange(S::MinStaleSeconds, S::MaxStaleSeconds);
    ui->doubleSpinBox_peak_hold_time->setRange(S::MinHoldSeconds, S::MaxHoldSeconds);
    ui->doubleSpinBox_over_threshold->setRange(S::MinOverDb, S::MaxOverDb);
    for (int pair = 0; pair < S::Pairs; ++pair) {
        const SilenceRow row = silenceRow(pair);
        row.threshold->setRange(S::MinSilenceDb, S::MaxSilenceDb);
        row.time->setRange(S::MinSilenceSeconds, S::MaxSilenceSeconds);
        if (!captions[pair].isEmpty()) {
            row.enabled->setText(captions[pair]);
            row.enabled->setToolTip(captions[pair]);
        }
    }
    ui->spinBox_dim_brightness->setRange(S::MinDimPercent, S::MaxDimPercent);

    ui->doubleSpinBox_stale_time->setValue(settings->staleSeconds);
    ui->checkBox_peak_hold->setChecked(settings->peakHold);
    ui->radioButton_peak_timed->setChecked(!settings->peakHoldUntilReset);
    ui->radioButton_peak_until_reset->setChecked(settings->peakHoldUntilReset);
    ui->doubleSpinBox_peak_hold_time->setValue(settings->peakHoldSeconds);
    ui->doubleSpinBox_over_threshold->setValue(settings->overThresholdDb);
    for (int pair = 0; pair < DisplaySettings::Pairs; ++pair) {
        const SilenceRow row = silenceRow(pair);
        row.enabled->setChecked(settings->silence[pair].enabled);
        row.threshold->setValue(settings->silence[pair].thresholdDb);
        row.time->setValue(settings->silence[pair].seconds);
        connect(row.enabled, &QCheckBox::toggled, this, &CDisplayDialog::updateEnabled);
    }
    ui->checkBox_show_clock_sync->setChecked(settings->showClockSync);
    ui->checkBox_start_full_screen->setChecked(settings->startFullScreen);
    ui->checkBox_show_hands->setChecked(settings->showHands);
    ui->checkBox_dim_at_night->setChecked(settings->dimAtNight);
    ui->timeEdit_dim_from->setTime(settings->dimFrom);
    ui->timeEdit_dim_until->setTime(settings->dimUntil);
    ui->spinBox_dim_brightness->setValue(settings->dimBrightnessPercent);
    connect(ui->checkBox_dim_at_night, &QCheckBox::toggled, this, &CDisplayDialog::updateEnabled);
    updateEnabled();
}

CDisplayDialog::~CDisplayDialog()
{
    delete ui;
}

CDisplayDialog::SilenceRow CDisplayDialog::silenceRow(int pair) const
{
    switch (pair) {
    case DisplaySettings::Programme:
        return { ui->checkBox_silence_prog, ui->doubleSpinBox_silence_prog_threshold,
                 ui->doubleSpinBox_silence_prog_time };
    case DisplaySettings::Sub:
        return { ui->checkBox_silence_sub, ui->doubleSpinBox_silence_sub_threshold,
                 ui->doubleSpinBox_silence_sub_time };
    default:
        return { ui->checkBox_silence_crm, ui->doubleSpinBox_silence_crm_threshold,
                 ui->doubleSpinBox_silence_crm_time };
    }
}

void CDisplayDialog::updateEnabled()
{
    const bool peak = ui->checkBox_peak_hold->isChecked();
    ui->radioButton_peak_timed->setEnabled(peak);
    ui->radioButton_peak_until_reset->setEnabled(peak);
    ui->doubleSpinBox_peak_hold_time->setEnabled(peak && ui->radioButton_peak_timed->isChecked());
    for (int pair = 0; pair < DisplaySettings::Pairs; ++pair) {
        const SilenceRow row = silenceRow(pair);
        row.threshold->setEnabled(row.enabled->isChecked());
        row.time->setEnabled(row.enabled->isChecked());
    }
    const bool dim = ui->checkBox_dim_at_night->isChecked();
    for (QWidget *w : { static_cast<QWidget *>(ui->timeEdit_dim_from),
                        static_cast<QWidget *>(ui->timeEdit_dim_until),
                        static_cast<QWidget *>(ui->spinBox_dim_brightness) })
        w->setEnabled(dim);
}

void CDisplayDialog::on_checkBox_peak_hold_toggled(bool)
{
    updateEnabled();
}

void CDisplayDialog::on_radioButton_peak_timed_toggled(bool)
{
    updateEnabled();
}

void CDisplayDialog::on_pushButton_ok_clicked()
{
    // A value typed but not yet confirmed with Enter still counts: the spin boxes do not track
    // the keyboard, so make them take their text first.
    for (QAbstractSpinBox *box : findChildren<QAbstractSpinBox *>())
        box->interpretText();

    settings->staleSeconds = changedOr(ui->doubleSpinBox_stale_time, settings->staleSeconds);
    settings->peakHold = ui->checkBox_peak_hold->isChecked();
    settings->peakHoldUntilReset = ui->radioButton_peak_until_reset->isChecked();
    settings->peakHoldSeconds
        = changedOr(ui->doubleSpinBox_peak_hold_time, settings->peakHoldSeconds);
    settings->overThresholdDb
        = changedOr(ui->doubleSpinBox_over_threshold, settings->overThresholdDb);
    for (int pair = 0; pair < DisplaySettings::Pairs; ++pair) {
        const SilenceRow row = silenceRow(pair);
        settings->silence[pair].enabled = row.enabled->isChecked();
        settings->silence[pair].thresholdDb
            = changedOr(row.threshold, settings->silence[pair].thresholdDb);
        settings->silence[pair].seconds = changedOr(row.time, settings->silence[pair].seconds);
    }
    settings->showClockSync = ui->checkBox_show_clock_sync->isChecked();
    settings->startFullScreen = ui->checkBox_start_full_screen->isChecked();
    settings->showHands = ui->checkBox_show_hands->isChecked();
    settings->dimAtNight = ui->checkBox_dim_at_night->isChecked();
    settings->dimFrom = ui->timeEdit_dim_from->time();
    settings->dimUntil = ui->timeEdit_dim_until->time();
    settings->dimBrightnessPercent = ui->spinBox_dim_brightness->value();
    accept();
}

void CDisplayDialog::on_pushButton_cancel_clicked()
{
    reject();
}
