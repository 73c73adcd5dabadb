#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The real program on an X server of the test's own, as a user meets it: started with a
// settings folder of its own, found by its window's title, looked at by screenshots and
// given keys with xdotool. Everything it starts it ends, by process id.
class ProgramOnScreen
{
public:
    ProgramOnScreen() = default;
    ~ProgramOnScreen();
    ProgramOnScreen(const ProgramOnScreen &) = delete;
    ProgramOnScreen &operator=(const ProgramOnScreen &) = delete;

    // Xvfb with one screen of `screen` ("1920x1080x24"). False (see error()) on failure.
    bool startScreen(const QString &screen);
    // The program `binary` with `arguments`, its settings in `configFolder` (for
    // XDG_CONFIG_HOME); returns once its window shows. False (see error()) on failure.
    bool startProgram(const QString &binary, const QStringList &arguments,
                      const QString &configFolder);
    void stop();

    // The program's window, or a null image (see error()).
    QImage screenshot();
    // Keys as xdotool names them ("c", "F1"), sent to the program's window.
    bool key(const QString &keys);

    QString error() const { return lastError; }
    bool running() const { return program.state() == QProcess::Running; }

private:
    // Runs an X tool on the test's display while the caller's event loop keeps running.
    bool run(const QString &tool, const QStringList &arguments, QByteArray *output = nullptr);

    QProcess xvfb;
    QProcess program;
    QProcessEnvironment environment;
    QTemporaryDir work;
    QString window;
    QString lastError;
};
