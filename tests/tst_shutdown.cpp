#include "app/mainwindow.h"
#include "mainwindowprobe.h"
#include "modalanswer.h"
#include "testsupport.h"
#include "walldisplay/shutdownsignals.h"
#include "widgets/mylabel.h"

#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

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

// The signals that the process ignores (the SigIgn mask).
bool ignoresSignal(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("SigIgn:"))
            continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signal - 1)) & 1u;
    }
    return false;
}

// Starts the program with its own settings folder, with `ignored` ignored from the start
// (as nohup does) unless it is 0.
void startProgram(QProcess &program, const QString &configPath, int ignored,
                  const QStringList &arguments = QStringList())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configPath);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (ignored == 0) {
        program.start(QStringLiteral(ORVANE_METERS_BIN), arguments);
        return;
    }
    // The shell replaces itself with the program, which keeps the shell's process id.
    program.start(QStringLiteral("/bin/sh"),
                  QStringList({ QStringLiteral("-c"),
                                QStringLiteral("trap '' %1; exec \"$0\" \"$@\"").arg(ignored),
                                QStringLiteral(ORVANE_METERS_BIN) })
                      + arguments);
}

// A program whose standard error is a pipe that nobody reads any more, as under a terminal
// that was closed.
class BrokenStandardError : public QProcess
{
protected:
    void setupChildProcess() override
    {
        int ends[2];
        if (::pipe(ends) == 0) {
            ::close(ends[0]);
            ::dup2(ends[1], STDERR_FILENO);
        }
    }
};

} // namespace

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsProgramAndKeepsSettings_data();
    void signalEndsProgramAndKeepsSettings();
    void signalEndsProgramWithHostileStore_data();
    void signalEndsProgramWithHostileStore();
    void brokenStandardErrorAtStart();
    // Last: it ends the test program's own event loops for good.
    void signalClosesOpenCaptionDialog();
};

void TestShutdown::signalEndsProgramAndKeepsSettings_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("ignoredAtStart");
    QTest::addColumn<bool>("ends"); // else the program stays and SIGTERM ends it

    QTest::newRow("SIGTERM") << int(SIGTERM) << false << true;
    QTest::newRow("SIGINT") << int(SIGINT) << false << true;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false << true;
    QTest::newRow("SIGQUIT") << int(SIGQUIT) << false << true;
    QTest::newRow("SIGUSR1") << int(SIGUSR1) << false << true;
    QTest::newRow("SIGUSR2") << int(SIGUSR2) << false << true;
    QTest::newRow("SIGALRM") << int(SIGALRM) << false << true;
    QTest::newRow("SIGXCPU") << int(SIGXCPU) << false << true;
    QTest::newRow("SIGPWR") << int(SIGPWR) << false << true;
    // stderr on a pipe whose reader has gone.
    QTest::newRow("SIGPIPE is ignored") << int(SIGPIPE) << false << false;
    // Started under nohup, the display outlives the session that started it.
    QTest::newRow("SIGHUP ignored at start") << int(SIGHUP) << true << false;
    QTest::newRow("SIGINT ignored at start") << int(SIGINT) << true << false;
    QTest::newRow("SIGUSR1 ignored at start") << int(SIGUSR1) << true << false;
}

void TestShutdown::signalEndsProgramAndKeepsSettings()
{
    QFETCH(int, signal);
    QFETCH(bool, ignoredAtStart);
    QFETCH(bool, ends);

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

    QProcess program;
    startProgram(program, config.path(), ignoredAtStart ? signal : 0);
    QVERIFY2(program.waitForStarted(5000), qPrintable(program.errorString()));
    const qint64 pid = program.processId();

    // Its handlers are in place once it catches SIGTERM.
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(pid, SIGTERM), 10000);
    if (!ends) {
        QVERIFY(ignoresSignal(pid, signal));
        QVERIFY(!catchesSignal(pid, signal));
    }
    QCOMPARE(::kill(pid_t(pid), signal), 0);
    if (!ends)
        QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
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

void TestShutdown::signalEndsProgramWithHostileStore_data()
{
    QTest::addColumn<QString>("kind");

    // Opening it would wait for a writer, before the event loop ever runs.
    QTest::newRow("settings file is a FIFO") << "fifo";
    // QSettings would wait for this lock for ever when it stores the settings at the end.
    QTest::newRow("folder in the lock's place") << "lock";
}

// Whatever the store holds, SIGTERM ends the program, at any stage.
void TestShutdown::signalEndsProgramWithHostileStore()
{
    QFETCH(QString, kind);

    QTemporaryDir config;
    QVERIFY(config.isValid());
    const QString file = config.path() + QStringLiteral("/Vexo/Unknown.conf");
    QVERIFY(QDir().mkpath(config.path() + QStringLiteral("/Vexo")));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    else
        QVERIFY(QDir().mkdir(file + QStringLiteral(".lock")));

    QProcess program;
    startProgram(program, config.path(), 0);
    QVERIFY2(program.waitForStarted(5000), qPrintable(program.errorString()));
    const qint64 pid = program.processId();
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(pid, SIGTERM), 10000);
    QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
    const bool ended = program.waitForFinished(10000);
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
    QVERIFY2(ended, "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    if (kind == QLatin1String("fifo")) {
        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(file).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
    }
}

// The toolkit warns while it starts (here of a style it does not know), before the window
// exists: on a broken standard error that must not end the program.
void TestShutdown::brokenStandardErrorAtStart()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    BrokenStandardError program;
    startProgram(program, config.path(), 0, { QStringLiteral("-style"), QStringLiteral("nosuch") });
    QVERIFY2(program.waitForStarted(5000), qPrintable(program.errorString()));
    const qint64 pid = program.processId();
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(pid, SIGTERM) || program.state() != QProcess::Running,
                             10000);
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
    QVERIFY2(program.waitForFinished(10000), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(QFile::exists(config.path() + QStringLiteral("/Vexo/Unknown.conf")));
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
