#include "framelines.h"

#include "comm/levelframe.h"

namespace Feed {

namespace {

QString peerColumn(const QString &peer)
{
    return peer.leftJustified(21);
}

} // namespace

QString frameHeader()
{
    return QStringLiteral("%1  %2 %3 %4 %5 %6 %7 %8 %9")
        .arg(QStringLiteral("time/s"), 10)
        .arg(peerColumn(QStringLiteral("sender")))
        .arg(QStringLiteral("ProgL"), 8)
        .arg(QStringLiteral("ProgR"), 8)
        .arg(QStringLiteral("SubL"), 8)
        .arg(QStringLiteral("SubR"), 8)
        .arg(QStringLiteral("CrmL"), 8)
        .arg(QStringLiteral("CrmR"), 8)
        .arg(QStringLiteral("frames/s"), 9);
}

QString frameLine(double seconds, const QString &peer, const unsigned char *frame, double rate,
                  const QString &note)
{
    QString line = QStringLiteral("%1  %2").arg(seconds, 10, 'f', 3).arg(peerColumn(peer));
    for (int channel = 0; channel < LevelFrame::Channels; ++channel)
        line += QStringLiteral(" %1").arg(LevelFrame::levelDb(frame, channel), 8, 'f', 3);
    line += QStringLiteral(" %1").arg(rate, 9, 'f', 1);
    if (!note.isEmpty())
        line += QStringLiteral("  ") + note;
    return line;
}

QString anomalyLine(double seconds, const QString &peer, const QString &what)
{
    return QStringLiteral("%1  %2 %3").arg(seconds, 10, 'f', 3).arg(peerColumn(peer), what);
}

void RateMeter::add(qint64 ms)
{
    if (first < 0)
        first = ms;
    times.push_back(ms);
}

double RateMeter::rate(qint64 nowMs)
{
    while (!times.empty() && times.front() <= nowMs - 1000)
        times.pop_front();
    const double count = double(times.size());
    // In the first second there is no whole second to count yet: go by the spacing.
    if (nowMs - first >= 1000 || times.size() < 2 || times.back() == times.front())
        return count;
    return (count - 1.0) * 1000.0 / double(times.back() - times.front());
}

} // namespace Feed
