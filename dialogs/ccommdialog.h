#pragma once

#include "dialogs/comm_st.h"
#include "dialogs/distributionsettings.h"

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
    // `distribution`, when given, is edited beside the record: where a server sends its frames
    // on, and the group and backup server a client listens to.
    CCommDialog(QWidget *parent, comm_st *settings, DistributionSettings *distribution = nullptr);
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
    // The distribution fields as the other fields leave them: what this display would do.
    comm_st shownRecord() const;
    DistributionSettings shownDistribution() const;
    void showDistribution();
    // The warning for the first distribution field that is wrong, or nothing.
    bool distributionIsValid();

    Ui_CCommDialog *ui;
    QList<QSerialPortInfo> ports;
    comm_st *settings;
    DistributionSettings *distribution;
    // The serial entry as the dialog opened: unchanged, it leaves the stored port alone.
    QString shownSerialPort;
    QString shownNic;
};
