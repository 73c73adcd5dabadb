#pragma once

#include <QIODevice>
#include <QPointer>
#include <QSocketNotifier>

// Qt's serial port and UDP socket wake the event loop for every arrival, each through a read
// notifier of its own. While the meters are live the release tick reads them once a refresh
// instead and their notifier rests, so that the program's wake-ups no longer grow with the
// console's frame rate; once the meters rest, the notifier wakes the program for the next
// arrival at once again. Qt has no call for this: the notifier is the child of the device (or
// of its socket engine) that watches the device's descriptor for reading. It is looked for
// afresh when it has gone, since a device makes a new one whenever it opens.
class ReadPause
{
public:
    // Stops the device's own notifier; false when none is to be found (the device is closed,
    // or its Qt keeps the notifier elsewhere), and then the device goes on waking the program
    // for every arrival.
    bool pause(QIODevice *device, qintptr descriptor);
    // The notifier wakes the program again for the next arrival, if the device is still open.
    void resume();
    // The device was closed or replaced: its notifier goes with it and is left alone.
    void forget();
    // Whether the device's arrivals wait to be read by the caller.
    bool paused() const;

private:
    QPointer<QIODevice> device;
    QPointer<QSocketNotifier> notifier;
};
