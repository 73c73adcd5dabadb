#include "app/mainwindow.h"
#include "comm/framestream.h"
#include "comm/serialline.h"
#include "onair/onairstatus.h"

#include <QLoggingCategory>
#include <QSerialPort>
#include <QTimer>

// Off unless asked for (QT_LOGGING_RULES="orvane.serial.debug=true"): the line delivers
// hundreds of reads a second.
Q_LOGGING_CATEGORY(lcSerial, "orvane.serial", QtInfoMsg)

void MainWindow::serialPortConnect()
{
    if (serialPort) {
        serialPort->disconnect(this);
        serialPort->close();
    }
    serialRetryTimer.stop();
    serialFrames.clear();

    serialPort = new QSerialPort(commSettings.serialport, this);
    setLevelLineParameters(*serialPort);
    connect(serialPort, &QSerialPort::readyRead, this, &MainWindow::onDataAvailable);
    connect(serialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
                    // Kept before the handler clears it: the panel tells the reason.
                    serialErrorText = serialPort->errorString();
                    onSerialError();
                }
            });
    setSerialProblem(QString());
    serialErrorText.clear();
    if (serialPort->open(QIODevice::ReadWrite)) {
        onAir->inputOpened(commSettings.serialport);
    } else {
        onAir->inputFailed(commSettings.serialport);
        // The header lamp names the port: the reason is said here, once.
        if (commSettings.serialport.isEmpty()) {
            setSerialProblem(tr("choose a port: gear or right-click"));
        } else {
            setSerialProblem(serialErrorText.isEmpty() ? tr("cannot be opened") : serialErrorText);
            serialRetryTimer.start();
        }
    }

    setWindowTitle(QStringLiteral("Unknown") + QStringLiteral(" - (") + commSettings.serialport
                   + QStringLiteral(")"));
}

void MainWindow::serialPortDisconnect()
{
    serialRetryTimer.stop();
    setSerialProblem(QString());
    if (serialPort) {
        serialPort->disconnect(this);
        serialPort->close();
        serialPort = nullptr;
    }
}

void MainWindow::onDataAvailable()
{
    qCDebug(lcSerial, "data arrived.. ");
    const quint64 droppedBefore = serialFrames.bytesDropped();
    serialFrames.readChunk(serialPort->readAll(),
                           [this](unsigned char *frame) { updateMeters(frame); });
    onAir->addBytesDropped(serialFrames.bytesDropped() - droppedBefore);
}

void MainWindow::onSerialError()
{
    // A vanished device (adapter pulled, far end of a pty closed) keeps reporting read errors
    // hundreds of thousands of times a second while it stays open: close it and try again
    // later instead.
    if (serialPort->isOpen())
        serialPort->close();
    serialPort->clearError();
    onAir->inputFailed(commSettings.serialport);
    if (!commSettings.serialport.isEmpty() && !serialRetryTimer.isActive()) {
        setSerialProblem(tr("lost; tried again every 2 s"));
        serialRetryTimer.start();
    }
}

void MainWindow::retrySerialPort()
{
    if (!serialPort)
        return;
    // The same object is reopened: a display may wait months for its line to come back.
    serialFrames.clear();
    if (serialPort->open(QIODevice::ReadWrite)) {
        serialRetryTimer.stop();
        onAir->inputOpened(commSettings.serialport);
        setSerialProblem(QString());
    }
}
