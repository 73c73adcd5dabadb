#include "comm/distributionrules.h"
#include "dialogs/distributionsettings.h"
#include "testsupport.h"

#include <QSettings>

// The distribution's pure rules, one table each: the mode a settings file gives, the group and
// the unicast list as typed, which datagram a client takes, when it joins again, which server it
// follows, and what the dialog says about forwarding.

using namespace Distribution;

Q_DECLARE_METATYPE(Distribution::Mode)
Q_DECLARE_METATYPE(Distribution::Source)

class TestDistributionRules : public QObject
{
    Q_OBJECT

private slots:
    void modeFromStoredSettings_data();
    void modeFromStoredSettings();
    void recordReadsItsGroup();
    void groupFromText_data();
    void groupFromText();
    void unicastList_data();
    void unicastList();
    void acceptsBySenderAndDestination_data();
    void acceptsBySenderAndDestination();
    void rejoin_data();
    void rejoin();
    void backupSwitch_data();
    void backupSwitch();
    void heartbeat();
    void forwardingSummary_data();
    void forwardingSummary();
};

void TestDistributionRules::modeFromStoredSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<int>("ttl");

    QTest::newRow("first start") << QByteArray() << Mode::Multicast << 1;
    QTest::newRow("file from before the group keeps broadcast")
        << QByteArray("[General]\nis_server=true\nuse_udp=true\nserver_port=7000\n")
        << Mode::Broadcast << 1;
    QTest::newRow("only another group stored")
        << QByteArray("[display]\nstale_time=2\n") << Mode::Broadcast << 1;
    QTest::newRow("multicast, ttl 4")
        << QByteArray("[General]\nuse_udp=true\n[distribution]\nmode=multicast\nttl=4\n")
        << Mode::Multicast << 4;
    QTest::newRow("both") << QByteArray("[distribution]\nmode=both\n") << Mode::Both << 1;
    QTest::newRow("unicast") << QByteArray("[distribution]\nmode=unicast\n") << Mode::Unicast
                             << 1;
    QTest::newRow("unknown word in an old file")
        << QByteArray("[General]\nuse_udp=true\n[distribution]\nmode=anycast\nttl=0\n")
        << Mode::Broadcast << 1;
    QTest::newRow("ttl above 32") << QByteArray("[distribution]\nmode=multicast\nttl=33\n")
                                  << Mode::Multicast << 1;
    QTest::newRow("ttl not a number")
        << QByteArray("[distribution]\nmode=multicast\nttl=many\n") << Mode::Multicast << 1;
    QTest::newRow("ttl 32") << QByteArray("[distribution]\nmode=multicast\nttl=32\n")
                            << Mode::Multicast << 32;
}

void TestDistributionRules::modeFromStoredSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(Mode, mode);
    QFETCH(int, ttl);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stored.conf"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    QSettings settings(path, QSettings::IniFormat);
    const DistributionSettings read = DistributionSettings::read(settings);
    QCOMPARE(read.mode, mode);
    QCOMPARE(read.ttl, ttl);
}

void TestDistributionRules::recordReadsItsGroup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stored.conf"));
    DistributionSettings written;
    written.mode = Mode::Unicast;
    written.group = QStringLiteral("239.1.2.3");
    written.ttl = 7;
    written.unicast = QStringLiteral("10.0.0.5, 10.0.0.6:7001");
    written.backupHost = QStringLiteral("10.0.0.9");
    {
        QSettings settings(path, QSettings::IniFormat);
        written.write(settings);
    }
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.childKeys(), QStringList()); // nothing at the top level
    QCOMPARE(settings.childGroups(), QStringList { QStringLiteral("distribution") });
    QVERIFY(DistributionSettings::read(settings) == written);
}

void TestDistributionRules::groupFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("group"); // empty: refused

    QTest::newRow("default") << QStringLiteral("239.194.77.1") << "239.194.77.1";
    QTest::newRow("blanks around") << QStringLiteral(" 239.194.77.1 ") << "239.194.77.1";
    QTest::newRow("lowest routable") << QStringLiteral("224.0.1.0") << "224.0.1.0";
    QTest::newRow("highest") << QStringLiteral("239.255.255.255") << "239.255.255.255";
    QTest::newRow("local network control") << QStringLiteral("224.0.0.251") << "";
    QTest::newRow("unicast") << QStringLiteral("10.0.0.1") << "";
    QTest::newRow("broadcast") << QStringLiteral("255.255.255.255") << "";
    QTest::newRow("above the block") << QStringLiteral("240.0.0.1") << "";
    QTest::newRow("IPv6 group") << QStringLiteral("ff18::1") << "";
    QTest::newRow("short form") << QStringLiteral("239.1") << "";
    QTest::newRow("empty") << QString() << "";
}

void TestDistributionRules::groupFromText()
{
    QFETCH(QString, text);
    QFETCH(QString, group);
    const QHostAddress address = Distribution::groupFromText(text);
    if (group.isEmpty())
        QVERIFY2(address.isNull(), qPrintable(address.toString()));
    else
        QCOMPARE(address, QHostAddress(group));
}

void TestDistributionRules::unicastList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("targets"); // host:port each
    QTest::addColumn<QString>("error"); // a part of it; empty: none

    QTest::newRow("empty") << QString() << QStringList() << QString();
    QTest::newRow("one host, the server's port")
        << QStringLiteral("10.0.0.5") << QStringList { "10.0.0.5:7000" } << QString();
    QTest::newRow("hosts and ports, blanks")
        << QStringLiteral(" 10.0.0.5 ,10.0.0.6:7001") << QStringList { "10.0.0.5:7000", "10.0.0.6:7001" }
        << QString();
    QTest::newRow("same host, two ports")
        << QStringLiteral("10.0.0.5:7001,10.0.0.5:7002")
        << QStringList { "10.0.0.5:7001", "10.0.0.5:7002" } << QString();
    QTest::newRow("a name") << QStringLiteral("10.0.0.5, studio2") << QStringList()
                            << QStringLiteral("\"studio2\": not a numeric IPv4 address");
    QTest::newRow("port 0") << QStringLiteral("10.0.0.5:0") << QStringList()
                            << QStringLiteral("\"10.0.0.5:0\": no port");
    QTest::newRow("port not a number") << QStringLiteral("10.0.0.5:x") << QStringList()
                                       << QStringLiteral("no port");
    QTest::newRow("twice") << QStringLiteral("10.0.0.5, 10.0.0.5:7000") << QStringList()
                           << QStringLiteral("listed twice");
    QTest::newRow("a group") << QStringLiteral("239.194.77.1") << QStringList()
                             << QStringLiteral("not one host");
    QTest::newRow("broadcast") << QStringLiteral("255.255.255.255") << QStringList()
                               << QStringLiteral("not one host");
    QTest::newRow("empty entry") << QStringLiteral("10.0.0.5,,10.0.0.6") << QStringList()
                                 << QStringLiteral("an empty entry");
    QStringList sixteen, seventeen;
    QStringList sixteenTargets;
    for (int i = 1; i <= 17; ++i) {
        const QString host = QStringLiteral("10.0.0.%1").arg(i);
        if (i <= 16) {
            sixteen << host;
            sixteenTargets << host + QStringLiteral(":7000");
        }
        seventeen << host;
    }
    QTest::newRow("sixteen") << sixteen.join(',') << sixteenTargets << QString();
    QTest::newRow("seventeen") << seventeen.join(',') << QStringList()
                               << QStringLiteral("17 hosts; at most 16");
}

void TestDistributionRules::unicastList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, targets);
    QFETCH(QString, error);
    const TargetList list = unicastTargetsFromText(text, 7000);
    QStringList got;
    for (const Target &t : list.targets)
        got << QStringLiteral("%1:%2").arg(t.host.toString()).arg(t.port);
    QCOMPARE(got, targets);
    if (error.isEmpty())
        QCOMPARE(list.error, QString());
    else
        QVERIFY2(list.error.contains(error), qPrintable(list.error));
}

void TestDistributionRules::acceptsBySenderAndDestination_data()
{
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<int>("groupSilentMs");
    QTest::addColumn<Source>("source");
    QTest::addColumn<bool>("accepted");

    const QString main = QStringLiteral("10.77.0.1");
    const QString backup = QStringLiteral("10.77.0.2");
    const QString other = QStringLiteral("10.77.0.3");
    const QString group = QStringLiteral("239.194.77.1");
    const QString otherGroup = QStringLiteral("239.194.77.2");
    const QString bcast = QStringLiteral("255.255.255.255");
    const QString me = QStringLiteral("10.77.0.10");

    QTest::newRow("multicast: group from main") << Mode::Multicast << main << group << 0 << Source::Main << true;
    QTest::newRow("multicast: group from backup") << Mode::Multicast << backup << group << 0 << Source::Backup << true;
    QTest::newRow("multicast: group from another sender") << Mode::Multicast << other << group << 0 << Source::None << true;
    QTest::newRow("multicast: mapped sender") << Mode::Multicast << QStringLiteral("::ffff:10.77.0.1") << group << 0 << Source::Main << true;
    QTest::newRow("multicast: another group") << Mode::Multicast << main << otherGroup << 0 << Source::Main << false;
    QTest::newRow("multicast: broadcast") << Mode::Multicast << main << bcast << 99999 << Source::Main << false;
    QTest::newRow("multicast: sent to me alone") << Mode::Multicast << main << me << 0 << Source::Main << true;
    QTest::newRow("broadcast: broadcast") << Mode::Broadcast << main << bcast << 0 << Source::Main << true;
    QTest::newRow("broadcast: a group") << Mode::Broadcast << main << group << 0 << Source::Main << false;
    QTest::newRow("unicast: to me") << Mode::Unicast << main << me << 0 << Source::Main << true;
    QTest::newRow("both: group") << Mode::Both << main << group << 0 << Source::Main << true;
    QTest::newRow("both: broadcast while the group speaks") << Mode::Both << main << bcast << 999 << Source::Main << false;
    QTest::newRow("both: broadcast once the group is stale") << Mode::Both << main << bcast << 1000 << Source::Main << true;
}

void TestDistributionRules::acceptsBySenderAndDestination()
{
    QFETCH(Mode, mode);
    QFETCH(QString, sender);
    QFETCH(QString, destination);
    QFETCH(int, groupSilentMs);
    QFETCH(Source, source);
    QFETCH(bool, accepted);
    Listen listen;
    listen.mode = mode;
    if (mode == Mode::Multicast || mode == Mode::Both)
        listen.group = QHostAddress(QStringLiteral("239.194.77.1"));
    listen.server = QHostAddress(QStringLiteral("10.77.0.1"));
    listen.backup = QHostAddress(QStringLiteral("10.77.0.2"));
    QCOMPARE(sourceOf(listen, QHostAddress(sender)), source);
    QCOMPARE(acceptsDestination(listen, QHostAddress(destination), groupSilentMs, 1000), accepted);
}

void TestDistributionRules::rejoin_data()
{
    QTest::addColumn<qint64>("joinedAt");
    QTest::addColumn<qint64>("now");
    QTest::addColumn<qint64>("silentMs");
    QTest::addColumn<bool>("up");
    QTest::addColumn<bool>("due");

    QTest::newRow("30 s silent, a minute after the join") << qint64(0) << qint64(60000) << qint64(30000) << true << true;
    QTest::newRow("29.9 s silent") << qint64(0) << qint64(60000) << qint64(29999) << true << false;
    QTest::newRow("less than a minute after the join") << qint64(0) << qint64(59999) << qint64(59999) << true << false;
    QTest::newRow("interface down") << qint64(0) << qint64(90000) << qint64(90000) << false << false;
    QTest::newRow("long after") << qint64(1000) << qint64(500000) << qint64(400000) << true << true;
}

void TestDistributionRules::rejoin()
{
    QFETCH(qint64, joinedAt);
    QFETCH(qint64, now);
    QFETCH(qint64, silentMs);
    QFETCH(bool, up);
    QFETCH(bool, due);
    Rejoin rule;
    QVERIFY(!rule.due(now, silentMs, up)); // never joined: nothing to join again
    rule.joined(joinedAt);
    QCOMPARE(rule.due(now, silentMs, up), due);
}

void TestDistributionRules::backupSwitch_data()
{
    // Each server sends a frame every 250 ms within its ranges ("0-2000,5000-30000", in ms);
    // at each probe "t:F" the client follows F, M(ain) or B(ackup). Stale time 1 s.
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("backup");
    QTest::addColumn<QString>("probes");

    QTest::newRow("main alone") << "0-20000" << "" << "100:M 5000:M 20000:M";
    QTest::newRow("backup alone from the start") << "" << "0-5000" << "0:M 999:M 1000:B 5000:B";
    QTest::newRow("both quiet, the backup speaks first: the main keeps its place")
        << "0-2000,5250-9000" << "0-2000,5000-9000" << "5100:M 6000:M 9000:M";
    QTest::newRow("both quiet, only the backup comes back")
        << "0-2000" << "0-2000,5000-9000" << "5900:M 6000:B";
    // Asked long before any frame (a heartbeat came first): the wait starts with the frames.
    QTest::newRow("frames start late") << "20000-30000" << "20000-30000"
                                       << "5000:M 20000:M 25000:M";
    QTest::newRow("main stale, backup live: on the backup within the stale time")
        << "0-2000" << "0-20000" << "2000:M 2900:M 3000:B 10000:B";
    QTest::newRow("main back: 10 s live before returning")
        << "0-2000,5000-30000" << "0-30000" << "4000:B 14750:B 15000:M 20000:M";
    QTest::newRow("main back with a gap: the 10 s start again")
        << "0-2000,5000-9000,10500-30000" << "0-30000" << "14000:B 15500:B 20250:B 20500:M";
    QTest::newRow("backup gone while the main is back")
        << "0-2000,5000-30000" << "0-6000" << "5500:B 7000:M";
    QTest::newRow("both gone: the last one followed stays") << "0-2000" << "0-3000"
                                                            << "3500:B 10000:B";
}

void TestDistributionRules::backupSwitch()
{
    QFETCH(QString, main);
    QFETCH(QString, backup);
    QFETCH(QString, probes);
    QMultiMap<qint64, Source> frames;
    const auto add = [&frames](const QString &ranges, Source source) {
        for (const QString &range : ranges.split(',', Qt::SkipEmptyParts)) {
            const QStringList ends = range.split('-');
            for (qint64 t = ends[0].toLongLong(); t <= ends[1].toLongLong(); t += 250)
                frames.insert(t, source);
        }
    };
    add(main, Source::Main);
    add(backup, Source::Backup);

    BackupSwitch rule;
    rule.setStaleMs(1000);
    auto next = frames.constBegin();
    QStringList got, expected;
    for (const QString &probe : probes.split(' ')) {
        const qint64 t = probe.section(':', 0, 0).toLongLong();
        for (; next != frames.constEnd() && next.key() <= t; ++next) {
            const bool used = rule.frame(next.value(), next.key());
            // A frame is used exactly when it comes from the server followed.
            QCOMPARE(used, rule.following(next.key()) == next.value());
        }
        got << QStringLiteral("%1:%2").arg(t).arg(rule.following(t) == Source::Backup ? 'B' : 'M');
        expected << probe;
    }
    QCOMPARE(got, expected);
}

void TestDistributionRules::heartbeat()
{
    for (Heartbeat::ServerLink link : { Heartbeat::Live, Heartbeat::NoData, Heartbeat::NoLink }) {
        const QByteArray data = Heartbeat::make(link);
        QCOMPARE(data.size(), Heartbeat::Size);
        Heartbeat::ServerLink read = Heartbeat::Live;
        QVERIFY(Heartbeat::read(data.constData(), data.size(), &read));
        QCOMPARE(read, link);
        QVERIFY(!Heartbeat::read(data.constData(), data.size() - 1, &read));
        QByteArray wrong = data;
        wrong[0] = 'X';
        QVERIFY(!Heartbeat::read(wrong.constData(), wrong.size(), &read));
    }
    // Never taken for a level frame by a display that does not know it.
    QVERIFY(Heartbeat::Size != 16);
}

void TestDistributionRules::forwardingSummary_data()
{
    QTest::addColumn<bool>("useUdp");
    QTest::addColumn<bool>("isServer");
    QTest::addColumn<QString>("port");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("unicast");
    QTest::addColumn<QString>("summary");

    QTest::newRow("serial only") << false << false << "7000" << Mode::Multicast << QString()
                                 << "Does not forward: serial only.";
    QTest::newRow("client") << true << false << "7000" << Mode::Multicast << QString()
                            << "Does not forward: a client takes its frames from its server.";
    QTest::newRow("server, multicast")
        << true << true << "7000" << Mode::Multicast << QString()
        << "Forwards every serial frame: to group 239.194.77.1:7000 with TTL 1, from 10.77.0.1.";
    QTest::newRow("server role kept, UDP off, broadcast")
        << false << true << "7000" << Mode::Broadcast << QString()
        << "Forwards every serial frame (UDP is off, the server role kept): "
           "broadcast to 255.255.255.255:7000, from 10.77.0.1.";
    QTest::newRow("both") << true << true << "7000" << Mode::Both << QString()
                          << "Forwards every serial frame: broadcast to 255.255.255.255:7000 and "
                             "to group 239.194.77.1:7000 with TTL 1, from 10.77.0.1.";
    QTest::newRow("unicast") << true << true << "7000" << Mode::Unicast
                             << "10.0.0.1, 10.0.0.2:7001"
                             << "Forwards every serial frame: to 2 host(s) by unicast, from 10.77.0.1.";
    QTest::newRow("unicast, bad list")
        << true << true << "7000" << Mode::Unicast << "10.0.0.1, studio"
        << "Forwards every serial frame: to nobody (unicast list: \"studio\": not a numeric IPv4 "
           "address), from 10.77.0.1.";
    QTest::newRow("no port") << true << true << "" << Mode::Multicast << QString()
                             << "Forwards nothing: the server has no port.";
}

void TestDistributionRules::forwardingSummary()
{
    QFETCH(bool, useUdp);
    QFETCH(bool, isServer);
    QFETCH(QString, port);
    QFETCH(Mode, mode);
    QFETCH(QString, unicast);
    QFETCH(QString, summary);
    comm_st comm;
    comm.use_udp = useUdp;
    comm.is_server = isServer;
    comm.server_host = QStringLiteral("10.77.0.1");
    comm.server_port = port;
    DistributionSettings d;
    d.mode = mode;
    d.unicast = unicast;
    QCOMPARE(d.forwardingSummary(comm), summary);
}

ORVANE_TEST_GUILESS_MAIN(TestDistributionRules)

#include "tst_distributionrules.moc"
