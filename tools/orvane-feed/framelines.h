#pragma once

#include <QString>

#include <deque>

// The printed form of frames, shared by the monitor and the sender's --every.
namespace Feed {

QString frameHeader();
// One frame: seconds since the start, who sent it (or where it went), the six levels in dB
// and the frames a second; `note` flags a frame that a display would treat differently.
QString frameLine(double seconds, const QString &peer, const unsigned char *frame, double rate,
                  const QString &note = QString());
// A line for something that arrived but is no frame.
QString anomalyLine(double seconds, const QString &peer, const QString &what);

// Frames a second over the last second, from arrival times in milliseconds.
class RateMeter
{
public:
    void add(qint64 ms);
    double rate(qint64 nowMs);

private:
    std::deque<qint64> times;
    qint64 first = -1;
};

} // namespace Feed
