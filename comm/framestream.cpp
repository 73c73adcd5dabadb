#include "framestream.h"

void FrameStream::clear()
{
    buffer.clear();
    frames = 0;
    dropped = 0;
}

void FrameStream::removeCrBeforeLf(QByteArray &chunk)
{
    char *data = chunk.data();
    const int size = chunk.size();
    int out = 0;
    for (int in = 0; in < size; ++in) {
        if (data[in] == '\r' && in + 1 < size && data[in + 1] == '\n')
            continue;
        data[out++] = data[in];
    }
    chunk.truncate(out);
}

int FrameStream::firstPossibleStart(const unsigned char *bytes, int from, int size)
{
    for (int i = from; i < size; ++i) {
        if (bytes[i] != LevelFrame::StartByte)
            continue;
        if (i + 1 == size || bytes[i + 1] == LevelFrame::StartByte)
            return i;
    }
    return size;
}
