#pragma once

#include <QSerialPort>

// The console's line: 115200 baud, 8 data bits, no parity, one stop bit, no flow control.
inline void setLevelLineParameters(QSerialPort &port)
{
    port.setBaudRate(QSerialPort::Baud115200);
    port.setDataBits(QSerialPort::Data8);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
}
