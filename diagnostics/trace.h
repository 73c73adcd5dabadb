#pragma once

#include <QtGlobal>

class QWidget;

// Time stamps for measuring the program from outside: set ORVANE_TRACE to a file name and the
// program writes one line per event to it, with CLOCK_MONOTONIC nanoseconds, so that a
// script can put its own monotonic clock beside them. Without the variable nothing is set up
// at all; the frame and release paths only read `enabled`.
//
// Lines: "main T", "window T" (constructed), "firstpaint T", "firstshown T" (that paint is
// flushed and the event loop is back), "frame T MASK" (channels whose target changed),
// "release T", "clock T analog|digital", "meterpaint T CHANNEL",
// "latency T CHANNEL NANOSECONDS", "secondpaint T analog|digital REALTIME" (the start of a
// clock's first paint that shows a new second, with the wall clock's CLOCK_REALTIME
// nanoseconds then: their part below the second is how late the second was shown), and
// "lost N" for events that did not fit the buffer.
//
// Latency: a frame that changes a channel's target is pending on that channel until the next
// release tick. If that tick moves the channel's bar by a pixel, the earliest such frame
// waits for the meter's next paint; the latency is the time from the frame's arrival to the
// start of that paint. Frames whose effect does not show at the next tick have no latency.
// While the release tick reads the input itself, a frame is read at the tick that shows it;
// its arrival is then the moment the first bytes after the tick before could be read, which
// the trace watches for.
namespace Trace {

// Read on the hot paths; true only when ORVANE_TRACE named a file at start-up.
extern bool enabled;

// At the start of main: reads ORVANE_TRACE and notes the time.
void begin();
// Once the main window is built, before it is shown: watches its meters, clocks and paints.
void attach(QWidget *mainWindow);

// From the frame path, before the targets change: `targets` holds the six current targets.
void frameArrived(const double *targets, const unsigned char *frame);
// From the release timer, after the six meters were stepped.
void releaseTicked();
// From the release timer, when the input on `descriptor` is left for the next tick to read:
// the first arrival until then is the arrival of the frames that tick reads.
void awaitArrival(qintptr descriptor);
// From the window, as it starts to paint a meter (channel 0 to 5) itself rather than through
// the meter's own paint event.
void meterPainted(int channel);

} // namespace Trace
