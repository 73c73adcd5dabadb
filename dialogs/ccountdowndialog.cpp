#include "dialogs/ccountdowndialog.h"

#include "ui_countdowndialog.h"

CCountDownDialog::CCountDownDialog(QWidget *parent, ClockSettings *record)
    : QDialog(parent)
    , ui(new Ui_CCountDownDialog)
    , settings(record)
{
    ui->setupUi(this);
    ui->timeEdit_count_down->setTimeRange(QTime(0, 0).addSecs(ClockSettings::MinCountDownSeconds),
                                          QTime(0, 0).addSecs(ClockSettings::MaxCountDownSeconds));
    setLength(settings->countDownSeconds);
}

CCountDownDialog::~CCountDownDialog()
{
    delete ui;
}

void CCountDownDialog::setLength(int seconds)
{
    ui->timeEdit_count_down->setTime(QTime(0, 0).addSecs(seconds));
}

void CCountDownDialog::on_pushButton_10s_clicked()
{
    setLength(10);
}

void CCountDownDialog::on_pushButton_30s_clicked()
{
    setLength(30);
}

void CCountDownDialog::on_pushButton_1min_clicked()
{
    setLength(60);
}

void CCountDownDialog::on_pushButton_3min_clicked()
{
    setLength(180);
}

void CCountDownDialog::on_pushButton_ok_clicked()
{
    ui->timeEdit_count_down->interpretText();
    const int seconds = QTime(0, 0).secsTo(ui->timeEdit_count_down->time());
    settings->countDownSeconds
        = qBound(ClockSettings::MinCountDownSeconds, seconds, ClockSettings::MaxCountDownSeconds);
    accept();
}

void CCountDownDialog::on_pushButton_cancel_clicked()
{
    reject();
}
