#include "correlation.h"
#include "feedoptions.h"
#include "feedsignal.h"
#include "testsupport.h"

#include <QNetworkAddressEntry>

#include <algorithm>
#include <cmath>

using namespace Feed;

namespace {

constexpr double FrameRate = 50.0;

// The levels a channel sends over `seconds` at 50 frames a second.
QVector<double> run(SignalSource &source, double seconds)
{
    QVector<double> levels;
    for (int i = 0; i < int(seconds * FrameRate); ++i)
        levels.append(source.levelAt(i / FrameRate));
    return levels;
}

QVector<double> programme(ProgrammeStyle style, double peak, quint32 seed, int channel,
                          double seconds)
{
    SignalPlan plan;
    plan.shape = Shape::Programme;
    plan.style = style;
    plan.peak = peak;
    SignalSource source(plan, sharedSeedFor(seed, channel), ownSeedFor(seed, channel));
    return run(source, seconds);
}

// Stretches of at least `minSeconds` in which the level stays at or below `quietDb`.
int pauses(const QVector<double> &levels, double quietDb, double minSeconds)
{
    int found = 0;
    int run = 0;
    for (double level : levels) {
        if (level <= quietDb) {
            if (++run == int(minSeconds * FrameRate))
                ++found;
        } else {
            run = 0;
        }
    }
    return found;
}

double percentile(QVector<double> levels, double fraction)
{
    std::sort(levels.begin(), levels.end());
    return levels[int(fraction * (levels.size() - 1))];
}

QNetworkAddressEntry networkOf(const char *address, int prefix, const char *broadcast)
{
    QNetworkAddressEntry entry;
    entry.setIp(QHostAddress(QString::fromLatin1(address)));
    entry.setPrefixLength(prefix);
    entry.setBroadcast(QHostAddress(QString::fromLatin1(broadcast)));
    return entry;
}

QStringList commandLine(const QString &arguments)
{
    return QStringList(QStringLiteral("orvane-feed"))
        + arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestFeedCore : public QObject
{
    Q_OBJECT

private slots:
    void signalLevels_data();
    void signalLevels();
    void badSignals_data();
    void badSignals();
    void channelAssignments_data();
    void channelAssignments();

    void programmeStaysInItsRange_data();
    void programmeStaysInItsRange();
    void programmeIsRepeatable();
    void speechPausesMusicFlows_data();
    void speechPausesMusicFlows();
    void mixTakesTurns();
    void stereoPairMovesTogether_data();
    void stereoPairMovesTogether();

    void sendCommandLines_data();
    void sendCommandLines();
    void laterChannelWins();
    void monitorCommandLines_data();
    void monitorCommandLines();
    void badCommandLines_data();
    void badCommandLines();
    void helpCoversEverything();

    void broadcastAddresses_data();
    void broadcastAddresses();
};

void TestFeedCore::signalLevels_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("expected");

    QTest::newRow("bare level") << "-20" << 0.0 << -20.0;
    QTest::newRow("bare level keeps") << "-20" << 3600.0 << -20.0;
    QTest::newRow("const with dB suffix") << "const:-12.5dB" << 7.0 << -12.5;
    QTest::newRow("top of the frame's range") << "15.535" << 1.0 << 15.535;
    QTest::newRow("bottom of the frame's range") << "const:-50" << 1.0 << -50.0;
    QTest::newRow("ramp starts at FROM") << "ramp:-40:0:2s" << 0.0 << -40.0;
    QTest::newRow("ramp half way") << "ramp:-40:0:2s" << 1.0 << -20.0;
    QTest::newRow("ramp starts again after its time") << "ramp:-40:0:2s" << 2.0 << -40.0;
    QTest::newRow("ramp on a frame boundary") << "ramp:-40:0:0.2s" << 30 / 50.0 << -40.0;
    QTest::newRow("ramp downwards") << "ramp:0:-40:500ms" << 0.25 << -20.0;
    QTest::newRow("ramp over minutes") << "ramp:-50:10:1m" << 30.0 << -20.0;
    QTest::newRow("sine starts low") << "sine:-40:0:4s" << 0.0 << -40.0;
    QTest::newRow("sine after a quarter") << "sine:-40:0:4s" << 1.0 << -20.0;
    QTest::newRow("sine high after half") << "sine:-40:0:4s" << 2.0 << 0.0;
    QTest::newRow("sine after three quarters") << "sine:-40:0:4s" << 3.0 << -20.0;
    QTest::newRow("sine back low after a cycle") << "sine:-40:0:4s" << 8.0 << -40.0;
    QTest::newRow("steps first") << "steps:-30,-20,-10:0.2s" << 0.0 << -30.0;
    QTest::newRow("steps second") << "steps:-30,-20,-10:0.2s" << 0.3 << -20.0;
    QTest::newRow("steps third on a frame boundary")
        << "steps:-30,-20,-10:0.2s" << 20 / 50.0 << -10.0;
    QTest::newRow("steps round again on a frame boundary")
        << "steps:-30,-20,-10:0.2s" << 30 / 50.0 << -30.0;
    QTest::newRow("steps in milliseconds") << "steps:0,-6:250ms" << 0.26 << -6.0;
    QTest::newRow("a single step") << "steps:-7:1s" << 5.5 << -7.0;
}

void TestFeedCore::signalLevels()
{
    QFETCH(QString, signal);
    QFETCH(double, seconds);
    QFETCH(double, expected);

    QString error;
    const std::optional<SignalPlan> plan = parseSignal(signal, &error);
    QVERIFY2(plan, qPrintable(error));
    SignalSource source(*plan, 1, 2);
    const double level = source.levelAt(seconds);
    QVERIFY2(std::abs(level - expected) < 1e-9,
             qPrintable(QStringLiteral("%1 dB, expected %2 dB").arg(level).arg(expected)));
}

void TestFeedCore::badSignals_data()
{
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("level above the frame's range") << "25"
                                                   << "out of range";
    QTest::newRow("level below the frame's range") << "const:-50.5"
                                                   << "out of range";
    QTest::newRow("ramp end out of range") << "ramp:-40:16:1s"
                                           << "out of range";
    QTest::newRow("ramp without its time") << "ramp:-40:0"
                                           << "ramp:FROM:TO:TIME";
    QTest::newRow("sine with a field too many") << "sine:-40:0:1s:3"
                                                << "sine:LOW:HIGH:TIME";
    QTest::newRow("zero time") << "sine:-40:0:0s"
                               << "longer than zero";
    QTest::newRow("negative time") << "ramp:-40:0:-1s"
                                   << "not a time";
    QTest::newRow("time without a number") << "steps:-10:abc"
                                           << "not a time";
    QTest::newRow("time in hours") << "steps:-10:1h"
                                   << "not a time";
    QTest::newRow("no steps") << "steps::1s"
                              << "steps:LEVEL";
    QTest::newRow("a step that is no level") << "steps:-10,x:1s"
                                             << "not a level";
    QTest::newRow("const without level") << "const"
                                         << "const:LEVEL";
    QTest::newRow("programme peak out of range") << "programme:music:20"
                                                 << "out of range";
    QTest::newRow("programme field too many") << "programme:music:-3:9"
                                              << "programme[";
    QTest::newRow("programme style unknown") << "prog:jazz"
                                             << "not a level";
    QTest::newRow("unknown shape") << "square:-10:0:1s"
                                   << "unknown signal";
    QTest::newRow("a word") << "loud"
                            << "unknown signal";
    QTest::newRow("not a number") << "nan"
                                  << "not a level";
    QTest::newRow("nothing") << ""
                             << "unknown signal";
}

void TestFeedCore::badSignals()
{
    QFETCH(QString, signal);
    QFETCH(QString, complaint);

    QString error;
    QVERIFY(!parseSignal(signal, &error));
    QVERIFY2(error.contains(complaint), qPrintable(error));
}

void TestFeedCore::channelAssignments_data()
{
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QVector<int>>("channels");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("one channel") << "1=-20" << QVector<int> { 0 } << QString();
    QTest::newRow("last channel") << "6=-20" << QVector<int> { 5 } << QString();
    QTest::newRow("all") << "all=prog" << QVector<int> { 0, 1, 2, 3, 4, 5 } << QString();
    QTest::newRow("programme pair") << "prog=-3" << QVector<int> { 0, 1 } << QString();
    QTest::newRow("two pairs") << "sub,crm=-3" << QVector<int> { 2, 3, 4, 5 } << QString();
    QTest::newRow("list and range") << "1,3-4=-3" << QVector<int> { 0, 2, 3 } << QString();
    QTest::newRow("overlaps counted once")
        << "1-3,2,prog=-3" << QVector<int> { 0, 1, 2 } << QString();
    QTest::newRow("names in capitals") << "CRM=-3" << QVector<int> { 4, 5 } << QString();
    QTest::newRow("channel 7") << "7=-20" << QVector<int>() << "no channel '7'";
    QTest::newRow("channel 0") << "0=-20" << QVector<int>() << "no channel '0'";
    QTest::newRow("range backwards") << "4-2=-20" << QVector<int>() << "no channel '4-2'";
    QTest::newRow("no channel") << "=-20" << QVector<int>() << "no channel ''";
    QTest::newRow("no equals sign") << "1:-20" << QVector<int>() << "CHANNELS=SIGNAL";
    QTest::newRow("bad signal") << "1=-70" << QVector<int>() << "out of range";
}

void TestFeedCore::channelAssignments()
{
    QFETCH(QString, assignment);
    QFETCH(QVector<int>, channels);
    QFETCH(QString, complaint);

    QVector<int> found;
    SignalPlan plan;
    QString error;
    const bool ok = parseChannelAssignment(assignment, &found, &plan, &error);
    if (complaint.isEmpty()) {
        QVERIFY2(ok, qPrintable(error));
        QCOMPARE(found, channels);
    } else {
        QVERIFY(!ok);
        QVERIFY2(error.contains(complaint), qPrintable(error));
    }
}

void TestFeedCore::programmeStaysInItsRange_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<double>("peak");
    QTest::addColumn<quint32>("seed");

    QTest::newRow("speech at -2 dB") << int(ProgrammeStyle::Speech) << -2.0 << 1u;
    QTest::newRow("speech at -10 dB") << int(ProgrammeStyle::Speech) << -10.0 << 2u;
    QTest::newRow("music at -2 dB") << int(ProgrammeStyle::Music) << -2.0 << 3u;
    QTest::newRow("music at +4 dB") << int(ProgrammeStyle::Music) << 4.0 << 4u;
    QTest::newRow("mix at -2 dB") << int(ProgrammeStyle::Mix) << -2.0 << 5u;
    QTest::newRow("mix at -6 dB") << int(ProgrammeStyle::Mix) << -6.0 << 6u;
}

// A minute of programme: never above its peak nor below the scale, close to the peak now and
// then, mostly some dB below it, and spread over several dB, so that the meter visibly moves.
void TestFeedCore::programmeStaysInItsRange()
{
    QFETCH(int, style);
    QFETCH(double, peak);
    QFETCH(quint32, seed);

    for (int channel = 0; channel < 6; ++channel) {
        const QVector<double> levels = programme(ProgrammeStyle(style), peak, seed, channel, 60.0);
        const auto [low, high] = std::minmax_element(levels.begin(), levels.end());
        QVERIFY2(*low >= MinLevelDb, qPrintable(QString::number(*low)));
        QVERIFY2(*high <= peak, qPrintable(QString::number(*high)));
        QVERIFY2(*high >= peak - 1.5, qPrintable(QString::number(*high)));
        QVERIFY2(percentile(levels, 0.5) <= peak - 4.0,
                 qPrintable(QString::number(percentile(levels, 0.5))));
        const double spread = percentile(levels, 0.9) - percentile(levels, 0.1);
        QVERIFY2(spread >= 5.0, qPrintable(QString::number(spread)));
    }
}

void TestFeedCore::programmeIsRepeatable()
{
    const QVector<double> first = programme(ProgrammeStyle::Mix, -2.0, 42, 3, 30.0);
    QCOMPARE(programme(ProgrammeStyle::Mix, -2.0, 42, 3, 30.0), first);

    const QVector<double> other = programme(ProgrammeStyle::Mix, -2.0, 43, 3, 30.0);
    int differing = 0;
    for (int i = 0; i < first.size(); ++i)
        differing += std::abs(first[i] - other[i]) > 0.5 ? 1 : 0;
    QVERIFY2(differing > first.size() / 2, qPrintable(QString::number(differing)));
}

void TestFeedCore::speechPausesMusicFlows_data()
{
    QTest::addColumn<quint32>("seed");

    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 7") << 7u;
    QTest::newRow("seed 1234567") << 1234567u;
}

// Speech falls silent between phrases, several times a minute; a song plays on without a
// break for at least its first half minute.
void TestFeedCore::speechPausesMusicFlows()
{
    QFETCH(quint32, seed);

    const QVector<double> speech = programme(ProgrammeStyle::Speech, -2.0, seed, 0, 60.0);
    QVERIFY2(pauses(speech, -40.0, 0.25) >= 8,
             qPrintable(QString::number(pauses(speech, -40.0, 0.25))));

    const QVector<double> music = programme(ProgrammeStyle::Music, -2.0, seed, 0, 30.0);
    QCOMPARE(pauses(music, -40.0, 0.1), 0);
    QVERIFY(*std::min_element(music.begin(), music.end()) > -30.0);
}

// Talk and music take turns: within two minutes both a pause and a long unbroken stretch.
void TestFeedCore::mixTakesTurns()
{
    const QVector<double> mix = programme(ProgrammeStyle::Mix, -2.0, 9, 0, 120.0);
    QVERIFY(pauses(mix, -40.0, 0.25) >= 3);

    int longest = 0;
    int current = 0;
    for (double level : mix) {
        current = level > -30.0 ? current + 1 : 0;
        longest = std::max(longest, current);
    }
    QVERIFY2(longest >= int(10 * FrameRate), qPrintable(QString::number(longest / FrameRate)));
}

void TestFeedCore::stereoPairMovesTogether_data()
{
    QTest::addColumn<int>("style");

    QTest::newRow("speech") << int(ProgrammeStyle::Speech);
    QTest::newRow("music") << int(ProgrammeStyle::Music);
    QTest::newRow("mix") << int(ProgrammeStyle::Mix);
}

// The two sides of a pair follow the same programme with small differences; another pair
// plays a programme of its own.
void TestFeedCore::stereoPairMovesTogether()
{
    QFETCH(int, style);

    const quint32 seed = 11;
    const QVector<double> left = programme(ProgrammeStyle(style), -2.0, seed, 2, 60.0);
    const QVector<double> right = programme(ProgrammeStyle(style), -2.0, seed, 3, 60.0);
    const QVector<double> otherPair = programme(ProgrammeStyle(style), -2.0, seed, 4, 60.0);

    QVERIFY2(correlation(left, right) > 0.9,
             qPrintable(QString::number(correlation(left, right))));
    QVERIFY2(correlation(left, otherPair) < 0.6,
             qPrintable(QString::number(correlation(left, otherPair))));
    int apart = 0;
    for (int i = 0; i < left.size(); ++i)
        apart += std::abs(left[i] - right[i]) > 0.2 ? 1 : 0;
    QVERIFY2(apart > left.size() / 4, qPrintable(QString::number(apart)));
}

void TestFeedCore::sendCommandLines_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<double>("rate");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<double>("duration");
    QTest::addColumn<bool>("broadcast");

    QTest::newRow("serial with defaults") << "--serial /dev/ttyUSB0"
                                          << "/dev/ttyUSB0"
                                          << "" << 0 << 50.0 << qint64(-1) << -1.0 << false;
    QTest::newRow("serial at the line's limit") << "--serial /dev/ttyS1 --rate 720"
                                                << "/dev/ttyS1"
                                                << "" << 0 << 720.0 << qint64(-1) << -1.0 << false;
    QTest::newRow("udp with count and rate")
        << "--udp 127.0.0.1:7000 --rate 25 --count 10"
        << ""
        << "127.0.0.1" << 7000 << 25.0 << qint64(10) << -1.0 << false;
    QTest::newRow("udp at a thousand a second")
        << "--udp 127.0.0.1:7000 --rate 1000"
        << ""
        << "127.0.0.1" << 7000 << 1000.0 << qint64(-1) << -1.0 << false;
    QTest::newRow("explicit send, host name, duration")
        << "send --udp localhost:65535 --duration 1.5m"
        << ""
        << "localhost" << 65535 << 50.0 << qint64(-1) << 90.0 << false;
    QTest::newRow("IPv6 in brackets") << "--udp [::1]:7000 --duration 500ms --rate 0.5"
                                      << ""
                                      << "::1" << 7000 << 0.5 << qint64(-1) << 0.5 << false;
    QTest::newRow("broadcast allowed")
        << "--udp 255.255.255.255:7000 --broadcast"
        << ""
        << "255.255.255.255" << 7000 << 50.0 << qint64(-1) << -1.0 << true;
}

void TestFeedCore::sendCommandLines()
{
    QFETCH(QString, arguments);
    QFETCH(QString, device);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(double, rate);
    QFETCH(qint64, count);
    QFETCH(double, duration);
    QFETCH(bool, broadcast);

    const Command command = parseCommandLine(commandLine(arguments));
    QVERIFY2(command.kind == Command::Send, qPrintable(command.message));
    QCOMPARE(command.send.serialDevice, device);
    QCOMPARE(command.send.host, host);
    QCOMPARE(int(command.send.port), port);
    QCOMPARE(command.send.rate, rate);
    QCOMPARE(command.send.count, count);
    QCOMPARE(command.send.duration, duration);
    QCOMPARE(command.send.broadcast, broadcast);
    // Meters without a signal of their own play a programme.
    for (const SignalPlan &plan : command.send.channels)
        QVERIFY(plan.shape == Shape::Programme && plan.style == ProgrammeStyle::Mix);
}

void TestFeedCore::laterChannelWins()
{
    const Command command = parseCommandLine(commandLine(
        "--serial /dev/ttyS0 --channel all=-20 --channel 2,crm=sine:-40:0:1s --channel 6=-3"));
    QVERIFY2(command.kind == Command::Send, qPrintable(command.message));
    const QVector<Shape> shapes = { Shape::Constant, Shape::Sine, Shape::Constant,
                                    Shape::Constant, Shape::Sine, Shape::Constant };
    const QVector<double> lows = { -20.0, -40.0, -20.0, -20.0, -40.0, -3.0 };
    for (int channel = 0; channel < 6; ++channel) {
        QCOMPARE(command.send.channels[size_t(channel)].shape, shapes[channel]);
        QCOMPARE(command.send.channels[size_t(channel)].low, lows[channel]);
    }
}

void TestFeedCore::monitorCommandLines_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("every");
    QTest::addColumn<qint64>("count");

    QTest::newRow("serial") << "monitor --serial /dev/ttyUSB0"
                            << "/dev/ttyUSB0" << 0 << "" << 1 << qint64(-1);
    QTest::newRow("serial, one line a second")
        << "monitor --serial /dev/ttyS0 --every 50 --count 500"
        << "/dev/ttyS0" << 0 << "" << 50 << qint64(500);
    QTest::newRow("udp from a server") << "monitor --udp-listen 7000 --from 10.0.0.1"
                                       << "" << 7000 << "10.0.0.1" << 1 << qint64(-1);
    QTest::newRow("udp, summary only") << "monitor --udp-listen 1 --every 0"
                                       << "" << 1 << "" << 0 << qint64(-1);
}

void TestFeedCore::monitorCommandLines()
{
    QFETCH(QString, arguments);
    QFETCH(QString, device);
    QFETCH(int, port);
    QFETCH(QString, from);
    QFETCH(int, every);
    QFETCH(qint64, count);

    const Command command = parseCommandLine(commandLine(arguments));
    QVERIFY2(command.kind == Command::Monitor, qPrintable(command.message));
    QCOMPARE(command.monitor.serialDevice, device);
    QCOMPARE(int(command.monitor.listenPort), port);
    QCOMPARE(command.monitor.from, from);
    QCOMPARE(command.monitor.every, every);
    QCOMPARE(command.monitor.count, count);
}

void TestFeedCore::badCommandLines_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("nowhere to send") << "--count 5"
                                     << "say where to send";
    QTest::newRow("two destinations") << "--serial /dev/ttyS0 --udp 127.0.0.1:7000"
                                      << "not both";
    QTest::newRow("udp without port") << "--udp 127.0.0.1"
                                      << "HOST:PORT";
    QTest::newRow("udp port 0") << "--udp 127.0.0.1:0"
                                << "1 to 65535";
    QTest::newRow("udp port 70000") << "--udp 127.0.0.1:70000"
                                    << "1 to 65535";
    QTest::newRow("udp port not a number") << "--udp 127.0.0.1:http"
                                           << "1 to 65535";
    QTest::newRow("IPv4 octet out of range") << "--udp 300.1.2.3:7000"
                                             << "not a host";
    QTest::newRow("IPv4 with five parts") << "--udp 1.2.3.4.5:7000"
                                          << "not a host";
    QTest::newRow("host with an underscore") << "--udp my_host:7000"
                                             << "not a host";
    QTest::newRow("IPv6 without brackets") << "--udp ::1:7000"
                                           << "HOST:PORT";
    QTest::newRow("brackets around IPv4") << "--udp [127.0.0.1]:7000"
                                          << "not an IPv6";
    QTest::newRow("broadcast flag on serial") << "--serial /dev/ttyS0 --broadcast"
                                              << "--broadcast goes with --udp";
    QTest::newRow("source on serial") << "--serial /dev/ttyS0 --source 127.0.0.1"
                                      << "--source goes with --udp";
    QTest::newRow("source as a name") << "--udp 127.0.0.1:7000 --source myhost"
                                      << "numeric local address";
    QTest::newRow("rate 0") << "--udp 127.0.0.1:7000 --rate 0"
                            << "0.1 to 1000";
    QTest::newRow("rate above a thousand") << "--udp 127.0.0.1:7000 --rate 1001"
                                           << "0.1 to 1000";
    QTest::newRow("rate a word") << "--udp 127.0.0.1:7000 --rate fast"
                                 << "0.1 to 1000";
    QTest::newRow("rate beyond the serial line") << "--serial /dev/ttyS0 --rate 721"
                                                 << "at most 720";
    QTest::newRow("count 0") << "--udp 127.0.0.1:7000 --count 0"
                             << "1 or more";
    QTest::newRow("count negative") << "--udp 127.0.0.1:7000 --count -3"
                                    << "1 or more";
    QTest::newRow("duration 0") << "--udp 127.0.0.1:7000 --duration 0s"
                                << "longer than zero";
    QTest::newRow("duration a word") << "--udp 127.0.0.1:7000 --duration soon"
                                     << "not a time";
    QTest::newRow("level out of range") << "--udp 127.0.0.1:7000 --channel 1=16"
                                        << "out of range";
    QTest::newRow("channel out of range") << "--udp 127.0.0.1:7000 --channel 9=-10"
                                          << "no channel '9'";
    QTest::newRow("every negative") << "--udp 127.0.0.1:7000 --every -1"
                                    << "0 or more";
    QTest::newRow("seed negative") << "--udp 127.0.0.1:7000 --seed -1"
                                   << "--seed";
    QTest::newRow("unknown option") << "--udp 127.0.0.1:7000 --loud"
                                    << "Unknown option";
    QTest::newRow("stray word") << "--udp 127.0.0.1:7000 now"
                                << "unexpected argument 'now'";
    QTest::newRow("monitor option when sending") << "--udp-listen 7000"
                                                 << "Unknown option";
    QTest::newRow("monitor of nothing") << "monitor"
                                        << "say what to monitor";
    QTest::newRow("monitor of two") << "monitor --serial /dev/ttyS0 --udp-listen 7000"
                                    << "not both";
    QTest::newRow("monitor port 0") << "monitor --udp-listen 0"
                                    << "1 to 65535";
    QTest::newRow("monitor from on serial") << "monitor --serial /dev/ttyS0 --from 10.0.0.1"
                                            << "--from goes with --udp-listen";
    QTest::newRow("monitor from a bad address") << "monitor --udp-listen 7000 --from 1.2.3.456"
                                                << "not a host";
    QTest::newRow("send option when monitoring") << "monitor --udp-listen 7000 --rate 5"
                                                 << "Unknown option";
}

void TestFeedCore::badCommandLines()
{
    QFETCH(QString, arguments);
    QFETCH(QString, complaint);

    const Command command = parseCommandLine(commandLine(arguments));
    QCOMPARE(command.kind, Command::Error);
    QVERIFY2(command.message.contains(complaint), qPrintable(command.message));
}

// Every option both modes accept, every signal shape and the frame appear in the help, and no
// line is wider than a terminal of 100 columns.
void TestFeedCore::helpCoversEverything()
{
    const Command command = parseCommandLine(commandLine("--help"));
    QCOMPARE(command.kind, Command::Help);
    QCOMPARE(parseCommandLine(commandLine("monitor -h")).kind, Command::Help);
    QCOMPARE(parseCommandLine(commandLine("--version")).kind, Command::Version);

    const QString help = command.message;
    for (const char *word :
         { "--serial",  "--udp ",     "--broadcast", "--source", "--rate",  "--duration",
           "--count",   "--channel",  "--seed",      "--every",  "--quiet", "--udp-listen",
           "--from",    "monitor",    "ramp:",       "sine:",    "steps:",  "const:",
           "programme", "speech",     "music",       "mix",      "AA AA",   "55 55",
           "dialout",   "Exit status" })
        QVERIFY2(help.contains(QLatin1String(word)), word);
    for (const QString &line : help.split(QLatin1Char('\n')))
        QVERIFY2(line.size() < 100, qPrintable(line));
}

void TestFeedCore::broadcastAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("onLocalNetwork");
    QTest::addColumn<bool>("broadcast");

    QTest::newRow("limited broadcast") << "255.255.255.255" << false << true;
    QTest::newRow("broadcast of a local network") << "192.168.1.255" << true << true;
    QTest::newRow("same address, network not here") << "192.168.1.255" << false << false;
    QTest::newRow("host on a local network") << "192.168.1.20" << true << false;
    QTest::newRow("loopback") << "127.0.0.1" << true << false;
    QTest::newRow("IPv6 loopback") << "::1" << true << false;
}

void TestFeedCore::broadcastAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, onLocalNetwork);
    QFETCH(bool, broadcast);

    QList<QNetworkAddressEntry> interfaces = { networkOf("127.0.0.1", 8, "") };
    if (onLocalNetwork)
        interfaces.append(networkOf("192.168.1.20", 24, "192.168.1.255"));
    QCOMPARE(isBroadcastAddress(QHostAddress(address), interfaces), broadcast);
}

ORVANE_TEST_GUILESS_MAIN(TestFeedCore)

#include "tst_feedcore.moc"
