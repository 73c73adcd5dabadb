#pragma once

#include "dialogs/comm_st.h"

#include <QDialog>
#include <QList>
#include <QSerialPortInfo>
#include <QStringList>

class Ui_CCommDialog;

// Where the level frames come from: a serial port, and optionally UDP as server (forwarding
// the serial frames) or as client. Edits the caller's record in place when OK is pressed and
// the input is complete; Cancel leaves it untouched.
class CCommDialog : public QDialog
{
    Q_OBJECT

public:
    CCommDialog(QWidget *parent, comm_st *settings);
    ~CCommDialog() override;

    // The machine's own IPv4 interface addresses as the interface list shows them: those of
    // live interfaces first, then those that are down, loopback last, each at most 15
    // characters.
    static QStringList interfaceAddresses();

private slots:
    void saveSettings();
    void on_radioButton_server_toggled(bool checked);
    void on_checkBox_useudp_toggled(bool checked);
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    QString portEntryText(const QSerialPortInfo &port) const;

    Ui_CCommDialog *ui;
    QList<QSerialPortInfo> ports;
    comm_st *settings;
};
