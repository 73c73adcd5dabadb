#include "dialogs/ccommdialog.h"

#include "comm/udprules.h"
#include "dialogs/interfaceorder.h"
#include "ui_commdialog.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QIntValidator>
#include <QMessageBox>

namespace {

// Longer texts are IPv6 addresses, which the server role does not bind to.
constexpr int MaxAddressLength = 15;

// QIntValidator lets a number above its top through while it has no more digits than the top
// ("70000" is only "intermediate"), and it takes the locale's group separators ("1.000"), which
// the port conversion reads as 0. A port field takes plain digits up to 65535 and nothing else.
class PortValidator : public QIntValidator
{
public:
    explicit PortValidator(QObject *parent)
        : QIntValidator(0, 65535, parent)
    {
    }

    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        for (const QChar c : qAsConst(input)) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        }
        bool ok = false;
        const uint value = input.toUInt(&ok, 10);
        return ok && value <= uint(top()) ? Acceptable : Invalid;
    }
};

} // namespace

CCommDialog::CCommDialog(QWidget *parent, comm_st *record)
    : QDialog(parent)
    , ui(new Ui_CCommDialog)
    , settings(nullptr)
{
    ui->setupUi(this);

    ui->lineEdit_server_port->setValidator(new PortValidator(this));
    ui->lineEdit_client_port->setValidator(new PortValidator(this));

    settings = record;

    ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : qAsConst(ports))
        ui->comboBox_serial->addItem(portEntryText(port));

    // The machine's own interface addresses, read without a name lookup that could block the
    // dialog for seconds (and that on many systems yields only 127.0.1.1).
    ui->comboBox_nic->addItems(interfaceAddresses());

    if (settings) {
        ui->lineEdit_server_port->setText(settings->server_port);
        ui->lineEdit_client_host->setText(settings->client_host);
        ui->lineEdit_client_port->setText(settings->client_port);
        if (settings->is_server)
            ui->radioButton_server->setChecked(true);
        else
            ui->radioButton_client->setChecked(true);
        const int nic = ui->comboBox_nic->findText(settings->server_host,
                                                   Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (nic >= 0)
            ui->comboBox_nic->setCurrentIndex(nic);
        for (int i = 0; i < ports.size(); ++i) {
            if (ports.at(i).portName() == settings->serialport)
                ui->comboBox_serial->setCurrentIndex(i);
        }
        ui->checkBox_useudp->setChecked(settings->use_udp);
    }

    on_checkBox_useudp_toggled(ui->checkBox_useudp->isChecked());
}

CCommDialog::~CCommDialog()
{
    delete ui;
}

QStringList CCommDialog::interfaceAddresses()
{
    return orderedInterfaceAddresses(machineAddresses([](const QHostAddress &address, bool) {
        return address.protocol() == QAbstractSocket::IPv4Protocol
            && address.toString().size() <= MaxAddressLength;
    }));
}

QString CCommDialog::portEntryText(const QSerialPortInfo &port) const
{
    return tr("%1 (%2)").arg(port.description(), port.portName());
}

void CCommDialog::saveSettings()
{
    if (!settings)
        return;
    settings->server_host = ui->comboBox_nic->currentText();
    settings->server_port = ui->lineEdit_server_port->text();
    settings->client_host = ui->lineEdit_client_host->text();
    settings->client_port = ui->lineEdit_client_port->text();
    for (const QSerialPortInfo &port : qAsConst(ports)) {
        if (portEntryText(port) == ui->comboBox_serial->currentText())
            settings->serialport = port.portName();
    }
    settings->is_server = ui->radioButton_server->isChecked();
    settings->use_udp = ui->checkBox_useudp->isChecked();
}

void CCommDialog::on_radioButton_server_toggled(bool checked)
{
    for (QWidget *widget :
         { static_cast<QWidget *>(ui->label_serverhost), static_cast<QWidget *>(ui->comboBox_nic),
           static_cast<QWidget *>(ui->label_serverport),
           static_cast<QWidget *>(ui->lineEdit_server_port) })
        widget->setEnabled(checked);
    for (QWidget *widget : { static_cast<QWidget *>(ui->label_clienthost),
                             static_cast<QWidget *>(ui->lineEdit_client_host),
                             static_cast<QWidget *>(ui->label_clientport),
                             static_cast<QWidget *>(ui->lineEdit_client_port) })
        widget->setEnabled(!checked);
    // A client takes its frames from the network, not from a serial port.
    ui->comboBox_serial->setEnabled(checked);
}

void CCommDialog::on_checkBox_useudp_toggled(bool checked)
{
    if (checked) {
        ui->radioButton_server->setEnabled(true);
        ui->radioButton_client->setEnabled(true);
        on_radioButton_server_toggled(ui->radioButton_server->isChecked());
        return;
    }
    for (QWidget *widget : { static_cast<QWidget *>(ui->comboBox_nic),
                             static_cast<QWidget *>(ui->lineEdit_server_port),
                             static_cast<QWidget *>(ui->radioButton_server),
                             static_cast<QWidget *>(ui->label_serverhost),
                             static_cast<QWidget *>(ui->label_serverport),
                             static_cast<QWidget *>(ui->lineEdit_client_host),
                             static_cast<QWidget *>(ui->lineEdit_client_port),
                             static_cast<QWidget *>(ui->radioButton_client),
                             static_cast<QWidget *>(ui->label_clienthost),
                             static_cast<QWidget *>(ui->label_clientport) })
        widget->setEnabled(false);
    ui->comboBox_serial->setEnabled(true);
}

void CCommDialog::on_pushButton_ok_clicked()
{
    // Each field that is wrong, by its name, and why.
    QStringList wrong;
    if (ui->checkBox_useudp->isChecked()) {
        if (ui->radioButton_server->isChecked()
            && portFromText(ui->lineEdit_server_port->text()) == 0)
            wrong << tr("Server port: a port number from 1 to 65535 is needed");
        // A host that is not a numeric address can never match a sender, and port 0 binds
        // nothing: accepting either would leave the display silently without input.
        if (ui->radioButton_client->isChecked()) {
            if (hostFromText(ui->lineEdit_client_host->text()).isNull())
                wrong << tr("Client host: a numeric IPv4 or IPv6 address is needed; host names "
                            "are not accepted");
            if (portFromText(ui->lineEdit_client_port->text()) == 0)
                wrong << tr("Client port: a port number from 1 to 65535 is needed");
        }
    }
    if (!wrong.isEmpty()) {
        QMessageBox::warning(this, tr("Communication settings"), wrong.join(QLatin1Char('\n')));
        return;
    }
    saveSettings();
    accept();
}

void CCommDialog::on_pushButton_cancel_clicked()
{
    reject();
}
