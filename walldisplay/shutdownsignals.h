#pragma once

class QCoreApplication;

// Makes SIGTERM, SIGINT, SIGHUP and the other signals whose default is to end the program
// (SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGPWR) end the event loop normally, so that
// the main window is destroyed and keeps the operator's settings when the machine shuts down
// or the program is stopped from a terminal. A signal that arrives before the event loop runs
// ends it as soon as it starts. Signals that were ignored at start stay ignored; SIGPIPE is
// ignored.
void quitOnShutdownSignals(QCoreApplication *app);

// A write to a pipe whose reader has gone (standard error of a closed terminal or a finished
// log reader) fails instead of ending the program. Called first thing in main: the toolkit
// may warn while it starts, long before the other handlers are in place.
void ignoreBrokenPipes();
