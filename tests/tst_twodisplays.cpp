#include "app/mainwindow.h"
#include "levelframes.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "serverdisplay.h"
#include "testsupport.h"

#include <QDeadlineTimer>

#include <memory>

// Two displays on two hosts joined by one cable (netns/twohosts.sh): the real program runs as
// the server in the other namespace and reads a serial line; this test is the client display
// and must follow every frame written to that line.

namespace {

const char *const ServerAddress = "10.99.0.1";
const char *const ClientAddress = "10.99.0.2";
const char *const Port = "47100";

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
    ServerDisplay server;
    std::unique_ptr<MainWindow> client;
};

void TestTwoDisplays::initTestCase()
{
    const QString serverNamespace = qEnvironmentVariable("ORVANE_SERVER_NETNS");
    if (serverNamespace.isEmpty()
        || !onCableOnly(QHostAddress(QString::fromLatin1(ClientAddress))))
        QFAIL("run this test through netns/twohosts.sh, as root");
    QVERIFY2(line.start(), qPrintable(line.error()));

    // A server on the cable's address, reading the test's serial line.
    QVERIFY2(server.start(QStringLiteral(ORVANE_METERS_BINARY), serverNamespace, line.programEnd(),
                          QString::fromLatin1(ServerAddress), QString::fromLatin1(Port)),
             qPrintable(server.error()));

    client = std::make_unique<MainWindow>();
    comm_st &settings = MainWindowTestAccess::commSettings(*client);
    settings.use_udp = true;
    settings.is_server = false;
    settings.client_host = QString::fromLatin1(ServerAddress);
    settings.client_port = QString::fromLatin1(Port);
    // The server's settings file is from before the modes: it broadcasts.
    MainWindowTestAccess::distributionSettings(*client).mode = Distribution::Mode::Broadcast;
    MainWindowTestAccess::setupCommunication(*client);
}

void TestTwoDisplays::cleanupTestCase()
{
    client.reset();
    server.stop();
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
