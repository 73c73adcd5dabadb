#include "feedline.h"

#include "comm/serialline.h"

#include <QSerialPort>
#include <QTextStream>

QSerialPort *openLevelLine(const QString &device, QIODevice::OpenMode mode, QObject *parent,
                           QTextStream &err)
{
    auto *port = new QSerialPort(device, parent);
    setLevelLineParameters(*port);
    if (port->open(mode))
        return port;
    err << "orvane-feed: cannot open " << device << ": " << port->errorString();
    if (port->error() == QSerialPort::PermissionError)
        err << " (in use by another program, or the user is not in the dialout group)";
    err << Qt::endl;
    delete port;
    return nullptr;
}
