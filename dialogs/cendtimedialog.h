#pragma once

#include "dialogs/clocksettings.h"

#include <QDialog>

class Ui_CEndTimeDialog;

// The end time the analog clock marks: off, at a time of day, or every hour at minutes and
// seconds past. Edits the caller's record when OK is pressed; Cancel leaves it untouched.
class CEndTimeDialog : public QDialog
{
    Q_OBJECT

public:
    CEndTimeDialog(QWidget *parent, ClockSettings *settings);
    ~CEndTimeDialog() override;

private slots:
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    void updateEnabled();

    Ui_CEndTimeDialog *ui;
    ClockSettings *settings;
};
