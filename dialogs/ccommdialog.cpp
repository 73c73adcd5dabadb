#include "dialogs/ccommdialog.h"

#include "comm/udprules.h"
#include "dialogs/interfaceorder.h"
#include "ui_commdialog.h"

#include <QAbstractSocket>
#include <QFileInfo>
#include <QHostAddress>
#include <QIntValidator>
#include <QMessageBox>
#include <QNetworkInterface>
#include <QSpinBox>

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

CCommDialog::CCommDialog(QWidget *parent, comm_st *record,
                         DistributionSettings *distributionRecord)
    : QDialog(parent)
    , ui(new Ui_CCommDialog)
    , settings(nullptr)
    , distribution(distributionRecord)
{
    ui->setupUi(this);

    // The operator may type a path or a by-id name that the system does not list.
    ui->comboBox_serial->setEditable(true);
    ui->comboBox_serial->setInsertPolicy(QComboBox::NoInsert);
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
        bool listed = false;
        for (int i = 0; i < ports.size(); ++i) {
            if (ports.at(i).portName() == settings->serialport
                || ports.at(i).systemLocation() == settings->serialport) {
                ui->comboBox_serial->setCurrentIndex(i);
                listed = true;
            }
        }
        // A port the system does not list (a pty, a /dev/serial/by-id name, an adapter pulled
        // while the display runs) stays the current entry: OK must not put the first listed
        // port in its place and take the display off air.
        if (!listed && !settings->serialport.isEmpty()) {
            const QString path = settings->serialport.contains(QLatin1Char('/'))
                ? settings->serialport
                : QStringLiteral("/dev/") + settings->serialport;
            ui->comboBox_serial->insertItem(
                0,
                QFileInfo::exists(path) ? settings->serialport
                                        : tr("%1 (not present)").arg(settings->serialport));
            ui->comboBox_serial->setCurrentIndex(0);
        }
        ui->checkBox_useudp->setChecked(settings->use_udp);
    }

    const DistributionSettings shown = distribution ? *distribution : DistributionSettings();
    ui->comboBox_mode->setCurrentIndex(static_cast<int>(shown.mode));
    ui->lineEdit_group->setText(shown.group);
    ui->spinBox_ttl->setValue(shown.ttl);
    ui->lineEdit_unicast->setText(shown.unicast);
    ui->lineEdit_backup_host->setText(shown.backupHost);

    on_checkBox_useudp_toggled(ui->checkBox_useudp->isChecked());
    shownSerialPort = ui->comboBox_serial->currentText();
    shownNic = ui->comboBox_nic->currentText();

    // What the display will do is said again whenever a field that decides it changes.
    for (QLineEdit *edit : { ui->lineEdit_server_port, ui->lineEdit_group, ui->lineEdit_unicast })
        connect(edit, &QLineEdit::textChanged, this, &CCommDialog::showDistribution);
    connect(ui->comboBox_nic, &QComboBox::currentTextChanged, this,
            &CCommDialog::showDistribution);
    connect(ui->comboBox_mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CCommDialog::showDistribution);
    connect(ui->spinBox_ttl, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &CCommDialog::showDistribution);
    connect(ui->radioButton_client, &QRadioButton::toggled, this, &CCommDialog::showDistribution);
    showDistribution();
}

comm_st CCommDialog::shownRecord() const
{
    comm_st shown;
    shown.use_udp = ui->checkBox_useudp->isChecked();
    shown.is_server = ui->radioButton_server->isChecked();
    shown.server_host = ui->comboBox_nic->currentText();
    shown.server_port = ui->lineEdit_server_port->text();
    shown.client_host = ui->lineEdit_client_host->text();
    shown.client_port = ui->lineEdit_client_port->text();
    return shown;
}

DistributionSettings CCommDialog::shownDistribution() const
{
    DistributionSettings shown;
    shown.mode = static_cast<Distribution::Mode>(qMax(0, ui->comboBox_mode->currentIndex()));
    shown.group = ui->lineEdit_group->text();
    shown.ttl = ui->spinBox_ttl->value();
    shown.unicast = ui->lineEdit_unicast->text();
    shown.backupHost = ui->lineEdit_backup_host->text();
    return shown;
}

void CCommDialog::showDistribution()
{
    using Distribution::Mode;
    const comm_st shown = shownRecord();
    const Mode mode = shownDistribution().mode;
    ui->label_forwarding->setText(shownDistribution().forwardingSummary(shown));
    // A server forwards whether UDP is on or not; a client listens to the group and the backup.
    const bool forwards = shown.is_server;
    const bool client = shown.use_udp && !shown.is_server;
    const bool group = mode == Mode::Multicast || mode == Mode::Both;
    ui->label_mode->setEnabled(forwards || client);
    ui->comboBox_mode->setEnabled(forwards || client);
    ui->label_group->setEnabled((forwards || client) && group);
    ui->lineEdit_group->setEnabled((forwards || client) && group);
    for (QWidget *widget :
         { static_cast<QWidget *>(ui->label_ttl), static_cast<QWidget *>(ui->spinBox_ttl),
           static_cast<QWidget *>(ui->label_ttl_note) })
        widget->setEnabled(forwards && group);
    ui->label_unicast->setEnabled(forwards && mode == Mode::Unicast);
    ui->lineEdit_unicast->setEnabled(forwards && mode == Mode::Unicast);
    for (QWidget *widget :
         { static_cast<QWidget *>(ui->label_backup), static_cast<QWidget *>(ui->label_backuphost),
           static_cast<QWidget *>(ui->lineEdit_backup_host) })
        widget->setEnabled(client);
}

bool CCommDialog::distributionIsValid()
{
    using Distribution::Mode;
    const comm_st shown = shownRecord();
    const DistributionSettings d = shownDistribution();
    const bool forwards = shown.is_server;
    const bool client = shown.use_udp && !shown.is_server;
    const auto refuse = [this](const QString &text) {
        QMessageBox::warning(this, tr("Communication settings"), text);
        return false;
    };
    if ((forwards || client) && (d.mode == Mode::Multicast || d.mode == Mode::Both)
        && Distribution::groupFromText(d.group).isNull())
        return refuse(tr("Group: \"%1\" is not a multicast group. Use a dotted address from "
                         "224.0.1.0 to 239.255.255.255, for example 239.194.77.1.")
                          .arg(d.group));
    if (forwards && d.mode == Mode::Unicast) {
        const Distribution::TargetList list
            = Distribution::unicastTargetsFromText(d.unicast, portFromText(shown.server_port));
        if (!list.error.isEmpty())
            return refuse(tr("Unicast: %1.").arg(list.error));
        if (list.targets.isEmpty())
            return refuse(tr("Unicast: the list is empty; name at least one host[:port]."));
    }
    if (client && !d.backupHost.trimmed().isEmpty()) {
        const QHostAddress backup = hostFromText(d.backupHost.trimmed());
        if (backup.isNull())
            return refuse(tr("Backup: \"%1\" is not a numeric address.").arg(d.backupHost));
        if (backup == hostFromText(shown.client_host))
            return refuse(tr("Backup: it is the server itself; name another display or leave it "
                             "empty."));
    }
    return true;
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
    if (port.description().isEmpty())
        return port.portName();
    return tr("%1 (%2)").arg(port.description(), port.portName());
}

void CCommDialog::saveSettings()
{
    if (!settings)
        return;
    // The interface too is written only when chosen, or when a server would otherwise have none:
    // one that is down or unplugged stays the operator's choice.
    const QString nic = ui->comboBox_nic->currentText();
    if (nic != shownNic
        || (settings->server_host.isEmpty() && ui->radioButton_server->isChecked()))
        settings->server_host = nic;
    settings->server_port = ui->lineEdit_server_port->text();
    settings->client_host = ui->lineEdit_client_host->text();
    settings->client_port = ui->lineEdit_client_port->text();
    // The port is written only when the operator chose or typed another one.
    const QString chosen = ui->comboBox_serial->currentText();
    if (chosen != shownSerialPort) {
        bool listed = false;
        for (const QSerialPortInfo &port : qAsConst(ports)) {
            if (portEntryText(port) == chosen) {
                settings->serialport = port.portName();
                listed = true;
            }
        }
        // Typed, not picked: a path or a name as the operator wrote it.
        if (!listed && ui->comboBox_serial->findText(chosen) < 0 && !chosen.trimmed().isEmpty())
            settings->serialport = chosen.trimmed();
    }
    settings->is_server = ui->radioButton_server->isChecked();
    settings->use_udp = ui->checkBox_useudp->isChecked();
    if (distribution) {
        DistributionSettings shown = shownDistribution();
        shown.backupHost = shown.backupHost.trimmed();
        *distribution = shown;
    }
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
    showDistribution();
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
    showDistribution();
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
    if (!distributionIsValid())
        return;
    saveSettings();
    accept();
}

void CCommDialog::on_pushButton_cancel_clicked()
{
    reject();
}
