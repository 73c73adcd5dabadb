#pragma once

#include <QIODevice>
#include <QString>

class QObject;
class QSerialPort;
class QTextStream;

// Opens the console's serial line with its fixed parameters; on failure says why on `err`
// (with the usual cause of a refused port) and returns null.
QSerialPort *openLevelLine(const QString &device, QIODevice::OpenMode mode, QObject *parent,
                           QTextStream &err);
