#include "dialogs/ccaptionsdialog.h"

#include "ui_captionsdialog.h"

CCaptionsDialog::CCaptionsDialog(QWidget *parent, const std::array<QString, 3> &captions)
    : QDialog(parent)
    , ui(new Ui_CCaptionsDialog)
    , before(captions)
{
    ui->setupUi(this);
    ui->lineEdit_caption_prog->setText(captions[0]);
    ui->lineEdit_caption_sub->setText(captions[1]);
    ui->lineEdit_caption_crm->setText(captions[2]);
}

CCaptionsDialog::~CCaptionsDialog()
{
    delete ui;
}

std::array<QString, 3> CCaptionsDialog::captions() const
{
    std::array<QString, 3> after
        = { ui->lineEdit_caption_prog->text(), ui->lineEdit_caption_sub->text(),
            ui->lineEdit_caption_crm->text() };
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i].isEmpty())
            after[i] = before[i];
    }
    return after;
}

void CCaptionsDialog::on_pushButton_ok_clicked()
{
    accept();
}

void CCaptionsDialog::on_pushButton_cancel_clicked()
{
    reject();
}
