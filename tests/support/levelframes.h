#pragma once

#include "comm/levelframe.h"

#include <QByteArray>
#include <QVector>

// A frame whose six raw levels rise from `first` by `step`, so that a channel mixed up with
// another shows.
inline QByteArray frameOf(unsigned short first, unsigned short step = 1)
{
    unsigned short raw[LevelFrame::Channels];
    for (int i = 0; i < LevelFrame::Channels; ++i)
        raw[i] = static_cast<unsigned short>(first + i * step);
    return LevelFrame::encode(raw);
}

// A frame with the six meters at `db`, in frame order.
inline QByteArray frameOfLevels(const QVector<double> &db)
{
    unsigned short raw[LevelFrame::Channels];
    for (int i = 0; i < LevelFrame::Channels; ++i)
        raw[i] = static_cast<unsigned short>((db.value(i) + 50.0) * 1000.0 + 0.5);
    return LevelFrame::encode(raw);
}

// A frame with all six meters at `db`.
inline QByteArray frameAt(double db)
{
    return frameOfLevels(QVector<double>(LevelFrame::Channels, db));
}

// The six levels, in dB, that a frame carries.
inline QVector<double> levelsIn(const QByteArray &frame)
{
    QVector<double> levels;
    for (int i = 0; i < LevelFrame::Channels; ++i)
        levels.append(
            LevelFrame::levelDb(reinterpret_cast<const unsigned char *>(frame.constData()), i));
    return levels;
}
