#pragma once

#include "dialogs/displaysettings.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class Ui_CDisplayDialog;

// How the panel watches the programme: when a quiet link counts as no data, how long peak
// marks hold, where the over lamps light, which pairs raise a silence alarm and whether the
// window starts in full screen. Edits the
// caller's record when OK is pressed; Cancel leaves it untouched.
class CDisplayDialog : public QDialog
{
    Q_OBJECT

public:
    CDisplayDialog(QWidget *parent, DisplaySettings *settings);
    ~CDisplayDialog() override;

private slots:
    void on_checkBox_peak_hold_toggled(bool checked);
    void on_radioButton_peak_timed_toggled(bool checked);
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    struct SilenceRow
    {
        QCheckBox *enabled;
        QDoubleSpinBox *threshold;
        QDoubleSpinBox *time;
    };
    SilenceRow silenceRow(int pair) const;
    void updateEnabled();

    Ui_CDisplayDialog *ui;
    DisplaySettings *settings;
};
