// "Remote access…" as the operator uses it: the token made when the feature is first turned
// on, copied and renewed, a warning that names the wrong field, and the record written to the
// real settings store and read back.

#include "dialogs/cremotedialog.h"
#include "mainwindowprobe.h"
#include "modalanswer.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>

namespace {

template<typename T> T *widget(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

// Presses OK and returns the warning it raised, empty when there was none.
QString pressOk(CRemoteDialog &dialog)
{
    QString warning;
    ModalAnswer<QMessageBox> answer([&warning](QMessageBox *box) {
        warning = box->text();
        box->accept();
    });
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_ok"), Qt::LeftButton);
    return warning;
}

} // namespace

class TestRemoteDialog : public QObject
{
    Q_OBJECT

private slots:
    void tokenComesWithTheFirstTurnOn();
    void wrongFieldsAreNamed_data();
    void wrongFieldsAreNamed();
    void okStoresWhatReadsBack();
    void windowKeepsAFaultyGroupAndSaysSo();
};

void TestRemoteDialog::tokenComesWithTheFirstTurnOn()
{
    RemoteSettings record;
    CRemoteDialog dialog(nullptr, &record);
    auto *token = widget<QLineEdit>(&dialog, "lineEdit_token");
    QVERIFY(token->text().isEmpty());
    QVERIFY(token->isReadOnly());
    widget<QCheckBox>(&dialog, "checkBox_enabled")->setChecked(true);
    const QString first = token->text();
    QString why;
    QVERIFY2(RemoteSettings::checkToken(first, &why), qPrintable(why));
    QCOMPARE(QByteArray::fromBase64(first.toLatin1(), QByteArray::Base64UrlEncoding).size(),
             RemoteSettings::TokenBytes);

    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_copy"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), first);
    QTest::mouseClick(widget<QPushButton>(&dialog, "pushButton_new_token"), Qt::LeftButton);
    QVERIFY(token->text() != first);
    QVERIFY(RemoteSettings::checkToken(token->text(), &why));
    // Off and on again keeps the token the operator has handed out.
    const QString second = token->text();
    widget<QCheckBox>(&dialog, "checkBox_enabled")->setChecked(false);
    widget<QCheckBox>(&dialog, "checkBox_enabled")->setChecked(true);
    QCOMPARE(token->text(), second);
    // Shown URL for the loopback choice.
    QCOMPARE(widget<QLabel>(&dialog, "label_address")->text(),
             QStringLiteral("http://127.0.0.1:%1/").arg(RemoteSettings::DefaultPort));
}

void TestRemoteDialog::wrongFieldsAreNamed_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warning");
    QTest::newRow("port") << "lineEdit_port"
                          << "70000"
                          << "Port: \"70000\" is not a port";
    QTest::newRow("network with host bits")
        << "lineEdit_allow"
        << "10.1.2.3/8"
        << "Allowed networks: \"10.1.2.3/8\" has host bits set: "
           "the network is 10.0.0.0/8";
    QTest::newRow("network without prefix")
        << "lineEdit_allow"
        << "fd00::1"
        << "Allowed networks: \"fd00::1\" has no prefix length";
    QTest::newRow("webhook scheme")
        << "lineEdit_webhook_2"
        << "ftp://x.example/"
        << "Webhook 2: \"ftp://x.example/\" is not an http:// or https://";
    QTest::newRow("certificate alone") << "lineEdit_tls_cert"
                                       << "/etc/hostname"
                                       << "HTTPS: TLS needs a key file beside the certificate";
}

void TestRemoteDialog::wrongFieldsAreNamed()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, warning);
    RemoteSettings record;
    const RemoteSettings before = record;
    CRemoteDialog dialog(nullptr, &record);
    dialog.show();
    widget<QCheckBox>(&dialog, "checkBox_enabled")->setChecked(true);
    widget<QLineEdit>(&dialog, field.toLatin1().constData())->setText(text);
    const QString said = pressOk(dialog);
    QVERIFY2(said.startsWith(warning), qPrintable(said));
    QVERIFY(dialog.isVisible());
    QCOMPARE(record, before);
}

void TestRemoteDialog::okStoresWhatReadsBack()
{
    RemoteSettings record;
    CRemoteDialog dialog(nullptr, &record);
    dialog.show();
    widget<QCheckBox>(&dialog, "checkBox_enabled")->setChecked(true);
    widget<QRadioButton>(&dialog, "radioButton_all")->setChecked(true);
    widget<QLineEdit>(&dialog, "lineEdit_port")->setText(QStringLiteral("9000"));
    widget<QLineEdit>(&dialog, "lineEdit_allow")
        ->setText(QStringLiteral(" 192.168.10.0/24,fd00:10:0::/64"));
    widget<QLineEdit>(&dialog, "lineEdit_webhook_1")
        ->setText(QStringLiteral("https://alerts.example/hook"));
    widget<QCheckBox>(&dialog, "checkBox_read_needs_token")->setChecked(true);
    const QString token = widget<QLineEdit>(&dialog, "lineEdit_token")->text();
    QCOMPARE(pressOk(dialog), QString());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    {
        QSettings store;
        record.write(store);
    }
    QSettings store;
    const RemoteSettings read = RemoteSettings::read(store);
    QVERIFY2(read.fault.isEmpty(), qPrintable(read.fault));
    QVERIFY(read.enabled);
    QCOMPARE(read.listen, RemoteSettings::All);
    QCOMPARE(read.port, quint16(9000));
    QCOMPARE(read.token, token);
    QVERIFY(read.readNeedsToken);
    QCOMPARE(read.allow, QStringList({ "192.168.10.0/24", "fd00:10::/64" }));
    QCOMPARE(read.webhooks, QStringList { "https://alerts.example/hook" });
    // In its own group: the twelve top-level keys stay as they were.
    QCOMPARE(store.childGroups(), QStringList { "remote" });
    QVERIFY(store.childKeys().isEmpty());
}

void TestRemoteDialog::windowKeepsAFaultyGroupAndSaysSo()
{
    const QString file = OrvaneTest::isolatedSettings().settingsFile();
    {
        QSettings store(file, QSettings::IniFormat);
        store.clear();
        store.setValue(QStringLiteral("remote/enabled"), true);
        store.setValue(QStringLiteral("remote/listen"), QStringLiteral("eth9"));
        store.setValue(QStringLiteral("remote/token"), QString(32, QLatin1Char('t')));
    }
    MainWindow window;
    auto *problem = window.findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem);
    // After the hint of a display with no port chosen.
    QVERIFY2(problem->text().endsWith(QStringLiteral(" - remote access off")),
             qPrintable(problem->text()));
    // Stored again (a caption edited, the end of the program), the group stays as the operator
    // wrote it, for the operator to mend; it is still read as off.
    MainWindowTestAccess::writeSettings(window);
    QSettings store(file, QSettings::IniFormat);
    QCOMPARE(store.value(QStringLiteral("remote/listen")).toString(), QStringLiteral("eth9"));
    const RemoteSettings read = RemoteSettings::read(store);
    QVERIFY(!read.enabled);
    QVERIFY(read.fault.contains(QStringLiteral("eth9")));
}

ORVANE_TEST_MAIN(TestRemoteDialog)
#include "tst_remotedialog.moc"
