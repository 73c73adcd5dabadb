#pragma once

#include <QDialog>
#include <QString>

#include <array>

class Ui_CCaptionsDialog;

// Renames the three meter captions at once. A field left empty keeps its caption, as a click
// on a caption does: a caption cannot be cleared from here.
class CCaptionsDialog : public QDialog
{
    Q_OBJECT

public:
    CCaptionsDialog(QWidget *parent, const std::array<QString, 3> &captions);
    ~CCaptionsDialog() override;

    // The captions as they stand after OK.
    std::array<QString, 3> captions() const;

private slots:
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    Ui_CCaptionsDialog *ui;
    std::array<QString, 3> before;
};
