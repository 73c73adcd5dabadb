#include "programonscreen.h"

#include "testsupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QtTest>

namespace {

void end(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
}

} // namespace

ProgramOnScreen::~ProgramOnScreen()
{
    stop();
    end(xvfb);
}

bool ProgramOnScreen::startScreen(const QString &screen)
{
    const QString display = OrvaneTest::startOwnXvfb(xvfb, screen);
    if (display.isEmpty()) {
        lastError = QStringLiteral("Xvfb reported no display");
        return false;
    }
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return true;
}

bool ProgramOnScreen::startProgram(const QString &binary, const QStringList &arguments,
                                   const QString &configFolder)
{
    QProcessEnvironment own = environment;
    own.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
    // Every serial read leaves a debug line; warnings still show.
    own.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    program.setProcessEnvironment(own);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(binary, arguments);
    if (!program.waitForStarted(10000)) {
        lastError = QStringLiteral("the program did not start");
        return false;
    }
    // The first start on a machine builds the font cache: wait for the window, however long.
    window.clear();
    const QDeadlineTimer mapped(60000);
    while (window.isEmpty() && !mapped.hasExpired() && running()) {
        QByteArray found;
        if (run(QStringLiteral("xdotool"),
                { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                  QStringLiteral("--name"), QStringLiteral("^Unknown - \\(") },
                &found))
            window = QString::fromLatin1(found.split('\n').value(0).trimmed());
        if (window.isEmpty())
            QTest::qWait(100);
    }
    if (window.isEmpty())
        lastError = QStringLiteral("the program's window did not appear");
    return !window.isEmpty();
}

void ProgramOnScreen::stop()
{
    end(program);
}

QImage ProgramOnScreen::screenshot()
{
    if (!work.isValid()) {
        lastError = QStringLiteral("no folder for the screenshot");
        return QImage();
    }
    const QString file = work.filePath(QStringLiteral("shot.png"));
    QFile::remove(file);
    if (!run(QStringLiteral("import"), { QStringLiteral("-window"), window, file })) {
        lastError = QStringLiteral("import failed");
        return QImage();
    }
    const QImage image(file);
    if (image.isNull())
        lastError = QStringLiteral("unreadable screenshot");
    return image.convertToFormat(QImage::Format_RGB32);
}

bool ProgramOnScreen::key(const QString &keys)
{
    return run(QStringLiteral("xdotool"),
               { QStringLiteral("key"), QStringLiteral("--window"), window, keys });
}

bool ProgramOnScreen::run(const QString &tool, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(tool, arguments);
    if (!process.waitForStarted(15000))
        return false;
    // Waited for with the event loop running, so that a feeder of the test keeps sending.
    if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; },
                         15000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
