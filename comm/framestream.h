#pragma once

#include "comm/levelframe.h"

#include <QByteArray>

#include <cstring>
#include <utility>

// Turns a serial byte stream, cut into reads wherever the operating system pleases, back into
// level frames (AA AA, twelve level bytes, 55 55).
//
// Level bytes can look like markers, so a window with good markers is not always a frame: in
// a steady stream whose levels hold AA AA and 55 55, windows at two offsets of every frame
// carry good markers, and the markers alone cannot decide. The line can: a console writes
// whole frames, so a read nearly always ends where a frame ends, and a frame is followed by
// the next one's AA AA. The deframer therefore
//  - uses a read that is exactly one frame with good markers at once, whatever came before,
//    and so a read that is exactly several such frames;
//  - while hunting, takes the earliest window with good markers, unless the bytes after it
//    say it is no frame (they are not AA AA) and it starts with one stray start byte (AA AA
//    AA) from whose second byte on whole frames, all from this read, run exactly to its end;
//  - once a frame has shown the alignment (a read's end or the next AA AA confirmed it),
//    takes the stream 16 bytes at a time from there and hunts again only when a frame at that
//    alignment lacks its markers.
// A byte that cannot start a frame is dropped, so the stream recovers at the next whole frame
// after a lost, extra or corrupted byte. Between reads the buffer holds at most 15 bytes.
class FrameStream
{
public:
    // Feeds one read; calls onFrame(unsigned char *frame) for every frame completed, in arrival
    // order. The frame is a copy that is valid only during the call.
    template<typename OnFrame> void feed(const QByteArray &chunk, OnFrame &&onFrame)
    {
        if (isWholeFrames(chunk)) {
            dropped += quint64(buffer.size());
            buffer.clear();
            aligned = true;
            const auto *frame = reinterpret_cast<const unsigned char *>(chunk.constData());
            for (int at = 0; at < chunk.size(); at += LevelFrame::Size)
                deliver(frame + at, onFrame);
            return;
        }
        const int readStart = buffer.size();
        buffer.append(chunk);
        const auto *bytes = reinterpret_cast<const unsigned char *>(buffer.constData());
        const int size = buffer.size();
        int pos = 0;
        while (size - pos >= LevelFrame::Size) {
            if (aligned) {
                if (LevelFrame::hasMarkers(bytes + pos)) {
                    deliver(bytes + pos, onFrame);
                    pos += LevelFrame::Size;
                    continue;
                }
                aligned = false;
            }
            const int start = huntFrame(bytes, pos, readStart, size, &aligned);
            if (start < 0) {
                const int next = size - (LevelFrame::Size - 1);
                dropped += quint64(next - pos);
                pos = next;
                break;
            }
            dropped += quint64(start - pos);
            deliver(bytes + start, onFrame);
            pos = start + LevelFrame::Size;
        }
        const int keep = firstPossibleStart(bytes, pos, size);
        if (keep != pos)
            aligned = false;
        dropped += quint64(keep - pos);
        buffer.remove(0, keep);
    }

    // One read of a serial line, taken as a display takes it: a CR that a translating sender
    // put before an LF is put right first, then the frames are found. Returns how many CRs went.
    // Whatever watches a line (the meters, a line monitor) reads it through here, so that all
    // of them count the same frames in the same bytes.
    template<typename OnFrame> int readChunk(QByteArray chunk, OnFrame &&onFrame)
    {
        const int before = chunk.size();
        restoreTranslatedLineEnds(chunk);
        feed(chunk, std::forward<OnFrame>(onFrame));
        return before - chunk.size();
    }

    // Bytes waiting for the rest of their frame.
    int pending() const { return buffer.size(); }
    // Frames found and bytes thrown away since construction or the last clear().
    quint64 framesFound() const { return frames; }
    quint64 bytesDropped() const { return dropped; }
    // Whether the stream has shown where its frames start and still keeps to it.
    bool isAligned() const { return aligned; }
    void clear();

    // Removes each CR that directly precedes an LF within one read.
    static void removeCrBeforeLf(QByteArray &chunk);

    // A sender may have its LF translated into CR LF, which puts a CR into a frame whose levels
    // hold 0A. Such a CR is removed only where that makes a frame with good markers out of
    // bytes (those waiting from earlier reads and this read) that otherwise hold none around
    // it; a CR LF in the levels of a good frame stays. Only pairs inside the read count.
    void restoreTranslatedLineEnds(QByteArray &chunk) const;

private:
    template<typename OnFrame> void deliver(const unsigned char *at, OnFrame &onFrame)
    {
        unsigned char frame[LevelFrame::Size];
        std::memcpy(frame, at, sizeof frame);
        ++frames;
        onFrame(frame);
    }

    // Whether the read is one or more whole frames, each with good markers.
    static bool isWholeFrames(const QByteArray &chunk);
    // Start of the frame to take among the windows at [from, size - 16], or -1 when none has
    // good markers; the current read began at readStart. *shown tells whether the read's end
    // or the following bytes confirm it.
    static int huntFrame(const unsigned char *bytes, int from, int readStart, int size,
                         bool *shown);
    // 2: whole frames run from `start` exactly to `size`; 1: what follows begins like AA AA;
    // 0: what follows is no frame's start.
    static int evidence(const unsigned char *bytes, int start, int size);
    // Index of the first byte in [from, size) that may still begin a frame once more bytes
    // arrive, or size when none can.
    static int firstPossibleStart(const unsigned char *bytes, int from, int size);

    QByteArray buffer;
    quint64 frames = 0;
    quint64 dropped = 0;
    bool aligned = false;
};
