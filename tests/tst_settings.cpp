#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "mainwindowprobe.h"
#include "storedsettings.h"
#include "testsupport.h"
#include "widgets/mylabel.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QtTest>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What the header says beside the lamp while no input was ever chosen, as on these tests'
// windows.
const QString NoPortHint = QStringLiteral("choose a port: gear or right-click");

const QStringList AllKeys = {
    "is_server",   "use_udp",     "serialport",  "server_host", "server_port",    "client_host",
    "client_port", "labelMeter1", "labelMeter2", "labelMeter3", "current_screen", "geometry",
};

QStringList captions(MainWindow &window)
{
    QStringList texts;
    for (int n = 1; n <= 3; ++n)
        texts << MainWindowTestAccess::caption(window, n)->text();
    return texts;
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
    void flagFromValue_data();
    void flagFromValue();
    void handWrittenFileReadAsMeant_data();
    void handWrittenFileReadAsMeant();
    void geometryKeptWithinScreens_data();
    void geometryKeptWithinScreens();
    void lockedStoreNeverStopsTheDisplay_data();
    void lockedStoreNeverStopsTheDisplay();
    void unusableFileIsNotOpened_data();
    void unusableFileIsNotOpened();
    void failedWriteIsShown();
    void editsMadeElsewhereSurvive();
};

void TestSettings::initTestCase()
{
    useProgramIdentity();
}

// What a test put in the store's place goes before the next one begins.
void TestSettings::init()
{
    emptySettingsStore();
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
        QVERIFY(writeSettingsFile(value.toByteArray()));
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

void TestSettings::flagFromValue_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("flag");

    QTest::newRow("true as written") << QVariant(QStringLiteral("true")) << true;
    QTest::newRow("false as written") << QVariant(QStringLiteral("false")) << false;
    QTest::newRow("bool true") << QVariant(true) << true;
    QTest::newRow("bool false") << QVariant(false) << false;
    QTest::newRow("yes") << QVariant(QStringLiteral("yes")) << false;
    QTest::newRow("one") << QVariant(QStringLiteral("1")) << false;
    QTest::newRow("capitals") << QVariant(QStringLiteral("TRUE")) << false;
    QTest::newRow("with a space") << QVariant(QStringLiteral("true ")) << false;
    QTest::newRow("rectangle") << QVariant(QRect(1, 2, 3, 4)) << false;
    QTest::newRow("list") << QVariant(QStringList({ "true", "true" })) << false;
    QTest::newRow("garbage") << QVariant(QStringLiteral("\x1\x2z")) << false;
    QTest::newRow("missing") << QVariant() << false;
}

void TestSettings::flagFromValue()
{
    QFETCH(QVariant, value);
    QFETCH(bool, flag);
    QCOMPARE(SettingsStore::flagFromValue(value), flag);
}

void TestSettings::handWrittenFileReadAsMeant_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("meant"); // flags: "true" or "false"

    QTest::newRow("raw UTF-8 caption") << QByteArray("labelMeter1=Pr\xc3\xb6g \xe2\x82\xac")
                                       << "labelMeter1" << QStringLiteral("Pr\u00f6g \u20ac");
    QTest::newRow("caption with an unquoted comma")
        << QByteArray("labelMeter2=Studio, Left") << "labelMeter2"
        << QStringLiteral("Studio, Left");
    // Characters beyond the basic plane, each kind as a hand writes it: the next start shows
    // them, and the file written back holds them still.
    QTest::newRow("raw UTF-8 caption with an emoji")
        << QByteArray("labelMeter1=\xc3\x89t\xc3\xa9 \xf0\x9f\x8e\xa4") << "labelMeter1"
        << QString::fromUtf8("\xc3\x89t\xc3\xa9 \xf0\x9f\x8e\xa4");
    QTest::newRow("raw UTF-8 caption with a musical symbol")
        << QByteArray("labelMeter2=\xf0\x9d\x84\x9e Strings") << "labelMeter2"
        << QString::fromUtf8("\xf0\x9d\x84\x9e Strings");
    QTest::newRow("raw UTF-8 caption with an ideograph of the second plane")
        << QByteArray("labelMeter3=\xf0\xa0\x9c\x8e") << "labelMeter3"
        << QString::fromUtf8("\xf0\xa0\x9c\x8e");
    QTest::newRow("caption as earlier versions stored it")
        << QByteArray("labelMeter3=Pr\\xf6g \\x20ac") << "labelMeter3"
        << QStringLiteral("Pr\u00f6g \u20ac");
    QTest::newRow("quoted caption")
        << QByteArray("labelMeter1=\"a, b\"") << "labelMeter1" << QStringLiteral("a, b");
    QTest::newRow("server flag true") << QByteArray("is_server=true") << "is_server"
                                      << "true";
    QTest::newRow("server flag yes") << QByteArray("is_server=yes") << "is_server"
                                     << "false";
    QTest::newRow("server flag 1") << QByteArray("is_server=1") << "is_server"
                                   << "false";
    QTest::newRow("server flag rectangle") << QByteArray("is_server=@Rect(1 2 3 4)") << "is_server"
                                           << "false";
    QTest::newRow("server flag garbage") << QByteArray("is_server=\x01zz") << "is_server"
                                         << "false";
    QTest::newRow("udp flag yes") << QByteArray("use_udp=yes") << "use_udp"
                                  << "false";
    QTest::newRow("udp flag true") << QByteArray("use_udp=true") << "use_udp"
                                   << "true";
    QTest::newRow("client port with a comma")
        << QByteArray("client_port=7000,7001") << "client_port" << QStringLiteral("7000, 7001");
}

// A file as a person writes it with an editor; after the program has stored it back, the
// next start reads the same again.
void TestSettings::handWrittenFileReadAsMeant()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, key);
    QFETCH(QString, meant);

    const auto shown = [&key](MainWindow &window) {
        const comm_st &r = MainWindowTestAccess::commSettings(window);
        if (key == QLatin1String("is_server"))
            return QString::fromLatin1(r.is_server ? "true" : "false");
        if (key == QLatin1String("use_udp"))
            return QString::fromLatin1(r.use_udp ? "true" : "false");
        if (key == QLatin1String("client_port"))
            return r.client_port;
        return MainWindowTestAccess::caption(window, key.right(1).toInt())->text();
    };
    QVERIFY(writeSettingsFile("[General]\n" + line + "\n"));

    {
        MainWindow window;
        QCOMPARE(shown(window), meant);
    }
    {
        MainWindow window;
        QCOMPARE(shown(window), meant);
    }
    if (key.startsWith(QLatin1String("label"))) {
        // A caption the program did not change keeps the person's spelling, read as meant.
        QCOMPARE(SettingsStore::textFromValue(storedValues().value(key)), meant);
        // The file itself, not what this process keeps of it.
        QVERIFY2(settingsFileBytes().contains(meant.toUtf8()), settingsFileBytes().constData());
    }
}

void TestSettings::geometryKeptWithinScreens_data()
{
    QTest::addColumn<QRect>("stored");

    QTest::newRow("100000 square") << QRect(0, 30, 100000, 100000);
    QTest::newRow("16384 square") << QRect(0, 30, 16384, 16384);
    QTest::newRow("wide") << QRect(20, 30, 40000, 600);
    QTest::newRow("far outside") << QRect(-90000, 90000, 1000, 600);
}

// A stored geometry larger than every screen would make each start scale the pictures to it.
void TestSettings::geometryKeptWithinScreens()
{
    QFETCH(QRect, stored);

    QByteArray block;
    {
        QWidget probe;
        probe.setGeometry(stored);
        block = probe.saveGeometry();
    }
    {
        QSettings file(settingsFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("geometry"), block);
    }
    QRect desktop;
    for (const QScreen *screen : QGuiApplication::screens())
        desktop |= screen->availableGeometry();

    MainWindow window;
    QVERIFY2(window.width() <= qMax(desktop.width(), window.minimumWidth()),
             qPrintable(QString::number(window.width())));
    QVERIFY2(window.height() <= qMax(desktop.height(), window.minimumHeight()),
             qPrintable(QString::number(window.height())));
    QVERIFY(window.frameGeometry().intersects(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!MainWindowTestAccess::scaledBackground(window)->isNull());
    QVERIFY(MainWindowTestAccess::scaledEmptyBackground(window)->width() <= desktop.width() * 2);
}

void TestSettings::lockedStoreNeverStopsTheDisplay_data()
{
    QTest::addColumn<QByteArray>("lock"); // empty: a folder where the lock would go

    QTest::newRow("folder in the lock's place") << QByteArray();
    // QSettings waits until such a lock is thirty seconds old.
    QTest::newRow("fresh lock of another host") << QByteArray("4242\nUnknown\nfar-away-host\n");
}

// A write that cannot take the lock says so at once, keeps the display running and is done
// by itself once the lock has gone.
void TestSettings::lockedStoreNeverStopsTheDisplay()
{
    QFETCH(QByteArray, lock);

    const QString lockPath = settingsFile() + QStringLiteral(".lock");
    MainWindow window;
    QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).path()));
    if (lock.isEmpty()) {
        QVERIFY(QDir().mkdir(lockPath));
    } else {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lock);
    }
    MainWindowTestAccess::caption(window, 2)->setText(QStringLiteral("Kept later"));

    QElapsedTimer clock;
    clock.start();
    MainWindowTestAccess::writeSettings(window);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    const QLabel *problem = window.findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem);
    QVERIFY(!problem->isHidden());
    // A first start: no port chosen yet, which the header says first.
    QCOMPARE(problem->text(), NoPortHint + QStringLiteral(" - settings locked, not saved"));
    QVERIFY(MainWindowTestAccess::releaseTimer(window)->isActive());
    QVERIFY(storedValues().isEmpty());

    QVERIFY(lock.isEmpty() ? QDir(lockPath).removeRecursively() : QFile::remove(lockPath));
    QTRY_COMPARE_WITH_TIMEOUT(problem->text(), NoPortHint, 10000);
    QCOMPARE(storedValues().value(QStringLiteral("labelMeter2")).toString(),
             QStringLiteral("Kept later"));
    QCOMPARE(storedValues().size(), 12);
}

void TestSettings::unusableFileIsNotOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("said");

    QTest::newRow("FIFO") << "fifo"
                          << "settings file unusable";
    QTest::newRow("folder") << "folder"
                            << "settings file unusable";
    QTest::newRow("link to a device") << "device"
                                      << "settings file unusable";
    QTest::newRow("unreadable file") << "unreadable"
                                     << "settings file unreadable";
}

namespace {

// Root reads a file of mode 000; without these two capabilities it reads as its owner would.
class FilePermissionsApply
{
public:
    FilePermissionsApply()
    {
        ::syscall(SYS_capget, &header, saved);
        __user_cap_data_struct without[2] = { saved[0], saved[1] };
        without[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header, without);
    }
    ~FilePermissionsApply() { ::syscall(SYS_capset, &header, saved); }

private:
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved[2] {};
};

} // namespace

// Opening a FIFO waits for a writer that never comes. Such a file is left alone: the window
// comes up with the defaults, says why, and does not replace it.
void TestSettings::unusableFileIsNotOpened()
{
    QFETCH(QString, kind);
    QFETCH(QString, said);

    QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).path()));
    const QByteArray path = QFile::encodeName(settingsFile());
    const QByteArray written("[General]\nlabelMeter1=Kept\n");
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(settingsFile()));
    else if (kind == QLatin1String("device"))
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), settingsFile()));
    else
        QVERIFY(writeSettingsFile(written) && ::chmod(path.constData(), 0) == 0);

    {
        FilePermissionsApply asOwner;
        MainWindow window;
        QCOMPARE(describe(MainWindowTestAccess::commSettings(window)),
                 describe(makeRecord(false, false, {})));
        QCOMPARE(captions(window), QStringList({ "Prog", "Sub", "CRM" }));
        const QLabel *problem = window.findChild<QLabel *>(QStringLiteral("label_problem"));
        QVERIFY(problem);
        QCOMPARE(problem->text(), NoPortHint + QStringLiteral(" - ") + said);
        QCOMPARE(problem->textFormat(), Qt::PlainText);
        MainWindowTestAccess::writeSettings(window);
    }
    struct stat info = {};
    QCOMPARE(::lstat(path.constData(), &info), 0);
    if (kind == QLatin1String("fifo"))
        QVERIFY(S_ISFIFO(info.st_mode));
    else if (kind == QLatin1String("folder"))
        QVERIFY(S_ISDIR(info.st_mode));
    else if (kind == QLatin1String("device"))
        QVERIFY(S_ISLNK(info.st_mode));
    else {
        QVERIFY(S_ISREG(info.st_mode) && (info.st_mode & 0777) == 0);
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), written);
    }
}

// A store that cannot be written (here its folder is a file; a full disk or a read-only
// folder fail the same way) is reported on the window, which keeps running.
void TestSettings::failedWriteIsShown()
{
    const QString folder = QFileInfo(settingsFile()).path();
    QDir(folder).removeRecursively();
    {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    MainWindow window;
    MainWindowTestAccess::writeSettings(window);
    const QLabel *problem = window.findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem);
    QVERIFY(!problem->isHidden());
    QCOMPARE(problem->text(), NoPortHint + QStringLiteral(" - settings not saved"));
    QVERIFY(MainWindowTestAccess::releaseTimer(window)->isActive());

    // Once the store can take them, the settings are kept and the message goes.
    QVERIFY(QFile::remove(folder));
    QTRY_COMPARE_WITH_TIMEOUT(problem->text(), NoPortHint, 10000);
    QCOMPARE(storedValues().size(), 12);
}

// Another program, or another instance, edits the file while the window runs. What the window
// stores afterwards, at once and at its end, replaces only what it changed itself.
void TestSettings::editsMadeElsewhereSurvive()
{
    {
        MainWindow window;
        QVERIFY(writeSettingsFile("[General]\nlabelMeter1=Edited elsewhere\n"
                                  "[display]\nstale_time=2.5\n"));
        MainWindowTestAccess::caption(window, 2)->setText(QStringLiteral("Changed here"));
        MainWindowTestAccess::writeSettings(window);
    }
    QSettings file(settingsFile(), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("labelMeter1")).toString(),
             QStringLiteral("Edited elsewhere"));
    QCOMPARE(file.value(QStringLiteral("display/stale_time")).toString(), QStringLiteral("2.5"));
    QCOMPARE(file.value(QStringLiteral("labelMeter2")).toString(), QStringLiteral("Changed here"));
    for (const QString &key : AllKeys)
        QVERIFY2(file.contains(key), qPrintable(key));
}

ORVANE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
