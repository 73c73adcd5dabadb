#pragma once

class QCoreApplication;

// Makes SIGTERM, SIGINT and SIGHUP end the event loop normally, so that the main window is
// destroyed and keeps the operator's settings when the machine shuts down or the program is
// stopped from a terminal.
void quitOnShutdownSignals(QCoreApplication *app);
