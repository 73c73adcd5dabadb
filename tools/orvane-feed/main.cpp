#include "feedmonitor.h"
#include "feedoptions.h"
#include "feedsender.h"
#include "walldisplay/shutdownsignals.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-feed"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_FEED_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    const Feed::Command command = Feed::parseCommandLine(QCoreApplication::arguments());
    switch (command.kind) {
    case Feed::Command::Help:
        out << command.message;
        return Feed::ExitOk;
    case Feed::Command::Version:
        out << "orvane-feed " << ORVANE_FEED_VERSION << '\n';
        return Feed::ExitOk;
    case Feed::Command::Error:
        err << "orvane-feed: " << command.message << "\nTry 'orvane-feed --help'.\n";
        return Feed::ExitUsage;
    case Feed::Command::Send: {
        FeedSender sender(command.send, out, err);
        const int opened = sender.open();
        if (opened != Feed::ExitOk)
            return opened;
        // Ctrl+C ends the run normally, with its summary.
        quitOnShutdownSignals(&app);
        QObject::connect(&sender, &FeedSender::finished, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        sender.start();
        app.exec();
        sender.printSummary();
        return sender.exitStatus();
    }
    case Feed::Command::Monitor: {
        FeedMonitor monitor(command.monitor, out, err);
        const int opened = monitor.open();
        if (opened != Feed::ExitOk)
            return opened;
        quitOnShutdownSignals(&app);
        QObject::connect(&monitor, &FeedMonitor::finished, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        app.exec();
        monitor.printSummary();
        return monitor.exitStatus();
    }
    }
    return Feed::ExitUsage;
}
