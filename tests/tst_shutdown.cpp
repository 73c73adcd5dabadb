#include "mainwindow.h"
#include "mainwindowprobe.h"
#include "modalanswer.h"
#include "mylabel.h"
#include "shutdownsignals.h"
#include "testsupport.h"

#include <QFile>
#include <QInputDialog>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {

const QStringList AllKeys = {
    "is_server",   "use_udp",     "serialport",  "server_host", "server_port",    "client_host",
    "client_port", "labelMeter1", "labelMeter2", "labelMeter3", "current_screen", "geometry",
};

// Whether the process has a handler of its own for the signal (the SigCgt mask in
// /proc/PID/status): from then on the signal can no longer kill it outright.
bool catchesSignal(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signal - 1)) & 1u;
    }
    return false;
}

} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsProgramAndKeepsSettings_data();
    void signalEndsProgramAndKeepsSettings();
    // Last: it ends the test program's own event loops for good.
    void signalClosesOpenCaptionDialog();
};

void TestShutdown::signalEndsProgramAndKeepsSettings_data()
{
    QTest::addColumn<int>("signal");

    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestShutdown::signalEndsProgramAndKeepsSettings()
{
    QFETCH(int, signal);

    // The program gets a settings folder of its own, holding a serial-only setup: with no
    // server role stored it can never broadcast.
    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString file = config.path() + QStringLiteral("/Vexo/Unknown.conf");
    {
        QSettings stored(file, QSettings::IniFormat);
        stored.setValue(QStringLiteral("is_server"), false);
        stored.setValue(QStringLiteral("labelMeter2"), QStringLiteral("Aux feed"));
        stored.setValue(QStringLiteral("client_port"), QStringLiteral("7001"));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(ORVANE_METERS_BIN), QStringList());
    QVERIFY2(program.waitForStarted(5000), qPrintable(program.errorString()));
    const qint64 pid = program.processId();

    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(pid, signal), 10000);
    QCOMPARE(::kill(pid_t(pid), signal), 0);
    QVERIFY2(program.waitForFinished(10000), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    QSettings written(file, QSettings::IniFormat);
    for (const QString &key : AllKeys)
        QVERIFY2(written.contains(key), qPrintable(key));
    QCOMPARE(written.childKeys().size(), 12);
    QCOMPARE(written.value(QStringLiteral("labelMeter1")).toString(), QStringLiteral("Prog"));
    QCOMPARE(written.value(QStringLiteral("labelMeter2")).toString(), QStringLiteral("Aux feed"));
    QCOMPARE(written.value(QStringLiteral("client_port")).toString(), QStringLiteral("7001"));
    QCOMPARE(written.value(QStringLiteral("is_server")).toBool(), false);
    QCOMPARE(written.value(QStringLiteral("current_screen")).toInt(), 0);
    QWidget probe;
    QVERIFY(probe.restoreGeometry(written.value(QStringLiteral("geometry")).toByteArray()));
}

void TestShutdown::signalClosesOpenCaptionDialog()
{
    quitOnShutdownSignals(qApp);
    MainWindow window;
    myLabel *caption = MainWindowTestAccess::caption(window, 1);

    // Typed but not confirmed when the signal comes: the dialog closes, the caption stays.
    ModalAnswer<QInputDialog> answer([&](QInputDialog *dialog) {
        dialog->setTextValue(QStringLiteral("Half typed"));
        ::raise(SIGTERM);
        // Should the signal not reach the loop, the test still ends, and fails below.
        QTimer::singleShot(3000, dialog, &QDialog::accept);
    });
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(caption, Qt::LeftButton);

    QVERIFY(answer.answered());
    QVERIFY(clock.elapsed() < 3000);
    QCOMPARE(caption->text(), QStringLiteral("Prog"));
}

ORVANE_TEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
