#include "ptypair.h"
#include "testsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The real program on an X server of the test's own, with a serial port open, loses that
// server (a logout, a crash): the toolkit ends the program at once, and the program must
// still have stored its settings and released its port.

namespace {

const QStringList AllKeys = {
    "is_server",   "use_udp",     "serialport",  "server_host", "server_port",    "client_host",
    "client_port", "labelMeter1", "labelMeter2", "labelMeter3", "current_screen", "geometry",
};

// The lock that QSerialPort takes for a port: the path's slashes become underscores.
QString serialLockFor(const QString &port)
{
    return QStringLiteral("/var/lock/LCK..")
        + QString(port).replace(QLatin1Char('/'), QLatin1Char('_'));
}

} // namespace

class TestXServerLoss : public QObject
{
    Q_OBJECT

private slots:
    void settingsKeptAndPortReleased();
};

void TestXServerLoss::settingsKeptAndPortReleased()
{
    for (const char *tool : { "Xvfb", "xdotool", "socat" })
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is missing (scripts/install-deps)").arg(tool)));

    QProcess xvfb;
    const QString display = OrvaneTest::startOwnXvfb(xvfb, QStringLiteral("1280x720x24"));
    QVERIFY2(!display.isEmpty(), "Xvfb reported no display");

    PtyPair line;
    QVERIFY2(line.start(), qPrintable(line.error()));
    const QString lock = serialLockFor(line.programEnd());

    // Serial only: the program can never broadcast here.
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString file = config.path() + QStringLiteral("/Vexo/Unknown.conf");
    {
        QSettings stored(file, QSettings::IniFormat);
        stored.setValue(QStringLiteral("is_server"), false);
        stored.setValue(QStringLiteral("use_udp"), false);
        stored.setValue(QStringLiteral("serialport"), line.programEnd());
        stored.setValue(QStringLiteral("labelMeter2"), QStringLiteral("Kept"));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(ORVANE_METERS_BINARY), QStringList());
    QVERIFY(program.waitForStarted(10000));

    // The first start on a machine builds the font cache: wait for the window, however long.
    bool mapped = false;
    const QDeadlineTimer shown(60000);
    while (!mapped && !shown.hasExpired() && program.state() == QProcess::Running) {
        QProcess search;
        search.setProcessEnvironment(env);
        search.start(QStringLiteral("xdotool"),
                     { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                       QStringLiteral("--name"), QStringLiteral("^Unknown - \\(") });
        mapped = search.waitForFinished(10000) && search.exitCode() == 0
            && !search.readAllStandardOutput().trimmed().isEmpty();
        if (!mapped)
            QTest::qWait(100);
    }
    QVERIFY2(mapped, "the program's window did not appear");
    QVERIFY2(QFileInfo::exists(lock), qPrintable(lock));

    // The X server goes away; the toolkit then ends the program without its destructors.
    xvfb.terminate();
    QVERIFY(xvfb.waitForFinished(10000));
    const bool ended = program.waitForFinished(20000);
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
    QVERIFY2(ended, "the program did not end without its X server");

    QVERIFY2(!QFileInfo::exists(lock), qPrintable(lock));
    QSettings written(file, QSettings::IniFormat);
    for (const QString &key : AllKeys)
        QVERIFY2(written.contains(key), qPrintable(key));
    QCOMPARE(written.value(QStringLiteral("labelMeter2")).toString(), QStringLiteral("Kept"));
    QCOMPARE(written.value(QStringLiteral("serialport")).toString(), line.programEnd());
    // The toolkit's saved-geometry block of the window as it was on that X server.
    QVERIFY(written.value(QStringLiteral("geometry"))
                .toByteArray()
                .startsWith(QByteArray("\x01\xd9\xd0\xcb", 4)));
}

ORVANE_TEST_MAIN(TestXServerLoss)
#include "tst_xserverloss.moc"
