#include "comm/framestream.h"

#include <algorithm>

void FrameStream::clear()
{
    buffer.clear();
    frames = 0;
    dropped = 0;
    aligned = false;
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

namespace {

bool isCrBeforeLf(const QByteArray &data, int i)
{
    return data.at(i) == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n';
}

// Whether a whole 16-byte window of `data` that holds the bytes from `lo` to `hi` has good
// markers.
bool frameSpanning(const QByteArray &data, int lo, int hi)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const int first = std::max(0, hi - (LevelFrame::Size - 1));
    const int last = std::min(lo, data.size() - LevelFrame::Size);
    for (int s = first; s <= last; ++s) {
        if (LevelFrame::hasMarkers(bytes + s))
            return true;
    }
    return false;
}

} // namespace

void FrameStream::restoreTranslatedLineEnds(QByteArray &chunk) const
{
    if (!chunk.contains("\r\n"))
        return;
    // The pending bytes are the start of any frame that this read completes.
    const int from = buffer.size();
    QByteArray data = buffer + chunk;
    for (int i = std::max(from, 1); i < data.size(); ++i) {
        if (!isCrBeforeLf(data, i) || frameSpanning(data, i, i))
            continue;
        // The bytes around the CR as they would be without it. A frame may hold several
        // translated line ends, so those that follow within a frame's length go as well.
        const int base = std::max(0, i - (LevelFrame::Size - 1));
        QByteArray after = data.mid(i, 2 * LevelFrame::Size);
        removeCrBeforeLf(after);
        const QByteArray without = data.mid(base, i - base) + after;
        if (frameSpanning(without, i - 1 - base, i - base)) {
            data.remove(i, 1);
            --i;
        }
    }
    chunk = data.mid(from);
}

bool FrameStream::isWholeFrames(const QByteArray &chunk)
{
    if (chunk.isEmpty() || chunk.size() % LevelFrame::Size != 0)
        return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(chunk.constData());
    for (int at = 0; at < chunk.size(); at += LevelFrame::Size) {
        if (!LevelFrame::hasMarkers(bytes + at))
            return false;
    }
    return true;
}

int FrameStream::evidence(const unsigned char *bytes, int start, int size)
{
    if ((size - start) % LevelFrame::Size == 0) {
        int s = start;
        while (s < size && LevelFrame::hasMarkers(bytes + s))
            s += LevelFrame::Size;
        if (s == size)
            return 2;
    }
    // What has arrived of the next frame's start pair.
    const int after = start + LevelFrame::Size;
    for (int i = after; i < std::min(after + 2, size); ++i) {
        if (bytes[i] != LevelFrame::StartByte)
            return 0;
    }
    return 1;
}

int FrameStream::huntFrame(const unsigned char *bytes, int from, int readStart, int size,
                           bool *shown)
{
    const int lastStart = size - LevelFrame::Size;
    int start = from;
    while (start <= lastStart && !LevelFrame::hasMarkers(bytes + start))
        ++start;
    if (start > lastStart)
        return -1;
    // Of two windows one byte apart, the earlier is the stray byte's only when what follows it
    // is no frame's start and the later one came whole in this read and ends with it.
    // Anything bolder would misread frames whose levels hold start bytes and that garbage
    // follows.
    if (evidence(bytes, start, size) > 0) {
        *shown = true;
        return start;
    }
    const int next = start + 1;
    if (next >= readStart && next <= lastStart && bytes[next + 1] == LevelFrame::StartByte
        && LevelFrame::hasMarkers(bytes + next) && evidence(bytes, next, size) == 2) {
        *shown = true;
        return next;
    }
    *shown = false;
    return start;
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
