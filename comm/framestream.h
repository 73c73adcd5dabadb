#pragma once

#include "levelframe.h"

#include <QByteArray>

#include <cstring>

// Turns a serial byte stream, cut into reads wherever the operating system pleases, back into
// level frames. Bytes are appended to a buffer; every 16-byte window that starts with the start
// marker and ends with the end marker is a frame. A byte that cannot start a frame is dropped
// and the search goes on at the next byte, so the stream recovers at the next whole frame after
// a lost, extra or corrupted byte. Between reads the buffer holds at most 15 bytes.
class FrameStream
{
public:
    // Feeds one read; calls onFrame(unsigned char *frame) for every frame completed, in arrival
    // order. The frame is a copy that is valid only during the call.
    template<typename OnFrame>
    void feed(const QByteArray &chunk, OnFrame &&onFrame)
    {
        buffer.append(chunk);
        const auto *bytes = reinterpret_cast<const unsigned char *>(buffer.constData());
        const int size = buffer.size();
        int pos = 0;
        while (size - pos >= LevelFrame::Size) {
            if (LevelFrame::hasMarkers(bytes + pos)) {
                unsigned char frame[LevelFrame::Size];
                std::memcpy(frame, bytes + pos, sizeof frame);
                ++frames;
                pos += LevelFrame::Size;
                onFrame(frame);
            } else {
                ++dropped;
                ++pos;
            }
        }
        const int keep = firstPossibleStart(bytes, pos, size);
        dropped += keep - pos;
        buffer.remove(0, keep);
    }

    // Bytes waiting for the rest of their frame.
    int pending() const { return buffer.size(); }
    // Frames found and bytes thrown away since construction or the last clear().
    quint64 framesFound() const { return frames; }
    quint64 bytesDropped() const { return dropped; }
    void clear();

    // Removes each CR that directly precedes an LF within one read: a sender may have its line
    // ends translated. Only pairs inside the read count; a CR ending the previous read stays.
    static void removeCrBeforeLf(QByteArray &chunk);

private:
    // Index of the first byte in [from, size) that may still begin a frame once more bytes
    // arrive, or size when none can.
    static int firstPossibleStart(const unsigned char *bytes, int from, int size);

    QByteArray buffer;
    quint64 frames = 0;
    quint64 dropped = 0;
};
