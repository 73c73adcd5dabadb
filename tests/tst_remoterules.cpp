// The pure rules of remote access, one table each: routes, command bodies, the token, the
// origin, the allowed networks, the wrong-token limit, the [remote] group, the metrics text
// (through the real promtool) and the thinning of levels by maximum.

#include "dialogs/remotesettings.h"
#include "remote/accessrules.h"
#include "remote/alarmjournal.h"
#include "remote/leveldecimator.h"
#include "remote/metricstext.h"
#include "remote/remotecommand.h"
#include "remote/router.h"

#include "promtool.h"
#include "testsupport.h"

#include <QSettings>

Q_DECLARE_METATYPE(Router::Route)
Q_DECLARE_METATYPE(AlarmEvent)

class TestRemoteRules : public QObject
{
    Q_OBJECT

private slots:
    void routes_data();
    void routes();
    void commands_data();
    void commands();
    void bearer_data();
    void bearer();
    void origins_data();
    void origins();
    void hosts_data();
    void hosts();
    void networks_data();
    void networks();
    void wrongTokenLimit();
    void settingsGroup_data();
    void settingsGroup();
    void metrics_data();
    void metrics();
    void decimation_data();
    void decimation();
    void journal_data();
    void journal();
};

void TestRemoteRules::routes_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<Router::Route>("route");
    QTest::addColumn<QByteArray>("allow");
    QTest::newRow("page head") << QByteArray("HEAD") << QByteArray("/") << Router::Page
                               << QByteArray();
    QTest::newRow("status") << QByteArray("GET") << QByteArray("/api/v1/status") << Router::Status
                            << QByteArray();
    QTest::newRow("count down") << QByteArray("POST") << QByteArray("/api/v1/countdown")
                                << Router::CountDownStart << QByteArray();
    QTest::newRow("cancel") << QByteArray("DELETE") << QByteArray("/api/v1/countdown")
                            << Router::CountDownCancel << QByteArray();
    QTest::newRow("reset by GET") << QByteArray("GET") << QByteArray("/api/v1/reset")
                                  << Router::MethodNotAllowed << QByteArray("POST");
    QTest::newRow("count down by PUT") << QByteArray("PUT") << QByteArray("/api/v1/countdown")
                                       << Router::MethodNotAllowed << QByteArray("POST, DELETE");
    QTest::newRow("status by POST") << QByteArray("POST") << QByteArray("/api/v1/status")
                                    << Router::MethodNotAllowed << QByteArray("GET, HEAD");
    QTest::newRow("lower-case method") << QByteArray("get") << QByteArray("/metrics")
                                       << Router::MethodNotAllowed << QByteArray("GET, HEAD");
    QTest::newRow("trailing slash")
        << QByteArray("GET") << QByteArray("/metrics/") << Router::NotFound << QByteArray();
    QTest::newRow("dot segments") << QByteArray("GET") << QByteArray("/api/v1/../v1/status")
                                  << Router::NotFound << QByteArray();
    QTest::newRow("case") << QByteArray("GET") << QByteArray("/API/v1/status") << Router::NotFound
                          << QByteArray();
    QTest::newRow("empty") << QByteArray("GET") << QByteArray() << Router::NotFound
                           << QByteArray();
    QTest::newRow("NUL inside") << QByteArray("GET") << QByteArray("/metrics\0x", 10)
                                << Router::NotFound << QByteArray();
}

void TestRemoteRules::routes()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(Router::Route, route);
    QFETCH(QByteArray, allow);
    const Router::Match match = Router::route(method, path);
    QCOMPARE(match.route, route);
    QCOMPARE(match.allow, allow);
}

void TestRemoteRules::commands_data()
{
    QTest::addColumn<Router::Route>("route");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expect"); // a field's value, or a word of the error
    QTest::newRow("reset, no body")
        << Router::Reset << QByteArray() << int(RemoteCommand::Reset) << "";
    QTest::newRow("reset, member") << Router::Reset << QByteArray("{\"all\":1}")
                                   << int(RemoteCommand::None) << "unknown member \"all\"";
    QTest::newRow("count down 45") << Router::CountDownStart << QByteArray("{\"seconds\": 45}")
                                   << int(RemoteCommand::CountDown) << "45";
    QTest::newRow("count down, the last")
        << Router::CountDownStart << QByteArray() << int(RemoteCommand::CountDown) << "0";
    QTest::newRow("count down 0") << Router::CountDownStart << QByteArray("{\"seconds\": 0}")
                                  << int(RemoteCommand::None) << "whole number from 1";
    QTest::newRow("count down 1.5") << Router::CountDownStart << QByteArray("{\"seconds\": 1.5}")
                                    << int(RemoteCommand::None) << "whole number";
    QTest::newRow("count down a day")
        << Router::CountDownStart << QByteArray("{\"seconds\": 86400}") << int(RemoteCommand::None)
        << "86399";
    QTest::newRow("count down typo") << Router::CountDownStart << QByteArray("{\"second\": 10}")
                                     << int(RemoteCommand::None) << "unknown member \"second\"";
    QTest::newRow("cancel") << Router::CountDownCancel << QByteArray()
                            << int(RemoteCommand::CancelCountDown) << "";
    QTest::newRow("end off") << Router::EndTime << QByteArray("{\"mode\":\"off\"}")
                             << int(RemoteCommand::EndTime) << "off";
    QTest::newRow("end daily") << Router::EndTime
                               << QByteArray("{\"mode\":\"daily\",\"time\":\"18:59:50\"}")
                               << int(RemoteCommand::EndTime) << "18:59:50";
    QTest::newRow("end hourly") << Router::EndTime
                                << QByteArray("{\"mode\":\"hourly\",\"time\":\"59:50\"}")
                                << int(RemoteCommand::EndTime) << "00:59:50";
    QTest::newRow("end daily short")
        << Router::EndTime << QByteArray("{\"mode\":\"daily\",\"time\":\"7:5:3\"}")
        << int(RemoteCommand::None) << "hh:mm:ss";
    QTest::newRow("end hourly with hours")
        << Router::EndTime << QByteArray("{\"mode\":\"hourly\",\"time\":\"12:59:50\"}")
        << int(RemoteCommand::None) << "mm:ss";
    QTest::newRow("end off with time")
        << Router::EndTime << QByteArray("{\"mode\":\"off\",\"time\":\"59:50\"}")
        << int(RemoteCommand::None) << "only for";
    QTest::newRow("end weekly") << Router::EndTime << QByteArray("{\"mode\":\"weekly\"}")
                                << int(RemoteCommand::None) << "\"mode\" must be";
    QTest::newRow("end no mode") << Router::EndTime << QByteArray("{}") << int(RemoteCommand::None)
                                 << "\"mode\"";
    QTest::newRow("on air") << Router::OnAir << QByteArray("{\"on\": true}")
                            << int(RemoteCommand::OnAir) << "true";
    QTest::newRow("on air 1") << Router::OnAir << QByteArray("{\"on\": 1}")
                              << int(RemoteCommand::None) << "true or false";
    QTest::newRow("not JSON") << Router::OnAir << QByteArray("on=true") << int(RemoteCommand::None)
                              << "not JSON";
    QTest::newRow("an array") << Router::OnAir << QByteArray("[true]") << int(RemoteCommand::None)
                              << "not a JSON object";
    QTest::newRow("not a command")
        << Router::Status << QByteArray() << int(RemoteCommand::None) << "not a command";
}

void TestRemoteRules::commands()
{
    QFETCH(Router::Route, route);
    QFETCH(QByteArray, body);
    QFETCH(int, kind);
    QFETCH(QString, expect);
    QString error;
    const RemoteCommand command = RemoteCommand::parse(route, body, &error);
    QCOMPARE(int(command.kind), kind);
    switch (command.kind) {
    case RemoteCommand::None:
        QVERIFY2(error.contains(expect), qPrintable(error));
        return;
    case RemoteCommand::CountDown:
        QCOMPARE(QString::number(command.seconds), expect);
        break;
    case RemoteCommand::EndTime:
        QCOMPARE(command.endMode == ClockSettings::EndOff ? QStringLiteral("off")
                                                          : command.endTime.toString(),
                 expect);
        break;
    case RemoteCommand::OnAir:
        QCOMPARE(QVariant(command.on).toString(), expect);
        break;
    default:
        break;
    }
    // What the parser took, written back, reads as the same command.
    QCOMPARE(RemoteCommand::parse(route, command.toJson(), &error), command);
}

void TestRemoteRules::bearer_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("matches");
    const QByteArray token = "0123456789abcdefghijABCDEFGHIJ_-";
    QTest::newRow("right") << "Bearer " + token << true;
    QTest::newRow("scheme in lower case") << "bearer " + token << true;
    QTest::newRow("spaces around") << "  Bearer   " + token + "  " << true;
    QTest::newRow("no header") << QByteArray() << false;
    QTest::newRow("no scheme") << token << false;
    QTest::newRow("basic") << "Basic " + token << false;
    QTest::newRow("one character off") << "Bearer " + token.left(31) + "+" << false;
    QTest::newRow("a prefix") << "Bearer " + token.left(31) << false;
    QTest::newRow("longer") << "Bearer " + token + "x" << false;
    QTest::newRow("empty token") << QByteArray("Bearer ") << false;
}

void TestRemoteRules::bearer()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, matches);
    const QByteArray token = "0123456789abcdefghijABCDEFGHIJ_-";
    QCOMPARE(AccessRules::sameSecret(AccessRules::bearerToken(header), token), matches);
    // An empty secret matches nothing, not even an empty token.
    QVERIFY(!AccessRules::sameSecret(QByteArray(), QByteArray()));
}

void TestRemoteRules::origins_data()
{
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("same");
    QTest::newRow("no origin: no browser")
        << QByteArray() << QByteArray("10.0.0.5:8725") << false << true;
    QTest::newRow("own page") << QByteArray("http://10.0.0.5:8725") << QByteArray("10.0.0.5:8725")
                              << false << true;
    QTest::newRow("own name, case") << QByteArray("http://Studio3.local:8725")
                                    << QByteArray("studio3.local:8725") << false << true;
    QTest::newRow("https default port")
        << QByteArray("https://display") << QByteArray("display:443") << true << true;
    QTest::newRow("other host") << QByteArray("http://evil.example") << QByteArray("10.0.0.5:8725")
                                << false << false;
    QTest::newRow("other scheme") << QByteArray("https://10.0.0.5:8725")
                                  << QByteArray("10.0.0.5:8725") << false << false;
    QTest::newRow("null") << QByteArray("null") << QByteArray("10.0.0.5:8725") << false << false;
    QTest::newRow("with a path") << QByteArray("http://10.0.0.5:8725/x")
                                 << QByteArray("10.0.0.5:8725") << false << false;
    QTest::newRow("no host header")
        << QByteArray("http://10.0.0.5:8725") << QByteArray() << false << false;
    QTest::newRow("look-alike") << QByteArray("http://10.0.0.5:8725.evil.example")
                                << QByteArray("10.0.0.5:8725") << false << false;
}

void TestRemoteRules::origins()
{
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, host);
    QFETCH(bool, tls);
    QFETCH(bool, same);
    QCOMPARE(AccessRules::sameOrigin(origin, host, tls), same);
}

void TestRemoteRules::hosts_data()
{
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QString>("local"); // the address the client reached
    QTest::addColumn<bool>("own");
    QTest::newRow("loopback") << QByteArray("127.0.0.1:8725") << "127.0.0.1" << true;
    QTest::newRow("IPv6 loopback") << QByteArray("[::1]:8725") << "127.0.0.1" << true;
    QTest::newRow("the address reached") << QByteArray("192.168.1.20:8725") << "192.168.1.20"
                                         << true;
    QTest::newRow("reached on a dual-stack socket")
        << QByteArray("192.168.1.20") << "::ffff:192.168.1.20" << true;
    QTest::newRow("another machine") << QByteArray("192.168.1.21:8725") << "192.168.1.20"
                                     << false;
    QTest::newRow("localhost, case") << QByteArray("LocalHost:8725") << "127.0.0.1" << true;
    QTest::newRow("own name") << QByteArray("studio3:8725") << "192.168.1.20" << true;
    QTest::newRow("own full name, root dot")
        << QByteArray("Studio3.Plant.Example.:8725") << "192.168.1.20" << true;
    QTest::newRow("rebound name") << QByteArray("evil.example:8725") << "192.168.1.20" << false;
    QTest::newRow("own name inside another")
        << QByteArray("studio3.evil.example") << "192.168.1.20" << false;
    QTest::newRow("address inside a name")
        << QByteArray("127.0.0.1.evil.example") << "127.0.0.1" << false;
    QTest::newRow("user part") << QByteArray("studio3@evil.example") << "192.168.1.20" << false;
    QTest::newRow("none") << QByteArray() << "127.0.0.1" << false;
}

void TestRemoteRules::hosts()
{
    QFETCH(QByteArray, host);
    QFETCH(QString, local);
    QFETCH(bool, own);
    const QStringList names { "studio3", "studio3.plant.example", "studio3.local" };
    QCOMPARE(AccessRules::ownHost(host, QHostAddress(local), names), own);
}

void TestRemoteRules::networks_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("normalised"); // empty: refused, `why` holds a word of the reason
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("inside");
    QTest::addColumn<QString>("outside");
    QTest::newRow("one IPv4") << "192.168.10.0/24"
                              << "192.168.10.0/24"
                              << ""
                              << "192.168.10.77"
                              << "192.168.11.1";
    QTest::newRow("IPv4 client on IPv6") << "10.0.0.0/8"
                                         << "10.0.0.0/8"
                                         << ""
                                         << "::ffff:10.1.2.3"
                                         << "11.0.0.1";
    QTest::newRow("IPv6, shortened") << " fd00:10:0::/64 , 127.0.0.1/32"
                                     << "fd00:10::/64,127.0.0.1/32"
                                     << ""
                                     << "fd00:10::1234"
                                     << "fd00:11::1";
    QTest::newRow("empty: all") << ""
                                << ""
                                << ""
                                << "203.0.113.9"
                                << "";
    QTest::newRow("host bits") << "192.168.10.1/24"
                               << ""
                               << "192.168.10.0/24"
                               << ""
                               << "";
    QTest::newRow("no prefix") << "192.168.10.0"
                               << ""
                               << "prefix length"
                               << ""
                               << "";
    QTest::newRow("prefix too long") << "10.0.0.0/33"
                                     << ""
                                     << "0 to 32"
                                     << ""
                                     << "";
    QTest::newRow("short form") << "10/8"
                                << ""
                                << "not an IPv4 or IPv6"
                                << ""
                                << "";
    QTest::newRow("netmask") << "10.0.0.0/255.0.0.0"
                             << ""
                             << "prefix length"
                             << ""
                             << "";
    QTest::newRow("one bad of two") << "10.0.0.0/8, x"
                                    << ""
                                    << "prefix length"
                                    << ""
                                    << "";
}

void TestRemoteRules::networks()
{
    QFETCH(QString, list);
    QFETCH(QString, normalised);
    QFETCH(QString, why);
    QFETCH(QString, inside);
    QFETCH(QString, outside);
    QStringList result;
    QString reason;
    const bool good = RemoteSettings::checkNetworks(list, &result, &reason);
    QCOMPARE(good, why.isEmpty());
    if (!good) {
        QVERIFY2(reason.contains(why), qPrintable(reason));
        return;
    }
    QCOMPARE(result.join(QLatin1Char(',')), normalised);
    RemoteSettings settings;
    settings.allow = result;
    QVERIFY(AccessRules::allowed(settings.networks(), QHostAddress(inside)));
    if (!outside.isEmpty())
        QVERIFY(!AccessRules::allowed(settings.networks(), QHostAddress(outside)));
}

void TestRemoteRules::wrongTokenLimit()
{
    WrongTokenLimiter limiter;
    const QHostAddress a("192.0.2.1"), b("192.0.2.2");
    // Nine within a minute: not yet.
    for (int i = 0; i < 9; ++i)
        QVERIFY(!limiter.wrongToken(a, 1000 + i * 1000));
    QVERIFY(!limiter.blocked(a, 10000));
    // Spread over more than a minute, ten never block.
    for (int i = 0; i < 12; ++i)
        QVERIFY(!limiter.wrongToken(b, i * 7000));
    // The tenth within a minute blocks for a minute, that address alone.
    QVERIFY(limiter.wrongToken(a, 59000));
    QVERIFY(limiter.blocked(a, 59000 + 59999));
    QCOMPARE(limiter.retryAfterSeconds(a, 59000), 60);
    QVERIFY(!limiter.blocked(a, 59000 + 60000));
    QVERIFY(!limiter.blocked(b, 90000));
    // IPv6 by the /64: one host's many addresses count as one.
    for (int i = 0; i < 10; ++i)
        limiter.wrongToken(QHostAddress(QStringLiteral("2001:db8:1:2::%1").arg(i + 1)), 200000);
    QVERIFY(limiter.blocked(QHostAddress("2001:db8:1:2:ffff::1"), 200001));
    QVERIFY(!limiter.blocked(QHostAddress("2001:db8:1:3::1"), 200001));
    // A flood of addresses leaves the table bounded and a blocked address blocked.
    for (int i = 0; i < 3 * WrongTokenLimiter::MaxAddresses; ++i)
        limiter.wrongToken(QHostAddress(quint32(0x0A000000 + i)), 200002);
    QVERIFY(limiter.blocked(QHostAddress("2001:db8:1:2::1"), 200003));
}

void TestRemoteRules::settingsGroup_data()
{
    QTest::addColumn<QString>("group"); // lines of [remote]
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("fault");
    const QString token = QStringLiteral("token=0123456789abcdefghijABCDEFGHIJ_-\n");
    QTest::newRow("missing: off, no fault") << "" << false << "";
    QTest::newRow("on, loopback") << "enabled=true\nlisten=loopback\n" + token << true << "";
    QTest::newRow("on, all, two networks")
        << "enabled=true\nlisten=all\nport=9000\nallow=10.0.0.0/8, fd00::/8\n" + token << true
        << "";
    QTest::newRow("on, one interface")
        << "enabled=true\nlisten=192.168.1.20\n" + token << true << "";
    QTest::newRow("enabled yes") << "enabled=yes\nlisten=all\n" + token << false << "";
    QTest::newRow("listen missing") << "enabled=true\n" + token << false << "listen is missing";
    QTest::newRow("listen a name")
        << "enabled=true\nlisten=everywhere\n" + token << false << "listen:";
    QTest::newRow("port words") << "enabled=true\nlisten=all\nport=http\n" + token << false
                                << "port:";
    QTest::newRow("no token") << "enabled=true\nlisten=all\n" << false << "token:";
    QTest::newRow("short token") << "enabled=true\nlisten=all\ntoken=secret\n"
                                 << false << "token:";
    QTest::newRow("bad network") << "enabled=true\nlisten=all\nallow=10.0.0.1/8\n" + token << false
                                 << "allow:";
    QTest::newRow("key without cert")
        << "enabled=true\nlisten=all\ntls_key=/k.pem\n" + token << false << "certificate";
    QTest::newRow("read flag garbled")
        << "enabled=true\nlisten=all\nread_needs_token=1\n" + token << false << "read_needs_token";
}

void TestRemoteRules::settingsGroup()
{
    QFETCH(QString, group);
    QFETCH(bool, enabled);
    QFETCH(QString, fault);
    const QString path = OrvaneTest::isolatedSettings().path() + QStringLiteral("/remote.conf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("[remote]\n" + group).toUtf8());
    file.close();
    QSettings store(path, QSettings::IniFormat);
    const RemoteSettings read = RemoteSettings::read(store);
    QCOMPARE(read.enabled, enabled);
    QVERIFY2(fault.isEmpty() ? read.fault.isEmpty() : read.fault.contains(fault),
             qPrintable(read.fault));
    // Off never means listening anywhere but here.
    if (!read.enabled && group.contains(QLatin1String("listen=everywhere")))
        QCOMPARE(read.bindAddress(), QHostAddress(QHostAddress::LocalHost));
    // What is written reads back the same.
    if (read.enabled) {
        QSettings copy(path + QStringLiteral(".2"), QSettings::IniFormat);
        read.write(copy);
        copy.sync();
        QCOMPARE(RemoteSettings::read(copy), read);
        QVERIFY(copy.childGroups() == QStringList { QStringLiteral("remote") });
    }
}

void TestRemoteRules::metrics_data()
{
    QTest::addColumn<int>("variant");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("live") << 0 << QByteArray("orvane_link_state{state=\"live\"} 1");
    QTest::newRow("no data") << 1 << QByteArray("orvane_link_state{state=\"no_data\"} 1");
    QTest::newRow("no frame yet: no timestamp")
        << 1
        << QByteArray(
               "# TYPE orvane_link_last_frame_timestamp_seconds gauge\n# HELP orvane_frames");
    QTest::newRow("a frame: its time")
        << 0 << QByteArray("orvane_link_last_frame_timestamp_seconds 1700000000.5");
    QTest::newRow("level") << 0 << QByteArray("orvane_level_db{meter=\"CrmRight\"} -12.5");
    QTest::newRow("floor") << 1 << QByteArray("orvane_level_db{meter=\"CrmRight\"} -50");
    QTest::newRow("over latched") << 0 << QByteArray("orvane_over_latched{pair=\"sub\"} 1");
    QTest::newRow("count-down") << 0 << QByteArray("orvane_countdown_remaining_seconds 42");
    QTest::newRow("version escaped")
        << 2 << QByteArray("orvane_build_info{version=\"1.7\\\"x\\\\y\\n\"} 1");
    QTest::newRow("clock error in seconds")
        << 0 << QByteArray("orvane_clock_max_error_seconds 0.004");
}

void TestRemoteRules::metrics()
{
    QFETCH(int, variant);
    QFETCH(QByteArray, line);
    RemoteSnapshot s;
    s.version = variant == 2 ? QStringLiteral("1.7\"x\\y\n") : QStringLiteral("1.7.0");
    s.startedMs = 1700000000000;
    if (variant == 0) {
        s.link = RemoteSnapshot::Live;
        s.lastFrameMs = 1700000000500;
        s.meters[5].levelDb = -12.5;
        s.pairs[1].overLatched = true;
        s.countDown = RemoteSnapshot::CountDownRunning;
        s.countDownLeft = 42;
        s.clockMaxErrorS = 0.004;
    } else {
        s.link = RemoteSnapshot::NoData;
    }
    const QByteArray text = MetricsText::render(s);
    QVERIFY2(text.contains(line), text.constData());
    // Every variant passes Prometheus' own check.
    QByteArray said;
    QCOMPARE(OrvaneTest::promtoolCheck(text, &said), 0);
    QVERIFY2(said.trimmed().isEmpty(), said.constData());
}

void TestRemoteRules::decimation_data()
{
    // Frames "time:level" on the first meter; the events expected, "time:level".
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QString>("events");
    QTest::newRow("first frame at once") << "0:-20"
                                         << "0:-20";
    QTest::newRow("50 a second: every other, the higher of two")
        << "0:-20 20:-3 40:-30 60:-25 80:-40 100:-40"
        << "0:-20 40:-3 80:-25 120:-40";
    QTest::newRow("a one-frame peak inside a window survives")
        << "0:-30 5:-30 10:+4 15:-30 20:-30 25:-30 30:-30 35:-30 40:-30"
        << "0:-30 40:4";
    QTest::newRow("720 a second: 25 a second at most")
        << "0:-10 1:-9 2:-8 3:-7 39:-6 40:-11 41:-12 79:-13 80:-14"
        << "0:-10 40:-6 80:-12";
    QTest::newRow("after a pause: at once again") << "0:-10 10:-9 500:-8"
                                                  << "0:-10 40:-9 500:-8";
    QTest::newRow("resting: nothing") << ""
                                      << "";
}

void TestRemoteRules::decimation()
{
    QFETCH(QString, frames);
    QFETCH(QString, events);
    LevelDecimator decimator;
    QStringList got;
    double out[RemoteSnapshot::Meters];
    auto record = [&](qint64 at) { got.append(QStringLiteral("%1:%2").arg(at).arg(out[0])); };
    for (const QString &frame : frames.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const qint64 at = frame.section(QLatin1Char(':'), 0, 0).toLongLong();
        // The owner's wake at the window's end comes before a later frame.
        while (decimator.deadlineMs() >= 0 && decimator.deadlineMs() < at) {
            const qint64 wake = decimator.deadlineMs();
            if (decimator.flush(wake, out))
                record(wake);
        }
        double db[RemoteSnapshot::Meters] = {};
        db[0] = frame.section(QLatin1Char(':'), 1).toDouble();
        if (decimator.feed(db, at, out))
            record(at);
    }
    const qint64 last = decimator.deadlineMs();
    if (last >= 0 && decimator.flush(last, out))
        record(last);
    QCOMPARE(got.join(QLatin1Char(' ')), events);
}

void TestRemoteRules::journal_data()
{
    QTest::addColumn<AlarmEvent>("event");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("priority");
    QTest::newRow("silence raised")
        << AlarmEvent::silence(0, true, 0)
        << QByteArray("Silence raised on prog [Studio 3] ORVANE_EVENT=silence ORVANE_STATE=raised "
                      "ORVANE_PAIR=prog ORVANE_DISPLAY=Studio 3")
        << QByteArray("4");
    QTest::newRow("link back") << AlarmEvent::link(RemoteSnapshot::Live, "/dev/ttyUSB0", 0)
                               << QByteArray("ORVANE_EVENT=link ORVANE_STATE=live "
                                             "ORVANE_DETAIL=/dev/ttyUSB0")
                               << QByteArray("5");
    QTest::newRow("over") << AlarmEvent::over(2, 3, 0)
                          << QByteArray("Over latched on crm, 3 so far") << QByteArray("4");
}

void TestRemoteRules::journal()
{
    QFETCH(AlarmEvent, event);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, priority);
    const QByteArray written = AlarmJournal::line(event, QStringLiteral("Studio 3"));
    QVERIFY2(written.contains(line), written.constData());
    QVERIFY(written.endsWith('\n'));
    QVERIFY(event.journalFields(QStringLiteral("Studio 3")).contains({ "PRIORITY", priority }));
}

ORVANE_TEST_GUILESS_MAIN(TestRemoteRules)
#include "tst_remoterules.moc"
