#pragma once

#include "dialogs/displaysettings.h"

#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QDoubleSpinBox;
class Ui_CDisplayDialog;

// How the panel watches the programme and how it looks: when a quiet link counts as no data,
// how long peak marks hold, where the over lamps light, which pairs raise a silence alarm (each
// named by its caption), whether the window starts in full screen, what the clock shows and
// when the panel is dimmed for the night. Edits the caller's record when OK is pressed; Cancel
// leaves it untouched.
class CDisplayDialog : public QDialog
{
    Q_OBJECT

public:
    // `captions` name the pairs as the panel does; empty ones keep the pairs' short names.
    CDisplayDialog(QWidget *parent, DisplaySettings *settings,
                   const std::array<QString, DisplaySettings::Pairs> &captions = {});
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
