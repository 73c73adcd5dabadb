#include "app/mainwindow.h"
#include "dialogs/ccommdialog.h"
#include "dialogs/interfaceorder.h"
#include "mainwindowprobe.h"
#include "loopback.h"
#include "levelframes.h"
#include "modalanswer.h"
#include "onair/onairstatus.h"
#include "ptypair.h"
#include "storedsettings.h"
#include "testsupport.h"
#include "widgets/mylabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHostAddress>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSettings>
#include <QUdpSocket>
#include <QtTest>

namespace {

comm_st record(bool useUdp, bool isServer, const QString &serverPort = QString(),
               const QString &clientHost = QString(), const QString &clientPort = QString())
{
    comm_st r;
    r.use_udp = useUdp;
    r.is_server = isServer;
    r.serialport = QStringLiteral("ttyNOTHERE");
    r.server_host = QStringLiteral("127.0.0.1");
    r.server_port = serverPort;
    r.client_host = clientHost;
    r.client_port = clientPort;
    return r;
}

template<typename T> T *widget(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

// Each group is reported as 1 (all enabled), 0 (all disabled) or "mixed".
QString groupStates(QWidget *dialog)
{
    const QList<QStringList> groups = {
        { "comboBox_serial" },
        { "radioButton_server", "radioButton_client" },
        { "label_serverhost", "comboBox_nic", "label_serverport", "lineEdit_server_port" },
        { "label_clienthost", "lineEdit_client_host", "label_clientport", "lineEdit_client_port" },
    };
    QStringList states;
    for (const QStringList &group : groups) {
        int enabled = 0;
        for (const QString &name : group) {
            auto *w = dialog->findChild<QWidget *>(name);
            if (w && w->isEnabled())
                ++enabled;
        }
        states << (enabled == group.size() ? QStringLiteral("1")
                       : enabled == 0      ? QStringLiteral("0")
                                           : QStringLiteral("mixed"));
    }
    return states.join(' ');
}

// Clicks a check box or radio button on its indicator, where a user would.
void clickButton(QWidget *dialog, const QString &name)
{
    auto *button = dialog->findChild<QAbstractButton *>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

QString entryText(const QSerialPortInfo &port)
{
    if (port.description().isEmpty())
        return port.portName();
    return QStringLiteral("%1 (%2)").arg(port.description(), port.portName());
}

struct Warning
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QWidget *parent = nullptr;
};

} // namespace

Q_DECLARE_METATYPE(InterfaceAddress)

class TestCommDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void form_data();
    void form();
    void dialogProperties();
    void enableRules_data();
    void enableRules();
    void portFieldsRefuseKeystrokes_data();
    void portFieldsRefuseKeystrokes();
    void okChecks_data();
    void okChecks();
    void okStoresAllFields_data();
    void okStoresAllFields();
    void serialEntryThatMatchesNoPortKeepsStoredName();
    void storedInterfaceAndPortAreSelected();
    void serialPortOnlyWhenChanged_data();
    void serialPortOnlyWhenChanged();
    void okOnPtyKeepsDisplayOnAirAndFileAsItWas();
    void interfaceListIsIPv4LoopbackLast();
    void interfaceOrder_data();
    void interfaceOrder();
    void cancelLeavesRecordUntouched();
    void nullRecord();
    void openSettingsAcceptStoresAndRebuilds();
    void openSettingsCancelStillRebuilds();

private:
    PtyPair line;
};

void TestCommDialog::initTestCase()
{
    useProgramIdentity();
    QVERIFY2(line.start(), qPrintable(line.error()));
}

void TestCommDialog::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestCommDialog::form_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, const char *cls, const char *parent, QRect rect,
                        const char *text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                            << QString::fromLatin1(parent) << rect << QString::fromLatin1(text);
    };
    row("groupBox", "QGroupBox", "CCommDialog", QRect(20, 10, 271, 51), "Serial Port");
    row("comboBox_serial", "QComboBox", "groupBox", QRect(10, 20, 231, 22), "");
    row("groupBox_2", "QGroupBox", "CCommDialog", QRect(20, 70, 271, 261), "UDP Server/Client");
    row("checkBox_useudp", "QCheckBox", "groupBox_2", QRect(10, 30, 181, 17), "Enable");
    row("label_clienthost", "QLabel", "groupBox_2", QRect(60, 190, 31, 16), "Host:");
    row("label_clientport", "QLabel", "groupBox_2", QRect(60, 220, 31, 16), "Port:");
    row("label_serverhost", "QLabel", "groupBox_2", QRect(60, 90, 31, 16), "NIC:");
    row("comboBox_nic", "QComboBox", "groupBox_2", QRect(100, 90, 141, 22), "");
    row("label_serverport", "QLabel", "groupBox_2", QRect(60, 120, 31, 16), "Port:");
    row("lineEdit_client_host", "QLineEdit", "groupBox_2", QRect(100, 190, 141, 20), "");
    row("radioButton_client", "QRadioButton", "groupBox_2", QRect(40, 160, 91, 17), "UDP Client");
    row("lineEdit_client_port", "QLineEdit", "groupBox_2", QRect(100, 220, 61, 20), "");
    row("lineEdit_server_port", "QLineEdit", "groupBox_2", QRect(100, 120, 61, 20), "");
    row("radioButton_server", "QRadioButton", "groupBox_2", QRect(40, 60, 111, 17), "UDP Server");
    row("pushButton_ok", "QPushButton", "CCommDialog", QRect(140, 340, 70, 23), "OK");
    row("pushButton_cancel", "QPushButton", "CCommDialog", QRect(220, 340, 70, 23), "Cancel");
}

void TestCommDialog::form()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, parentName);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    CCommDialog dialog(nullptr, nullptr);
    auto *w = dialog.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QCOMPARE(w->parentWidget()->objectName(), parentName);
    QCOMPARE(w->geometry(), geometry);

    QString shown;
    if (auto *box = qobject_cast<QGroupBox *>(w))
        shown = box->title();
    else if (auto *button = qobject_cast<QAbstractButton *>(w))
        shown = button->text();
    else if (auto *label = qobject_cast<QLabel *>(w))
        shown = label->text();
    else if (auto *edit = qobject_cast<QLineEdit *>(w))
        shown = edit->text();
    QCOMPARE(shown, text);

    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        const auto *range = qobject_cast<const QIntValidator *>(edit->validator());
        if (name == QLatin1String("lineEdit_client_host")) {
            QVERIFY(!edit->validator());
        } else {
            QVERIFY(range);
            QCOMPARE(range->bottom(), 0);
            QCOMPARE(range->top(), 65535);
            QVERIFY(edit->validator()
                    != widget<QLineEdit>(&dialog,
                                         name == "lineEdit_server_port" ? "lineEdit_client_port"
                                                                        : "lineEdit_server_port")
                           ->validator());
        }
    }
}

void TestCommDialog::dialogProperties()
{
    CCommDialog dialog(nullptr, nullptr);
    QCOMPARE(dialog.objectName(), QStringLiteral("CCommDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Communication settings"));
    // Widened for the distribution beside the serial and UDP settings.
    QCOMPARE(dialog.minimumSize(), QSize(630, 370));
    QCOMPARE(dialog.maximumSize(), QSize(630, 370));
    QCOMPARE(dialog.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(dialog.sizePolicy().verticalPolicy(), QSizePolicy::Preferred);

    // The sixteen widgets, created in this order.
    const QStringList order = {
        "groupBox",
        "comboBox_serial",
        "groupBox_2",
        "checkBox_useudp",
        "label_clienthost",
        "label_clientport",
        "label_serverhost",
        "comboBox_nic",
        "label_serverport",
        "lineEdit_client_host",
        "radioButton_client",
        "lineEdit_client_port",
        "lineEdit_server_port",
        "radioButton_server",
        "pushButton_ok",
        "pushButton_cancel",
    };
    QStringList created;
    for (QWidget *w : dialog.findChildren<QWidget *>()) {
        if (order.contains(w->objectName()))
            created << w->objectName();
    }
    QCOMPARE(created, order);
}

void TestCommDialog::enableRules_data()
{
    QTest::addColumn<bool>("nullRecord");
    QTest::addColumn<bool>("useUdp");
    QTest::addColumn<bool>("isServer");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("expected"); // serial, role, server, client
    QTest::addColumn<bool>("serverChecked");

    QTest::newRow("null record") << true << false << false << QStringList() << "1 0 0 0" << true;
    QTest::newRow("serial only, server role stored")
        << false << false << true << QStringList() << "1 0 0 0" << true;
    QTest::newRow("serial only, client role stored")
        << false << false << false << QStringList() << "1 0 0 0" << false;
    QTest::newRow("udp server") << false << true << true << QStringList() << "1 1 1 0" << true;
    QTest::newRow("udp client") << false << true << false << QStringList() << "0 1 0 1" << false;
    QTest::newRow("udp switched on, server role")
        << false << false << true << QStringList({ "checkBox_useudp" }) << "1 1 1 0" << true;
    QTest::newRow("udp switched on, stored client role comes back")
        << false << false << false << QStringList({ "checkBox_useudp" }) << "0 1 0 1" << false;
    QTest::newRow("server switched to client")
        << false << true << true << QStringList({ "radioButton_client" }) << "0 1 0 1" << false;
    QTest::newRow("client switched to server")
        << false << true << false << QStringList({ "radioButton_server" }) << "1 1 1 0" << true;
    QTest::newRow("udp switched off from client")
        << false << true << false << QStringList({ "checkBox_useudp" }) << "1 0 0 0" << false;
    QTest::newRow("udp off and on again keeps client")
        << false << true << false << QStringList({ "checkBox_useudp", "checkBox_useudp" })
        << "0 1 0 1" << false;
    QTest::newRow("null record, udp on then client")
        << true << false << false << QStringList({ "checkBox_useudp", "radioButton_client" })
        << "0 1 0 1" << false;
}

void TestCommDialog::enableRules()
{
    QFETCH(bool, nullRecord);
    QFETCH(bool, useUdp);
    QFETCH(bool, isServer);
    QFETCH(QStringList, clicks);
    QFETCH(QString, expected);
    QFETCH(bool, serverChecked);

    comm_st r = record(useUdp, isServer);
    CCommDialog dialog(nullptr, nullRecord ? nullptr : &r);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString &name : clicks)
        clickButton(&dialog, name);

    QCOMPARE(groupStates(&dialog), expected);
    QCOMPARE(widget<QRadioButton>(&dialog, "radioButton_server")->isChecked(), serverChecked);
    QCOMPARE(widget<QRadioButton>(&dialog, "radioButton_client")->isChecked(), !serverChecked);
}

void TestCommDialog::portFieldsRefuseKeystrokes_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");

    QTest::newRow("highest port") << "65535"
                                  << "65535";
    QTest::newRow("zero") << "0"
                          << "0";
    QTest::newRow("digit past the highest port") << "655359"
                                                 << "65535";
    QTest::newRow("five digits above the top") << "70000"
                                               << "7000";
    QTest::newRow("65536") << "65536"
                           << "6553";
    QTest::newRow("99999") << "99999"
                           << "9999";
    QTest::newRow("minus sign") << "-1"
                                << "1";
    QTest::newRow("plus sign") << "+80"
                               << "80";
    QTest::newRow("group separators") << "1,000.5"
                                      << "10005";
    QTest::newRow("letters and blanks") << "8o 80x"
                                        << "880";
}

void TestCommDialog::portFieldsRefuseKeystrokes()
{
    QFETCH(QString, keys);
    QFETCH(QString, expected);

    CCommDialog dialog(nullptr, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickButton(&dialog, "checkBox_useudp");
    for (const char *name : { "lineEdit_server_port", "lineEdit_client_port" }) {
        if (QLatin1String(name) == QLatin1String("lineEdit_client_port"))
            clickButton(&dialog, "radioButton_client");
        auto *edit = widget<QLineEdit>(&dialog, name);
        QVERIFY(edit->isEnabled());
        edit->setFocus();
        QTest::keyClicks(edit, keys);
        QCOMPARE(edit->text(), expected);
    }
}

void TestCommDialog::okChecks_data()
{
    QTest::addColumn<bool>("useUdp");
    QTest::addColumn<bool>("isServer");
    QTest::addColumn<QString>("serverPort");
    QTest::addColumn<QString>("clientHost");
    QTest::addColumn<QString>("clientPort");
    QTest::addColumn<QString>("warning"); // empty: accepted without a warning

    // Each wrong field by its name, and why.
    const QString server = QStringLiteral("Server port: a port number from 1 to 65535 is needed");
    const QString host = QStringLiteral(
        "Client host: a numeric IPv4 or IPv6 address is needed; host names are not accepted");
    const QString port = QStringLiteral("Client port: a port number from 1 to 65535 is needed");

    QTest::newRow("server, empty port") << true << true << ""
                                        << ""
                                        << "" << server;
    QTest::newRow("server, port given") << true << true << "5000"
                                        << ""
                                        << ""
                                        << "";
    // Port 0 would bind a port the system picks, which no client listens to.
    QTest::newRow("server, port 0") << true << true << "0"
                                    << ""
                                    << "" << server;
    QTest::newRow("client, empty host") << true << false << ""
                                        << ""
                                        << "5000" << host;
    QTest::newRow("client, empty port") << true << false << ""
                                        << "127.0.0.1"
                                        << "" << port;
    QTest::newRow("client, both empty") << true << false << "5000"
                                        << ""
                                        << "" << host + QLatin1Char('\n') + port;
    QTest::newRow("client, host name") << true << false << ""
                                       << "studio-pc"
                                       << "5000" << host;
    QTest::newRow("client, blanks as host") << true << false << ""
                                            << "   "
                                            << "5000" << host;
    QTest::newRow("client, octet out of range") << true << false << ""
                                                << "192.168.1.300"
                                                << "5000" << host;
    QTest::newRow("client, IPv6 host") << true << false << ""
                                       << "::1"
                                       << "5000"
                                       << "";
    // inet_aton's other forms name an address the operator did not mean.
    QTest::newRow("client, leading zeros are decimal") << true << false << ""
                                                       << "127.0.0.010"
                                                       << "5000"
                                                       << "";
    QTest::newRow("client, two parts") << true << false << ""
                                       << "127.1"
                                       << "5000" << host;
    QTest::newRow("client, hexadecimal part") << true << false << ""
                                              << "0x7f.0.0.1"
                                              << "5000" << host;
    QTest::newRow("client, one number") << true << false << ""
                                        << "2130706433"
                                        << "5000" << host;
    QTest::newRow("client, port 0") << true << false << ""
                                    << "127.0.0.1"
                                    << "0" << port;
    QTest::newRow("client, numeric IPv4 host") << true << false << ""
                                               << "192.168.1.20"
                                               << "5000"
                                               << "";
    QTest::newRow("client, loopback host") << true << false << ""
                                           << "127.0.0.1"
                                           << "1"
                                           << "";
    QTest::newRow("udp off, everything empty") << false << true << ""
                                               << ""
                                               << ""
                                               << "";
    QTest::newRow("udp off, client role with a host name") << false << false << ""
                                                           << "studio-pc"
                                                           << ""
                                                           << "";
}

void TestCommDialog::okChecks()
{
    QFETCH(bool, useUdp);
    QFETCH(bool, isServer);
    QFETCH(QString, serverPort);
    QFETCH(QString, clientHost);
    QFETCH(QString, clientPort);
    QFETCH(QString, warning);

    // The fields are typed, the mode clicked, as an operator would.
    comm_st r = record(false, true);
    const comm_st original = r;
    CCommDialog dialog(nullptr, &r);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (useUdp)
        clickButton(&dialog, "checkBox_useudp");
    if (!isServer) {
        if (!useUdp)
            clickButton(&dialog, "checkBox_useudp");
        clickButton(&dialog, "radioButton_client");
        if (!useUdp)
            clickButton(&dialog, "checkBox_useudp");
    }
    widget<QLineEdit>(&dialog, "lineEdit_server_port")->setText(serverPort);
    widget<QLineEdit>(&dialog, "lineEdit_client_host")->setText(clientHost);
    widget<QLineEdit>(&dialog, "lineEdit_client_port")->setText(clientPort);

    Warning seen;
    ModalAnswer<QMessageBox> answer([&](QMessageBox *box) {
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = box->buttons().size();
        seen.parent = box->parentWidget();
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->reject();
    });
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);

    if (warning.isEmpty()) {
        QVERIFY2(!answer.answered(), qPrintable(seen.title + ": " + seen.text));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(r.use_udp, useUdp);
        QCOMPARE(r.is_server, isServer);
        QCOMPARE(r.client_host, clientHost);
        return;
    }
    QVERIFY(answer.answered());
    QCOMPARE(seen.title, QStringLiteral("Communication settings"));
    QCOMPARE(seen.text, warning);
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.buttons, 1);
    QCOMPARE(seen.parent, &dialog);
    // The dialog stays open with its contents, and nothing reaches the record.
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(widget<QLineEdit>(&dialog, "lineEdit_client_host")->text(), clientHost);
    QCOMPARE(describe(r), describe(original));
}

void TestCommDialog::okStoresAllFields_data()
{
    QTest::addColumn<bool>("useUdp");
    QTest::addColumn<bool>("client");

    QTest::newRow("udp client") << true << true;
    QTest::newRow("udp server") << true << false;
    QTest::newRow("serial only, client role remembered") << false << true;
    QTest::newRow("serial only, server role") << false << false;
}

void TestCommDialog::okStoresAllFields()
{
    QFETCH(bool, useUdp);
    QFETCH(bool, client);

    comm_st r = record(false, true, QStringLiteral("1"), QStringLiteral("10.0.0.1"),
                       QStringLiteral("2"));
    r.server_host = QStringLiteral("nothing here");
    CCommDialog dialog(nullptr, &r);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto *serial = widget<QComboBox>(&dialog, "comboBox_serial");
    auto *nic = widget<QComboBox>(&dialog, "comboBox_nic");
    // The operator picks the last interface and the last serial port, where there are any.
    QVERIFY(nic->count() > 0);
    const QString chosenNic = nic->itemText(nic->count() - 1);
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    // The stored port, which the system does not list, leads the list.
    QCOMPARE(serial->count(), ports.size() + 1);
    QCOMPARE(serial->itemText(0), QStringLiteral("ttyNOTHERE (not present)"));
    const QString chosenPort = ports.isEmpty() ? r.serialport : ports.last().portName();

    clickButton(&dialog, "checkBox_useudp");
    nic->setFocus();
    QTest::keyClick(nic, Qt::Key_End);
    QCOMPARE(nic->currentText(), chosenNic);
    if (!ports.isEmpty()) {
        // The list takes typing too: the last entry is chosen from the list itself.
        serial->setCurrentIndex(serial->count() - 1);
        QCOMPARE(serial->currentText(), entryText(ports.last()));
    }
    retype(widget<QLineEdit>(&dialog, "lineEdit_server_port"), QStringLiteral("6001"));
    clickButton(&dialog, "radioButton_client");
    retype(widget<QLineEdit>(&dialog, "lineEdit_client_host"), QStringLiteral("127.0.0.9"));
    retype(widget<QLineEdit>(&dialog, "lineEdit_client_port"), QStringLiteral("6002"));
    if (!client)
        clickButton(&dialog, "radioButton_server");
    if (!useUdp)
        clickButton(&dialog, "checkBox_useudp");

    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    // Every field is written, also those of the mode not in use.
    QCOMPARE(r.server_host, chosenNic);
    QCOMPARE(r.server_port, QStringLiteral("6001"));
    QCOMPARE(r.client_host, QStringLiteral("127.0.0.9"));
    QCOMPARE(r.client_port, QStringLiteral("6002"));
    QCOMPARE(r.serialport, chosenPort);
    QCOMPARE(r.is_server, !client);
    QCOMPARE(r.use_udp, useUdp);
}

void TestCommDialog::serialEntryThatMatchesNoPortKeepsStoredName()
{
    comm_st r = record(false, true);
    CCommDialog dialog(nullptr, &r);
    auto *serial = widget<QComboBox>(&dialog, "comboBox_serial");
    // The entries are gone as on a machine without serial ports; then one that names no port.
    serial->clear();
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);
    QCOMPARE(r.serialport, QStringLiteral("ttyNOTHERE"));

    CCommDialog again(nullptr, &r);
    auto *serial2 = widget<QComboBox>(&again, "comboBox_serial");
    serial2->addItem(QStringLiteral("Unplugged adapter (ttyUSB9)"));
    serial2->setCurrentIndex(serial2->count() - 1);
    QTest::mouseClick(widget<QPushButton>(&again, "pushButton_ok"), Qt::LeftButton);
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QCOMPARE(r.serialport, QStringLiteral("ttyNOTHERE"));
}

void TestCommDialog::storedInterfaceAndPortAreSelected()
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();

    comm_st r = record(true, true, QStringLiteral("5000"));
    r.server_host = QStringLiteral("127.0.0.1");
    if (!ports.isEmpty())
        r.serialport = ports.last().portName();
    CCommDialog dialog(nullptr, &r);
    auto *nic = widget<QComboBox>(&dialog, "comboBox_nic");
    auto *serial = widget<QComboBox>(&dialog, "comboBox_serial");
    QCOMPARE(nic->currentText(), QStringLiteral("127.0.0.1"));
    QCOMPARE(serial->currentIndex(), ports.isEmpty() ? 0 : ports.size() - 1);
    QCOMPARE(widget<QLineEdit>(&dialog, "lineEdit_server_port")->text(), QStringLiteral("5000"));
    QVERIFY(widget<QCheckBox>(&dialog, "checkBox_useudp")->isChecked());

    // An interface not listed any more leaves the first entry current; a serial port not
    // listed stays the current entry, marked.
    comm_st gone = record(true, true, QStringLiteral("5000"));
    gone.server_host = QStringLiteral("127.0.0.1 ");
    CCommDialog other(nullptr, &gone);
    QCOMPARE(widget<QComboBox>(&other, "comboBox_nic")->currentIndex(), 0);
    QCOMPARE(widget<QComboBox>(&other, "comboBox_serial")->currentIndex(), 0);
    QCOMPARE(widget<QComboBox>(&other, "comboBox_serial")->currentText(),
             QStringLiteral("ttyNOTHERE (not present)"));
}

void TestCommDialog::serialPortOnlyWhenChanged_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed"); // empty: nothing typed
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("saved");

    const QString pty = line.programEnd();
    QTest::newRow("pty, not listed, present") << pty << QString() << pty << pty;
    QTest::newRow("by-id name of an unplugged adapter")
        << QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0") << QString()
        << QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0 (not present)")
        << QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    QTest::newRow("a path typed") << QStringLiteral("ttyNOTHERE") << pty
                                  << QStringLiteral("ttyNOTHERE (not present)") << pty;
    QTest::newRow("a path typed with blanks")
        << QStringLiteral("ttyNOTHERE") << QStringLiteral("  /dev/ttyUSB7 ")
        << QStringLiteral("ttyNOTHERE (not present)") << QStringLiteral("/dev/ttyUSB7");
}

// A port the system does not enumerate stays what it was unless the operator changes it.
void TestCommDialog::serialPortOnlyWhenChanged()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, saved);
    comm_st r = record(false, false);
    r.serialport = stored;
    CCommDialog dialog(nullptr, &r);
    auto *serial = widget<QComboBox>(&dialog, "comboBox_serial");
    QCOMPARE(serial->currentText(), shown);
    if (!typed.isEmpty()) {
        serial->lineEdit()->selectAll();
        QTest::keyClicks(serial->lineEdit(), typed);
    }
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(r.serialport, saved);
}

// The display live on a pty: the dialog opened and confirmed changes nothing, neither the
// settings file, byte for byte, nor the line the display reads.
void TestCommDialog::okOnPtyKeepsDisplayOnAirAndFileAsItWas()
{
    {
        QSettings seed;
        seed.setValue(QStringLiteral("serialport"), line.programEnd());
    }
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MainWindowTestAccess::writeSettings(window);
    QByteArray before;
    {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        before = file.readAll();
    }
    QVERIFY(before.contains(line.programEnd().toUtf8()));

    QVERIFY(line.write(frameOf(12000, 900)));
    QTRY_COMPARE(MainWindowTestAccess::onAir(window)->state(), LinkWatch::Live);
    ModalAnswer<CCommDialog> answer([&](CCommDialog *dialog) {
        QTest::mouseClick(widget<QPushButton>(dialog, "pushButton_ok"), Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
    QTest::mouseClick(MainWindowTestAccess::settingsLabel(window), Qt::LeftButton);
    QVERIFY(answer.answered());
    QCOMPARE(MainWindowTestAccess::commSettings(window).serialport, line.programEnd());
    QSerialPort *port = MainWindowTestAccess::serialPort(window);
    QVERIFY(port && port->isOpen());
    QVERIFY(line.write(frameOf(22000, 900)));
    QTRY_COMPARE(MainWindowTestAccess::meterLevels(window)[0], 22000 / 1000.0 - 50.0);
    MainWindowTestAccess::writeSettings(window);

    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    // Line by line, so that a difference names its key.
    QCOMPARE(file.readAll().split('\n'), before.split('\n'));
}

void TestCommDialog::interfaceOrder_data()
{
    QTest::addColumn<QList<InterfaceAddress>>("addresses");
    QTest::addColumn<QStringList>("ordered");

    const InterfaceAddress lo { QStringLiteral("127.0.0.1"), true, true };
    const InterfaceAddress downA { QStringLiteral("10.0.0.1"), false, false };
    const InterfaceAddress downB { QStringLiteral("10.0.0.2"), false, false };
    const InterfaceAddress liveA { QStringLiteral("192.168.1.5"), true, false };
    const InterfaceAddress liveB { QStringLiteral("172.16.0.9"), true, false };
    QTest::newRow("down interface first in the kernel's order")
        << QList<InterfaceAddress> { lo, downA, liveA }
        << QStringList { "192.168.1.5", "10.0.0.1", "127.0.0.1" };
    QTest::newRow("kernel's order kept within each group")
        << QList<InterfaceAddress> { downB, liveB, lo, downA, liveA }
        << QStringList { "172.16.0.9", "192.168.1.5", "10.0.0.2", "10.0.0.1", "127.0.0.1" };
    QTest::newRow("loopback last even when down")
        << QList<InterfaceAddress> { { QStringLiteral("127.0.0.1"), false, true }, downA }
        << QStringList { "10.0.0.1", "127.0.0.1" };
    QTest::newRow("only down interfaces") << QList<InterfaceAddress> { downA, downB }
                                          << QStringList { "10.0.0.1", "10.0.0.2" };
    QTest::newRow("none") << QList<InterfaceAddress>() << QStringList();
}

// Live interfaces first, then those that are down, loopback last.
void TestCommDialog::interfaceOrder()
{
    QFETCH(QList<InterfaceAddress>, addresses);
    QFETCH(QStringList, ordered);
    QCOMPARE(orderedInterfaceAddresses(addresses), ordered);
}

void TestCommDialog::interfaceListIsIPv4LoopbackLast()
{
    CCommDialog dialog(nullptr, nullptr);
    auto *nic = widget<QComboBox>(&dialog, "comboBox_nic");
    QStringList entries;
    for (int i = 0; i < nic->count(); ++i)
        entries << nic->itemText(i);

    QVERIFY2(entries.contains(QStringLiteral("127.0.0.1")), qPrintable(entries.join(',')));
    bool loopbackSeen = false;
    for (const QString &entry : qAsConst(entries)) {
        QVERIFY2(entry.size() <= 15, qPrintable(entry));
        const QHostAddress address(entry);
        QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
        QVERIFY2(!loopbackSeen || address.isLoopback(), qPrintable(entries.join(',')));
        loopbackSeen = loopbackSeen || address.isLoopback();
    }
}

void TestCommDialog::cancelLeavesRecordUntouched()
{
    comm_st r = record(true, false, QStringLiteral("7000"), QStringLiteral("127.0.0.5"),
                       QStringLiteral("7001"));
    const comm_st original = r;
    CCommDialog dialog(nullptr, &r);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    retype(widget<QLineEdit>(&dialog, "lineEdit_client_host"), QStringLiteral("127.0.0.6"));
    retype(widget<QLineEdit>(&dialog, "lineEdit_client_port"), QStringLiteral("9"));
    clickButton(&dialog, "radioButton_server");
    clickButton(&dialog, "checkBox_useudp");
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_cancel"), Qt::LeftButton);

    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(describe(r), describe(original));
}

void TestCommDialog::nullRecord()
{
    CCommDialog dialog(nullptr, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(!widget<QCheckBox>(&dialog, "checkBox_useudp")->isChecked());
    QVERIFY(widget<QRadioButton>(&dialog, "radioButton_server")->isChecked());
    for (const char *name :
         { "lineEdit_server_port", "lineEdit_client_host", "lineEdit_client_port" })
        QCOMPARE(widget<QLineEdit>(&dialog, name)->text(), QString());

    // Still a working dialog: the checks run, and OK saves nothing and closes it.
    clickButton(&dialog, "checkBox_useudp");
    QString title;
    {
        ModalAnswer<QMessageBox> answer([&](QMessageBox *box) {
            title = box->text();
            box->reject();
        });
        QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);
        QVERIFY(answer.answered());
    }
    // The warning names the field that is wrong.
    QVERIFY2(title.startsWith(QStringLiteral("Server port: ")), qPrintable(title));
    retype(widget<QLineEdit>(&dialog, "lineEdit_server_port"), QStringLiteral("5000"));
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestCommDialog::openSettingsAcceptStoresAndRebuilds()
{
    const quint16 port = freeUdpPort();
    QVERIFY(port != 0);

    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    comm_st &settings = MainWindowTestAccess::commSettings(window);
    QVERIFY(!settings.is_server); // nothing stored: no forwarding from this window
    QCOMPARE(window.windowTitle(), QStringLiteral("Unknown - ()"));

    QString title;
    bool modal = false;
    QWidget *parent = nullptr;
    ModalAnswer<CCommDialog> answer([&](CCommDialog *dialog) {
        title = dialog->windowTitle();
        modal = dialog->isModal();
        parent = dialog->parentWidget();
        clickButton(dialog, "checkBox_useudp");
        clickButton(dialog, "radioButton_client");
        retype(widget<QLineEdit>(dialog, "lineEdit_client_host"), QStringLiteral("127.0.0.1"));
        retype(widget<QLineEdit>(dialog, "lineEdit_client_port"), QString::number(port));
        QTest::mouseClick(widget<QPushButton>(dialog, "pushButton_ok"), Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
    // A stray warning would block the answer above; this one closes it.
    ModalAnswer<QMessageBox> noWarning([](QMessageBox *box) { box->reject(); });
    QTest::mouseClick(MainWindowTestAccess::settingsLabel(window), Qt::LeftButton);

    QVERIFY(answer.answered());
    QVERIFY(!noWarning.answered());
    QCOMPARE(title, QStringLiteral("Communication settings"));
    QVERIFY(modal);
    QCOMPARE(parent, &window);
    QVERIFY(settings.use_udp);
    QVERIFY(!settings.is_server);
    QCOMPARE(settings.client_host, QStringLiteral("127.0.0.1"));

    // The communication was rebuilt from the record: a client listening on the chosen port.
    QUdpSocket *socket = MainWindowTestAccess::udpSocket(window);
    QCOMPARE(socket->state(), QAbstractSocket::BoundState);
    QCOMPARE(socket->localPort(), port);
    QCOMPARE(window.windowTitle(), QStringLiteral("Unknown - (%1)").arg(port));

    // And the choice is in the store already, before any exit.
    QSettings file(settingsFile(), QSettings::IniFormat);
    QCOMPARE(file.childKeys().size(), 12);
    QCOMPARE(file.value(QStringLiteral("use_udp")).toBool(), true);
    QCOMPARE(file.value(QStringLiteral("is_server")).toBool(), false);
    QCOMPARE(file.value(QStringLiteral("client_host")).toString(), QStringLiteral("127.0.0.1"));
    QCOMPARE(file.value(QStringLiteral("client_port")).toString(), QString::number(port));
}

void TestCommDialog::openSettingsCancelStillRebuilds()
{
    const quint16 port = freeUdpPort();
    QVERIFY(port != 0);

    MainWindow window;
    comm_st &settings = MainWindowTestAccess::commSettings(window);
    QVERIFY(!settings.is_server);
    QCOMPARE(MainWindowTestAccess::udpSocket(window)->state(), QAbstractSocket::UnconnectedState);
    // The record changes behind the window's back; only a rebuild can act on it.
    settings.use_udp = true;
    settings.client_host = QStringLiteral("127.0.0.1");
    settings.client_port = QString::number(port);
    const comm_st before = settings;

    ModalAnswer<CCommDialog> answer([&](CCommDialog *dialog) {
        clickButton(dialog, "checkBox_useudp");
        QTest::mouseClick(widget<QPushButton>(dialog, "pushButton_cancel"), Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
    QTest::mouseClick(MainWindowTestAccess::settingsLabel(window), Qt::LeftButton);

    QVERIFY(answer.answered());
    QCOMPARE(describe(settings), describe(before));
    QUdpSocket *socket = MainWindowTestAccess::udpSocket(window);
    QCOMPARE(socket->state(), QAbstractSocket::BoundState);
    QCOMPARE(socket->localPort(), port);
    QCOMPARE(window.windowTitle(), QStringLiteral("Unknown - (%1)").arg(port));
    // Nothing was stored: the store stays as it was until exit.
    QSettings file(settingsFile(), QSettings::IniFormat);
    QVERIFY2(file.allKeys().isEmpty(), qPrintable(file.allKeys().join(',')));
}

ORVANE_TEST_MAIN(TestCommDialog)
#include "tst_commdialog.moc"
