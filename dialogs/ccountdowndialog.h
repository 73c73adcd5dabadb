#pragma once

#include "dialogs/clocksettings.h"

#include <QDialog>

class Ui_CCountDownDialog;

// Starts a count-down: its length, typed or picked from the usual ones (10 s to air, 3:00 to
// the news). Start stores the length in the caller's record, where the C key finds it again.
class CCountDownDialog : public QDialog
{
    Q_OBJECT

public:
    CCountDownDialog(QWidget *parent, ClockSettings *settings);
    ~CCountDownDialog() override;

private slots:
    void on_pushButton_10s_clicked();
    void on_pushButton_30s_clicked();
    void on_pushButton_1min_clicked();
    void on_pushButton_3min_clicked();
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    void setLength(int seconds);

    Ui_CCountDownDialog *ui;
    ClockSettings *settings;
};
