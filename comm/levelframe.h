#pragma once

#include <QByteArray>

// The console's level frame: AA AA, six big-endian 16-bit raw levels, 55 55. A raw level r
// stands for r / 1000 - 50 dB.
namespace LevelFrame {

constexpr int Size = 16;
constexpr int Channels = 6;
constexpr unsigned char StartByte = 0xAA;
constexpr unsigned char EndByte = 0x55;
constexpr double FloorDb = -50.0;

inline bool hasMarkers(const unsigned char *frame)
{
    return frame[0] == StartByte && frame[1] == StartByte && frame[14] == EndByte
        && frame[15] == EndByte;
}

inline unsigned rawLevel(const unsigned char *frame, int channel)
{
    return frame[2 + 2 * channel] * 256u + frame[3 + 2 * channel];
}

inline double levelDb(const unsigned char *frame, int channel)
{
    return rawLevel(frame, channel) / 1000.0 - 50.0;
}

// A well-formed frame carrying the six raw levels (for senders and tests).
QByteArray encode(const unsigned short raw[Channels]);

// The raw level that shows `db`, rounded to the nearest 0.001 dB and limited to 0..65535.
unsigned short rawFromDb(double db);

} // namespace LevelFrame
