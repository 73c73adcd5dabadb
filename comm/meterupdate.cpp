#include "app/mainwindow.h"
#include "comm/levelframe.h"
#include "diagnostics/trace.h"
#include "onair/onairstatus.h"
#include "remote/remotecontrol.h"

void MainWindow::updateMeters(unsigned char *frame)
{
    if (Q_UNLIKELY(Trace::enabled))
        Trace::frameArrived(meterLevels, frame);
    for (int i = 0; i < LevelFrame::Channels; ++i)
        meterLevels[i] = LevelFrame::levelDb(frame, i);
    tickLevels.take(meterLevels);
    onAir->frameAccepted(meterLevels);
    remote->frameLevels(meterLevels);
    wakeRelease();

    // Forwarding looks at the server flag alone, so a serial-only display that keeps the
    // server role still feeds the other displays.
    forwardFrame(frame);
}
