#include "comm/levelframe.h"

#include <cmath>

namespace LevelFrame {

QByteArray encode(const unsigned short raw[Channels])
{
    QByteArray frame(Size, '\0');
    frame[0] = char(StartByte);
    frame[1] = char(StartByte);
    for (int i = 0; i < Channels; ++i) {
        frame[2 + 2 * i] = char(raw[i] >> 8);
        frame[3 + 2 * i] = char(raw[i] & 0xFF);
    }
    frame[14] = char(EndByte);
    frame[15] = char(EndByte);
    return frame;
}

unsigned short rawFromDb(double db)
{
    const double raw = std::round((db + 50.0) * 1000.0);
    if (!(raw > 0.0))
        return 0;
    if (raw >= 65535.0)
        return 65535;
    return static_cast<unsigned short>(raw);
}

} // namespace LevelFrame
