#pragma once

#include "dialogs/remotesettings.h"

#include <QDialog>
#include <QStringList>

class Ui_CRemoteDialog;
class QLineEdit;

// "Remote access…": whether and where the display listens, its access token, who may reach it,
// where its alarms are posted and its HTTPS files. Edits the caller's record when OK is pressed
// and every field is good; a wrong field gets a warning that names it and the dialog stays
// open. Cancel leaves the record untouched.
class CRemoteDialog : public QDialog
{
    Q_OBJECT

public:
    CRemoteDialog(QWidget *parent, RemoteSettings *settings);
    ~CRemoteDialog() override;

    // The machine's own interface addresses for the interface list, IPv4 and IPv6 (not
    // link-local, not loopback: "This computer only" is that), in the communication dialog's
    // order: live interfaces first.
    static QStringList interfaceAddresses();

private slots:
    void on_checkBox_enabled_toggled(bool checked);
    void on_pushButton_copy_clicked();
    void on_pushButton_new_token_clicked();
    void on_pushButton_tls_cert_clicked();
    void on_pushButton_tls_key_clicked();
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();
    void stabilizeForm();

private:
    QLineEdit *webhookEdit(int index) const;
    void chooseFile(QLineEdit *edit, const QString &caption);
    bool warnIfBad(bool good, const QString &field, const QString &why);

    Ui_CRemoteDialog *ui;
    RemoteSettings *settings;
    QString token;
};
