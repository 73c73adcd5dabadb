#pragma once

#include "app/mainwindow.h"
#include "mainwindowprobe.h"
#include "widgets/vexoppmmeter.h"

#include <cmath>

// A real window fed through a real serial line (a pty from ptypair.h).

// Points the window at `port` and opens it; whether the port is open. No UDP and never the
// server role: a display under test must not forward what it reads beyond this machine's own
// namespace.
inline bool readSerialOnly(MainWindow &w, const QString &port)
{
    comm_st &settings = MainWindowTestAccess::commSettings(w);
    settings.is_server = false;
    settings.use_udp = false;
    settings.serialport = port;
    MainWindowTestAccess::setupCommunication(w);
    return MainWindowTestAccess::serialPort(w)->isOpen();
}

// Whether every meter of the window stands at `db`.
inline bool allAt(MainWindow &w, double db)
{
    for (VexoPPMMeter *meter : w.findChildren<VexoPPMMeter *>()) {
        if (std::fabs(meter->dBPosition - db) > 1e-9)
            return false;
    }
    return true;
}
