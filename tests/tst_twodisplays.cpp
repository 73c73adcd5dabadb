#include "levelframe.h"
#include "mainwindow.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QNetworkInterface>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

// Two displays on two hosts joined by one cable (netns/twohosts.sh): the real program runs as
// the server in the other namespace and reads a serial line; this test is the client display
// and must follow every frame written to that line.

namespace {

const char *const ServerAddress = "10.99.0.1";
const char *const ClientAddress = "10.99.0.2";
const char *const Port = "47100";

QByteArray frameOf(unsigned short first, unsigned short step)
{
    unsigned short raw[LevelFrame::Channels];
    for (int i = 0; i < LevelFrame::Channels; ++i)
        raw[i] = static_cast<unsigned short>(first + i * step);
    return LevelFrame::encode(raw);
}

QVector<double> levelsIn(const QByteArray &frame)
{
    QVector<double> levels;
    for (int i = 0; i < LevelFrame::Channels; ++i)
        levels.append(
            LevelFrame::levelDb(reinterpret_cast<const unsigned char *>(frame.constData()), i));
    return levels;
}

// Only loopback and the cable to the server: then nothing sent here can reach a real network.
bool onCableOnly()
{
    int cables = 0;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (interface.type() == QNetworkInterface::Loopback)
            continue;
        const QList<QNetworkAddressEntry> entries = interface.addressEntries();
        if (entries.size() != 1
            || entries.first().ip() != QHostAddress(QString::fromLatin1(ClientAddress)))
            return false;
        ++cables;
    }
    return cables == 1;
}

} // namespace

class TestTwoDisplays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void clientFollowsServer();

private:
    QVector<double> clientLevels() const;

    PtyPair line;
    QTemporaryDir serverConfig;
    QProcess server;
    std::unique_ptr<MainWindow> client;
};

void TestTwoDisplays::initTestCase()
{
    const QString serverNamespace = qEnvironmentVariable("ORVANE_SERVER_NETNS");
    if (serverNamespace.isEmpty() || !onCableOnly())
        QFAIL("run this test through netns/twohosts.sh, as root");
    QVERIFY2(line.start(), qPrintable(line.error()));

    // The server display's own settings store: a server on the cable's address, reading the
    // test's serial line.
    QVERIFY(serverConfig.isValid());
    {
        QSettings settings(serverConfig.filePath(QStringLiteral("Vexo/Unknown.conf")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("is_server"), true);
        settings.setValue(QStringLiteral("use_udp"), true);
        settings.setValue(QStringLiteral("serialport"), line.programEnd());
        settings.setValue(QStringLiteral("server_host"), QString::fromLatin1(ServerAddress));
        settings.setValue(QStringLiteral("server_port"), QString::fromLatin1(Port));
        settings.sync();
        QCOMPARE(settings.status(), QSettings::NoError);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), serverConfig.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    server.setProcessEnvironment(environment);
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    server.start(QStringLiteral("ip"),
                 { QStringLiteral("netns"), QStringLiteral("exec"), serverNamespace,
                   QStringLiteral(ORVANE_METERS_BINARY) });
    QVERIFY2(server.waitForStarted(5000), qPrintable(server.errorString()));

    client = std::make_unique<MainWindow>();
    comm_st &settings = MainWindowTestAccess::commSettings(*client);
    settings.use_udp = true;
    settings.is_server = false;
    settings.client_host = QString::fromLatin1(ServerAddress);
    settings.client_port = QString::fromLatin1(Port);
    MainWindowTestAccess::setupCommunication(*client);
}

void TestTwoDisplays::cleanupTestCase()
{
    client.reset();
    if (server.state() != QProcess::NotRunning) {
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }
    line.stop();
}

QVector<double> TestTwoDisplays::clientLevels() const
{
    const double *targets = MainWindowTestAccess::meterLevels(*client);
    return QVector<double>(targets, targets + LevelFrame::Channels);
}

void TestTwoDisplays::clientFollowsServer()
{
    // The server needs a moment to start: offer the first frame until it comes through.
    const QByteArray first = frameOf(11000, 700);
    const QDeadlineTimer started(20000);
    bool through = false;
    while (!through && !started.hasExpired()) {
        QVERIFY(server.state() == QProcess::Running);
        QVERIFY(line.write(first));
        through = QTest::qWaitFor([&] { return clientLevels() == levelsIn(first); }, 250);
    }
    QVERIFY2(through, "the first frame never reached the client");

    for (int i = 1; i <= 50; ++i) {
        const QByteArray frame = frameOf(static_cast<unsigned short>(i * 1150), 37);
        QVERIFY(line.write(frame));
        QTRY_COMPARE(clientLevels(), levelsIn(frame));
    }

    QCOMPARE(server.state(), QProcess::Running);
}

ORVANE_TEST_MAIN(TestTwoDisplays)

#include "tst_twodisplays.moc"
