#include "dialogs/cremotedialog.h"

#include "dialogs/interfaceorder.h"
#include "ui_remotedialog.h"

#include <QAbstractSocket>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHostAddress>
#include <QMessageBox>

CRemoteDialog::CRemoteDialog(QWidget *parent, RemoteSettings *record)
    : QDialog(parent)
    , ui(new Ui_CRemoteDialog)
    , settings(record)
    , token(record->token)
{
    ui->setupUi(this);

    QStringList addresses = interfaceAddresses();
    // An interface that is gone for now (a cable being changed) must not lose its address
    // when OK is pressed.
    if (settings->listen == RemoteSettings::Interface
        && !addresses.contains(settings->listenAddress))
        addresses.prepend(settings->listenAddress);
    ui->comboBox_interface->addItems(addresses);
    if (settings->listen == RemoteSettings::Interface)
        ui->comboBox_interface->setCurrentText(settings->listenAddress);

    ui->checkBox_enabled->setChecked(settings->enabled);
    ui->radioButton_loopback->setChecked(settings->listen == RemoteSettings::Loopback);
    ui->radioButton_interface->setChecked(settings->listen == RemoteSettings::Interface);
    ui->radioButton_all->setChecked(settings->listen == RemoteSettings::All);
    ui->lineEdit_port->setText(QString::number(settings->port));
    ui->lineEdit_token->setText(token);
    ui->checkBox_read_needs_token->setChecked(settings->readNeedsToken);
    ui->lineEdit_allow->setText(settings->allow.join(QLatin1String(", ")));
    for (int i = 0; i < RemoteSettings::MaxWebhooks; ++i)
        webhookEdit(i)->setText(settings->webhooks.value(i));
    ui->lineEdit_tls_cert->setText(settings->tlsCert);
    ui->lineEdit_tls_key->setText(settings->tlsKey);

    for (QAbstractButton *button : { static_cast<QAbstractButton *>(ui->radioButton_loopback),
                                     static_cast<QAbstractButton *>(ui->radioButton_interface),
                                     static_cast<QAbstractButton *>(ui->radioButton_all) })
        connect(button, &QAbstractButton::toggled, this, &CRemoteDialog::stabilizeForm);
    for (QLineEdit *edit : { ui->lineEdit_port, ui->lineEdit_tls_cert, ui->lineEdit_tls_key })
        connect(edit, &QLineEdit::textChanged, this, &CRemoteDialog::stabilizeForm);
    connect(ui->comboBox_interface, &QComboBox::currentTextChanged, this,
            &CRemoteDialog::stabilizeForm);
    stabilizeForm();
}

CRemoteDialog::~CRemoteDialog()
{
    delete ui;
}

QStringList CRemoteDialog::interfaceAddresses()
{
    return orderedInterfaceAddresses(
        machineAddresses([](const QHostAddress &address, bool loopback) {
            // A link-local address needs its interface named to be reached: no address for a
            // browser's bar or a scrape configuration.
            return !loopback && !address.isLoopback() && !address.isLinkLocal()
                && (address.protocol() == QAbstractSocket::IPv4Protocol
                    || address.protocol() == QAbstractSocket::IPv6Protocol);
        }));
}

QLineEdit *CRemoteDialog::webhookEdit(int index) const
{
    QLineEdit *const edits[RemoteSettings::MaxWebhooks]
        = { ui->lineEdit_webhook_1, ui->lineEdit_webhook_2, ui->lineEdit_webhook_3,
            ui->lineEdit_webhook_4 };
    return edits[index];
}

void CRemoteDialog::stabilizeForm()
{
    // The token's start shows, as it does where the operator reads it out.
    if (ui->lineEdit_token->text() != token) {
        ui->lineEdit_token->setText(token);
        ui->lineEdit_token->setCursorPosition(0);
    }
    ui->comboBox_interface->setEnabled(ui->radioButton_interface->isChecked());
    ui->pushButton_copy->setEnabled(!token.isEmpty());

    // Where the browser view and the API will be, so the operator can pass it on.
    QString host;
    if (ui->radioButton_loopback->isChecked())
        host = QStringLiteral("127.0.0.1");
    else if (ui->radioButton_interface->isChecked())
        host = ui->comboBox_interface->currentText();
    quint16 port = 0;
    const bool tls = !ui->lineEdit_tls_cert->text().trimmed().isEmpty();
    if (!RemoteSettings::checkPort(ui->lineEdit_port->text(), &port, nullptr)) {
        ui->label_address->clear();
    } else if (host.isEmpty()) {
        ui->label_address->setText(
            tr("At port %1 of each of this computer's addresses").arg(port));
    } else {
        if (host.contains(QLatin1Char(':')))
            host = QLatin1Char('[') + host + QLatin1Char(']');
        ui->label_address->setText(
            QStringLiteral("%1://%2:%3/")
                .arg(tls ? QStringLiteral("https") : QStringLiteral("http"), host)
                .arg(port));
    }
}

void CRemoteDialog::on_checkBox_enabled_toggled(bool checked)
{
    // The token is made when the feature is first turned on, not before: a display that never
    // listens needs none.
    if (checked && token.isEmpty()) {
        token = RemoteSettings::newToken();
        ui->lineEdit_token->setText(token);
    }
    stabilizeForm();
}

void CRemoteDialog::on_pushButton_copy_clicked()
{
    QGuiApplication::clipboard()->setText(token);
}

void CRemoteDialog::on_pushButton_new_token_clicked()
{
    token = RemoteSettings::newToken();
    ui->lineEdit_token->setText(token);
    stabilizeForm();
}

void CRemoteDialog::chooseFile(QLineEdit *edit, const QString &caption)
{
    const QString file = QFileDialog::getOpenFileName(
        this, caption, edit->text(), tr("PEM files (*.pem *.crt *.key);;All files (*)"));
    if (!file.isEmpty())
        edit->setText(file);
}

void CRemoteDialog::on_pushButton_tls_cert_clicked()
{
    chooseFile(ui->lineEdit_tls_cert, tr("Certificate"));
}

void CRemoteDialog::on_pushButton_tls_key_clicked()
{
    chooseFile(ui->lineEdit_tls_key, tr("Private key"));
}

bool CRemoteDialog::warnIfBad(bool good, const QString &field, const QString &why)
{
    if (!good)
        QMessageBox::warning(this, tr("Remote access"), tr("%1: %2.").arg(field, why));
    return !good;
}

void CRemoteDialog::on_pushButton_ok_clicked()
{
    RemoteSettings edited = *settings;
    QString why;

    edited.enabled = ui->checkBox_enabled->isChecked();
    if (ui->radioButton_interface->isChecked()) {
        edited.listen = RemoteSettings::Interface;
        edited.listenAddress = ui->comboBox_interface->currentText();
        if (warnIfBad(RemoteSettings::checkListenAddress(edited.listenAddress, &why),
                      tr("Network interface"),
                      edited.listenAddress.isEmpty() ? tr("this computer has none to offer")
                                                     : why))
            return;
    } else {
        edited.listen
            = ui->radioButton_all->isChecked() ? RemoteSettings::All : RemoteSettings::Loopback;
    }
    if (warnIfBad(RemoteSettings::checkPort(ui->lineEdit_port->text(), &edited.port, &why),
                  tr("Port"), why))
        return;

    edited.token = token;
    if (edited.enabled
        && warnIfBad(RemoteSettings::checkToken(edited.token, &why), tr("Access token"), why))
        return;
    edited.readNeedsToken = ui->checkBox_read_needs_token->isChecked();

    if (warnIfBad(RemoteSettings::checkNetworks(ui->lineEdit_allow->text(), &edited.allow, &why),
                  tr("Allowed networks"), why))
        return;

    edited.webhooks.clear();
    for (int i = 0; i < RemoteSettings::MaxWebhooks; ++i) {
        const QString url = webhookEdit(i)->text().trimmed();
        if (url.isEmpty())
            continue;
        if (warnIfBad(RemoteSettings::checkWebhook(url, &why), tr("Webhook %1").arg(i + 1), why))
            return;
        edited.webhooks.append(url);
    }

    edited.tlsCert = ui->lineEdit_tls_cert->text().trimmed();
    edited.tlsKey = ui->lineEdit_tls_key->text().trimmed();
    if (warnIfBad(RemoteSettings::checkTls(edited.tlsCert, edited.tlsKey, &why), tr("HTTPS"), why))
        return;
    for (const QString &file : { edited.tlsCert, edited.tlsKey }) {
        if (!file.isEmpty()
            && warnIfBad(QFileInfo(file).isFile() && QFileInfo(file).isReadable(), tr("HTTPS"),
                         tr("\"%1\" is not a file this program can read").arg(file)))
            return;
    }

    edited.fault.clear();
    *settings = edited;
    accept();
}

void CRemoteDialog::on_pushButton_cancel_clicked()
{
    reject();
}
