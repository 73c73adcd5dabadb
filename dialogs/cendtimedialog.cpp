#include "dialogs/cendtimedialog.h"

#include "ui_endtimedialog.h"

CEndTimeDialog::CEndTimeDialog(QWidget *parent, ClockSettings *record)
    : QDialog(parent)
    , ui(new Ui_CEndTimeDialog)
    , settings(record)
{
    ui->setupUi(this);
    ui->radioButton_end_off->setChecked(settings->endMode == ClockSettings::EndOff);
    ui->radioButton_end_daily->setChecked(settings->endMode == ClockSettings::EndDaily);
    ui->radioButton_end_hourly->setChecked(settings->endMode == ClockSettings::EndHourly);
    ui->timeEdit_end_daily->setTime(settings->endDaily);
    ui->timeEdit_end_hourly->setTime(settings->endHourly);
    for (QRadioButton *button :
         { ui->radioButton_end_off, ui->radioButton_end_daily, ui->radioButton_end_hourly })
        connect(button, &QRadioButton::toggled, this, &CEndTimeDialog::updateEnabled);
    updateEnabled();
}

CEndTimeDialog::~CEndTimeDialog()
{
    delete ui;
}

void CEndTimeDialog::updateEnabled()
{
    ui->timeEdit_end_daily->setEnabled(ui->radioButton_end_daily->isChecked());
    ui->timeEdit_end_hourly->setEnabled(ui->radioButton_end_hourly->isChecked());
}

void CEndTimeDialog::on_pushButton_ok_clicked()
{
    // A time typed but not yet confirmed still counts.
    ui->timeEdit_end_daily->interpretText();
    ui->timeEdit_end_hourly->interpretText();
    settings->endMode = ui->radioButton_end_daily->isChecked() ? ClockSettings::EndDaily
        : ui->radioButton_end_hourly->isChecked()              ? ClockSettings::EndHourly
                                                               : ClockSettings::EndOff;
    settings->endDaily = ui->timeEdit_end_daily->time();
    const QTime hourly = ui->timeEdit_end_hourly->time();
    settings->endHourly = QTime(0, hourly.minute(), hourly.second());
    accept();
}

void CEndTimeDialog::on_pushButton_cancel_clicked()
{
    reject();
}
