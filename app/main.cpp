#include "app/mainwindow.h"
#include "diagnostics/trace.h"
#include "walldisplay/commandline.h"
#include "walldisplay/shutdownsignals.h"
#include "walldisplay/watchdog.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QVector>

#include <cstdio>
#include <cstdlib>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int usageError(const QString &message)
{
    std::fprintf(stderr, "orvane-meters: %s\nTry 'orvane-meters --help'.\n", qPrintable(message));
    return CommandLine::UsageStatus;
}

// What the toolkit says while it opens the window system is held back until it is known
// whether that worked. Where it cannot (a display that does not open, a platform plugin that
// does not exist) the toolkit aborts the program; that is a command line or an environment
// that does not make sense, and is answered as one.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QVector<HeldMessage> heldMessages;
QtMessageHandler passMessagesOn = nullptr;

void holdWhileOpening(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        heldMessages.append({ type, QByteArray(context.category), text });
        return;
    }
    // The platform's own words say best what failed; the toolkit's last words only that
    // something did.
    QString reason = text.section(QLatin1Char('\n'), 0, 0);
    for (const HeldMessage &held : qAsConst(heldMessages)) {
        if (held.category.startsWith("qt.qpa")) {
            reason = held.text;
            break;
        }
    }
    std::fprintf(stderr, "orvane-meters: cannot open the window system: %s\n", qPrintable(reason));
    std::fflush(stderr);
    std::_Exit(CommandLine::UsageStatus);
}

void passHeldMessagesOn()
{
    qInstallMessageHandler(passMessagesOn);
    for (const HeldMessage &held : qAsConst(heldMessages)) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        passMessagesOn(held.type, context, held.text);
    }
    heldMessages.clear();
}

} // namespace

int main(int argc, char **argv)
{
    ignoreBrokenPipes();
    Trace::begin();

    // Everything here is painted by the raster engine. Left to itself, the X11 platform sets up
    // OpenGL integration at start, which on a machine without a GPU loads Mesa's software
    // renderer and LLVM: some 50 MB of memory and a slower start, for nothing.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // With shared-memory images the X11 platform waits for the X server before it paints into
    // a part of the window that it sent before: a round trip for nearly every repaint of a
    // meter, hundreds a second, for copying a few rows. Sent through the connection, the rows
    // need no waiting; a live display then costs about a fifth less of both processes' time.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");

    // Help and the version need no display: answered before the window system is opened.
    const CommandLine early = parseCommandLine(argumentsOf(argc, argv));
    if (early.kind == CommandLine::Help || early.kind == CommandLine::Version) {
        QCoreApplication core(argc, argv);
        std::fputs(qPrintable(parseCommandLine(QCoreApplication::arguments()).message), stdout);
        return 0;
    }

    passMessagesOn = qInstallMessageHandler(holdWhileOpening);
    QApplication app(argc, argv);
    passHeldMessagesOn();
    // The application object has taken its own options (-platform, -display, ...) by now.
    const CommandLine options = parseCommandLine(QCoreApplication::arguments());
    if (options.kind == CommandLine::Error)
        return usageError(options.message);
    int screen = -1;
    if (!options.screen.isEmpty()) {
        QStringList names;
        for (const QScreen *each : QGuiApplication::screens())
            names << each->name();
        QString error;
        screen = screenIndexFor(options.screen, names, &error);
        if (screen < 0)
            return usageError(error);
    }
    quitOnShutdownSignals(&app);

    int result = 0;
    {
        // Destroyed before the application object: its destructor stores the settings.
        MainWindow window;
        Trace::attach(&window);
        window.showAtStart(options.fullScreen, screen);
        // Ready once the event loop runs, which first paints the window shown.
        SystemdWatchdog watchdog;
        QTimer::singleShot(0, &watchdog, &SystemdWatchdog::notifyReady);
        result = app.exec();
    }
    return result;
}
