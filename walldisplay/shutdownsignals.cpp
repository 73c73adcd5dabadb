#include "walldisplay/shutdownsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

// Each of these would end the program without storing the settings and leave the serial
// port's lock behind. SIGQUIT and SIGXCPU would also dump core, for nothing.
const int ShutdownSignals[]
    = { SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGPWR };

void onSignal(int)
{
    // Only async-signal-safe work here: wake the event loop through the pipe. The handler may
    // interrupt code that is about to look at errno.
    const int savedErrno = errno;
    const char byte = 1;
    const ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
    errno = savedErrno;
}

} // namespace

void ignoreBrokenPipes()
{
    ::signal(SIGPIPE, SIG_IGN);
}

void quitOnShutdownSignals(QCoreApplication *app)
{
    if (signalPipe[0] >= 0)
        return;
    // Non-blocking: a burst of signals that fills the pair while the event loop is busy (or gone,
    // during shutdown) must drop bytes, not hang the handler; one byte is enough to quit.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;

    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [app]() {
        char bytes[64];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) { }
        app->quit();
    });

    ignoreBrokenPipes();

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : ShutdownSignals) {
        // A signal ignored by whoever started the program stays ignored: started under nohup
        // (or by a kiosk launcher that does the same), the display outlives its session.
        struct sigaction inherited = {};
        if (::sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal, &action, nullptr);
    }
}
