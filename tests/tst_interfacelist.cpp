// Runs inside the namespace that netns_interfaces.sh prepares, with known addresses.

#include "dialogs/ccommdialog.h"
#include "testsupport.h"

#include <QComboBox>
#include <QNetworkInterface>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList entries(CCommDialog &dialog)
{
    auto *nic = dialog.findChild<QComboBox *>(QStringLiteral("comboBox_nic"));
    QStringList texts;
    for (int i = 0; nic && i < nic->count(); ++i)
        texts << nic->itemText(i);
    return texts;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestInterfaceList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void ownIPv4AddressesLoopbackLast();
    void newDialogOffersLiveInterface();
    void storedInterfaceIsSelected_data();
    void storedInterfaceIsSelected();
};

void TestInterfaceList::initTestCase()
{
    QVERIFY2(QNetworkInterface::interfaceFromName(QStringLiteral("orv0")).isValid(),
             "run through tests/netns_interfaces.sh");
}

void TestInterfaceList::ownIPv4AddressesLoopbackLast()
{
    QElapsedTimer clock;
    clock.start();
    CCommDialog dialog(nullptr, nullptr);
    // No name lookup: building the dialog never waits on a resolver.
    QVERIFY(clock.elapsed() < 1000);

    const QStringList list = entries(dialog);
    QCOMPARE(list.size(), 5);
    // Every interface's IPv4 addresses, the down one's too; IPv6 (short or long) is left out;
    // loopback comes last, even though lo is listed first.
    QCOMPARE(sorted(list.mid(0, 3)), QStringList({ "10.98.0.1", "10.99.0.2", "192.168.1.20" }));
    QCOMPARE(sorted(list.mid(3)), QStringList({ "127.0.0.1", "127.0.1.1" }));
}

// The down interface comes before the live ones in the kernel's order; the list puts it after
// them, so a new dialog and its OK offer an address that can carry the frames.
void TestInterfaceList::newDialogOffersLiveInterface()
{
    QVERIFY(!(QNetworkInterface::interfaceFromName(QStringLiteral("orv2")).flags()
              & QNetworkInterface::IsRunning));
    QVERIFY(QNetworkInterface::interfaceFromName(QStringLiteral("orv2")).index()
            < QNetworkInterface::interfaceFromName(QStringLiteral("orv0")).index());

    comm_st record;
    record.use_udp = true;
    record.is_server = true;
    record.server_port = QStringLiteral("5000");
    CCommDialog dialog(nullptr, &record);
    const QStringList list = entries(dialog);
    QCOMPARE(sorted(list.mid(0, 2)), QStringList({ "10.99.0.2", "192.168.1.20" }));
    QCOMPARE(list.value(2), QStringLiteral("10.98.0.1"));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_ok")),
                      Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY2(record.server_host == "10.99.0.2" || record.server_host == "192.168.1.20",
             qPrintable(record.server_host));
}

void TestInterfaceList::storedInterfaceIsSelected_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("listed");

    QTest::newRow("first interface") << "192.168.1.20" << true;
    QTest::newRow("second interface") << "10.99.0.2" << true;
    QTest::newRow("second loopback address") << "127.0.1.1" << true;
    QTest::newRow("address of a down interface") << "10.98.0.1" << true;
    QTest::newRow("short IPv6 address") << "2001:db8::1" << false;
    QTest::newRow("gone since it was stored") << "192.168.7.7" << false;
}

void TestInterfaceList::storedInterfaceIsSelected()
{
    QFETCH(QString, stored);
    QFETCH(bool, listed);

    comm_st record;
    record.use_udp = true;
    record.is_server = true;
    record.server_host = stored;
    record.server_port = QStringLiteral("5000");
    CCommDialog dialog(nullptr, &record);
    auto *nic = dialog.findChild<QComboBox *>(QStringLiteral("comboBox_nic"));
    const QString first = entries(dialog).value(0);
    QCOMPARE(nic->currentText(), listed ? stored : first);

    // OK without another choice leaves the stored address as it was, listed or not: an
    // interface unplugged for a while stays the operator's choice, and the header band says
    // that it is missing.
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("pushButton_ok")),
                      Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(record.server_host, stored);
}

ORVANE_TEST_MAIN(TestInterfaceList)
#include "tst_interfacelist.moc"
