#include "app/mainwindow.h"
#include "comm/framestream.h"
#include "comm/serialline.h"
#include "onair/onairstatus.h"

#include <QLoggingCategory>
#include <QSerialPort>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

// Off unless asked for (QT_LOGGING_RULES="orvane.serial.debug=true"): the line delivers
// hundreds of reads a second.
Q_LOGGING_CATEGORY(lcSerial, "orvane.serial", QtInfoMsg)

namespace {

// The most a tick reads from the serial line; the rest waits for the next tick.
constexpr int MaxSerialBytesPerTick = 64 * 1024;

} // namespace

void MainWindow::serialPortConnect()
{
    if (serialPort) {
        serialPort->disconnect(this);
        serialPort->close();
    }
    serialRetryTimer.stop();
    serialFrames.clear();
    serialPause.forget();

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
    serialPause.forget();
    if (serialPort) {
        serialPort->disconnect(this);
        serialPort->close();
        serialPort = nullptr;
    }
}

void MainWindow::onDataAvailable()
{
    qCDebug(lcSerial, "data arrived.. ");
    takeSerialBytes(serialPort->readAll());
    // The first frame after a rest has started the tick: the next ones wait for it.
    if (releaseTimer && releaseTimer->isActive())
        pauseArrivals(true);
}

void MainWindow::takeSerialBytes(const QByteArray &bytes)
{
    const quint64 droppedBefore = serialFrames.bytesDropped();
    serialFrames.readChunk(bytes, [this](unsigned char *frame) { updateMeters(frame); });
    onAir->addBytesDropped(serialFrames.bytesDropped() - droppedBefore);
}

void MainWindow::readSerialLine()
{
    // The port's own notifier rests, so nothing waits in its buffer: the bytes are read from
    // the line itself, as the port would read them, until it has no more (a read gives at most
    // what the terminal layer has passed on, 4 KB, while more may wait behind it). A line at
    // 115200 baud brings about 200 bytes a refresh; the limit keeps a runaway line from
    // holding up the tick.
    const int descriptor = int(serialPort->handle());
    char buffer[4096];
    for (int total = 0; total < MaxSerialBytesPerTick;) {
        const ssize_t n = ::read(descriptor, buffer, sizeof buffer);
        if (n > 0) {
            takeSerialBytes(QByteArray(buffer, int(n)));
            total += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A vanished device: the port's own reading meets the same fault and reports it.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            serialPause.resume();
        break;
    }
}

void MainWindow::onSerialError()
{
    // A vanished device (adapter pulled, far end of a pty closed) keeps reporting read errors
    // hundreds of thousands of times a second while it stays open: close it and try again
    // later instead.
    serialPause.forget();
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
    serialPause.forget();
    if (serialPort->open(QIODevice::ReadWrite)) {
        serialRetryTimer.stop();
        onAir->inputOpened(commSettings.serialport);
        setSerialProblem(QString());
    }
}
