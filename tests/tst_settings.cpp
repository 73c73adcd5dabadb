#include "mainwindow.h"
#include "mainwindowprobe.h"
#include "mylabel.h"
#include "testsupport.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

namespace {

const QStringList AllKeys = {
    "is_server",   "use_udp",     "serialport",  "server_host", "server_port",    "client_host",
    "client_port", "labelMeter1", "labelMeter2", "labelMeter3", "current_screen", "geometry",
};

QString settingsFile()
{
    return OrvaneTest::isolatedSettings().settingsFile();
}

QStringList captions(MainWindow &window)
{
    QStringList texts;
    for (int n = 1; n <= 3; ++n)
        texts << MainWindowTestAccess::caption(window, n)->text();
    return texts;
}

QString describe(const comm_st &r)
{
    return QStringLiteral("udp=%1 server=%2 serial=%3 shost=%4 sport=%5 chost=%6 cport=%7")
        .arg(r.use_udp)
        .arg(r.is_server)
        .arg(r.serialport, r.server_host, r.server_port, r.client_host, r.client_port);
}

comm_st makeRecord(bool useUdp, bool isServer, const QStringList &texts)
{
    comm_st r;
    r.use_udp = useUdp;
    r.is_server = isServer;
    r.serialport = texts.value(0);
    r.server_host = texts.value(1);
    r.server_port = texts.value(2);
    r.client_host = texts.value(3);
    r.client_port = texts.value(4);
    return r;
}

// What the store holds, key by key, as the file on disk says.
QMap<QString, QVariant> storedValues()
{
    QSettings file(settingsFile(), QSettings::IniFormat);
    file.setIniCodec("UTF-8");
    QMap<QString, QVariant> values;
    for (const QString &key : file.allKeys())
        values.insert(key, file.value(key));
    return values;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void emptyStoreGivesDefaults();
    void roundTripThroughTwoWindows_data();
    void roundTripThroughTwoWindows();
    void captionPresence_data();
    void captionPresence();
    void garbageFallsBack_data();
    void garbageFallsBack();
};

void TestSettings::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Vexo"));
    QCoreApplication::setApplicationName(QStringLiteral("Unknown"));
}

void TestSettings::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestSettings::emptyStoreGivesDefaults()
{
    QVERIFY(storedValues().isEmpty());
    {
        MainWindow window;
        // The constructor's server role is overwritten by the missing key.
        QCOMPARE(describe(MainWindowTestAccess::commSettings(window)),
                 describe(makeRecord(false, false, {})));
        QCOMPARE(captions(window), QStringList({ "Prog", "Sub", "CRM" }));
        QCOMPARE(window.pos(), QPoint(0, 0));
        QCOMPARE(window.size(), QSize(986, 580));
        // Nothing is written while the program merely runs.
        QVERIFY(storedValues().isEmpty());
    }

    // A normal end writes every key, the captions with their default texts.
    const QMap<QString, QVariant> stored = storedValues();
    QCOMPARE(QStringList(stored.keys()), [] {
        QStringList sorted = AllKeys;
        sorted.sort();
        return sorted;
    }());
    QCOMPARE(stored.value("is_server").toBool(), false);
    QCOMPARE(stored.value("use_udp").toBool(), false);
    QCOMPARE(stored.value("serialport").toString(), QString());
    QCOMPARE(stored.value("labelMeter1").toString(), QStringLiteral("Prog"));
    QCOMPARE(stored.value("labelMeter2").toString(), QStringLiteral("Sub"));
    QCOMPARE(stored.value("labelMeter3").toString(), QStringLiteral("CRM"));
    QCOMPARE(stored.value("current_screen").toInt(), 0);
    QVERIFY(!stored.value("geometry").toByteArray().isEmpty());
}

void TestSettings::roundTripThroughTwoWindows_data()
{
    QTest::addColumn<bool>("useUdp");
    QTest::addColumn<bool>("isServer");
    QTest::addColumn<QStringList>("texts"); // serialport, server host/port, client host/port
    QTest::addColumn<QStringList>("labels");
    // Without window decorations (offscreen) the toolkit pulls a window whose top is less than
    // a title bar's height below the screen's top down when it restores it: tops stay >= 20.
    // A restored window is no larger than the screens (offscreen: one of 800 x 600), or its
    // minimum size where that is larger.
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("serial only, server role kept")
        << false << true << QStringList({ "ttyNOTHERE", "127.0.0.1", "7000", "127.0.0.2", "7001" })
        << QStringList({ "Studio A", "Aux", "Control room" }) << QRect(40, 30, 986, 600);
    QTest::newRow("serial only, client role kept")
        << false << false << QStringList({ "ttyUSB9", "", "", "127.0.0.3", "" })
        << QStringList({ "Prog", "Sub", "CRM" }) << QRect(0, 24, 986, 580);
    QTest::newRow("udp client, port text kept as typed")
        << true << false << QStringList({ "", "", "", "127.0.0.1", "70000" })
        << QStringList({ "", "  spaced  ", "R\u00e9gie \u2713 [General] a=b;c \"q\" \\" })
        << QRect(120, 60, 986, 596);
    QTest::newRow("udp server") << true << true
                                << QStringList({ "ttyNOTHERE", "127.0.0.1", "0", "", "" })
                                << QStringList({ "One", "Two", "Three" })
                                << QRect(10, 20, 986, 590);
}

void TestSettings::roundTripThroughTwoWindows()
{
    QFETCH(bool, useUdp);
    QFETCH(bool, isServer);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, labels);
    QFETCH(QRect, geometry);

    const comm_st wanted = makeRecord(useUdp, isServer, texts);
    {
        MainWindow first;
        MainWindowTestAccess::commSettings(first) = wanted;
        for (int n = 1; n <= 3; ++n)
            MainWindowTestAccess::caption(first, n)->setText(labels.at(n - 1));
        first.setGeometry(geometry);
    }
    const QMap<QString, QVariant> written = storedValues();
    QCOMPARE(written.size(), 12);
    QCOMPARE(written.value("is_server").toBool(), isServer);
    QCOMPARE(written.value("client_port").toString(), texts.at(4));
    QCOMPARE(written.value("labelMeter3").toString(), labels.at(2));

    {
        MainWindow second;
        QCOMPARE(describe(MainWindowTestAccess::commSettings(second)), describe(wanted));
        QCOMPARE(captions(second), labels);
        QCOMPARE(second.geometry(), geometry);
    }
    // A run that changes nothing writes back what it read.
    QCOMPARE(storedValues(), written);
}

void TestSettings::captionPresence_data()
{
    QTest::addColumn<QStringList>("storedKeys");
    QTest::addColumn<QStringList>("storedTexts");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty caption 2 stays empty")
        << QStringList({ "labelMeter2" }) << QStringList({ "" })
        << QStringList({ "Prog", "", "CRM" });
    QTest::newRow("all three empty")
        << QStringList({ "labelMeter1", "labelMeter2", "labelMeter3" })
        << QStringList({ "", "", "" }) << QStringList({ "", "", "" });
    QTest::newRow("only caption 3 stored")
        << QStringList({ "labelMeter3" }) << QStringList({ "Studio" })
        << QStringList({ "Prog", "Sub", "Studio" });
    QTest::newRow("blank caption 1") << QStringList({ "labelMeter1" }) << QStringList({ " " })
                                     << QStringList({ " ", "Sub", "CRM" });
}

void TestSettings::captionPresence()
{
    QFETCH(QStringList, storedKeys);
    QFETCH(QStringList, storedTexts);
    QFETCH(QStringList, expected);

    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        for (int i = 0; i < storedKeys.size(); ++i)
            file.setValue(storedKeys.at(i), storedTexts.at(i));
    }
    {
        MainWindow window;
        QCOMPARE(captions(window), expected);
    }
    const QMap<QString, QVariant> stored = storedValues();
    for (int n = 1; n <= 3; ++n) {
        const QString key = QStringLiteral("labelMeter%1").arg(n);
        QVERIFY(stored.contains(key));
        QCOMPARE(stored.value(key).toString(), expected.at(n - 1));
    }
}

void TestSettings::garbageFallsBack_data()
{
    QTest::addColumn<QString>("key"); // empty: the file itself is replaced by the value
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("atOrigin");

    QTest::newRow("screen that is not a number") << "current_screen" << QVariant("second") << true;
    QTest::newRow("screen that does not exist") << "current_screen" << QVariant(7) << true;
    QTest::newRow("negative screen") << "current_screen" << QVariant(-3) << true;
    QTest::newRow("geometry of random bytes")
        << "geometry" << QVariant(QByteArray("\x01\xd9\xd0\xcb\xff\x00garbage", 13)) << true;
    QTest::newRow("geometry as plain text") << "geometry" << QVariant("hello") << true;
    QTest::newRow("geometry with a header only")
        << "geometry" << QVariant(QByteArray("\x01\xd9\xd0\xcb\x00\x03\x00\x00", 8)) << false;
    QTest::newRow("flag that is a word") << "use_udp" << QVariant("perhaps") << true;
    QTest::newRow("huge caption") << "labelMeter1" << QVariant(QString(200000, QLatin1Char('W')))
                                  << true;
    QTest::newRow("settings file of binary junk")
        << "" << QVariant(QByteArray("\x00\xff[\x01=\n\x80\x81\xfe=\\", 12)) << true;
}

void TestSettings::garbageFallsBack()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(bool, atOrigin);

    if (key.isEmpty()) {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(value.toByteArray());
    } else {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(key, value);
    }

    {
        MainWindow window;
        QCOMPARE(window.size(), QSize(986, 580));
        if (atOrigin)
            QCOMPARE(window.pos(), QPoint(0, 0));
        const QStringList shown = captions(window);
        if (key == QLatin1String("labelMeter1"))
            QCOMPARE(shown.at(0), value.toString());
        else
            QCOMPARE(shown.at(0), QStringLiteral("Prog"));
        QCOMPARE(shown.mid(1), QStringList({ "Sub", "CRM" }));
    }

    // At exit the store is whole again and usable by the next run.
    const QMap<QString, QVariant> stored = storedValues();
    for (const QString &k : AllKeys)
        QVERIFY2(stored.contains(k), qPrintable(k));
    QCOMPARE(stored.value("current_screen").toInt(), 0);
    if (key == QLatin1String("labelMeter1"))
        QCOMPARE(stored.value("labelMeter1").toString(), value.toString());
    QWidget probe;
    QVERIFY(probe.restoreGeometry(stored.value("geometry").toByteArray()));
}

ORVANE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
