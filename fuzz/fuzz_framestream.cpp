// Feeds FrameStream with reads cut from the fuzzer's input and checks what it produces.
//
// Input: a sequence of reads, each a header byte followed by its bytes.
//   header bits 0-5  length of the read (0..63; shorter when the input ends first)
//   header bit 6     restore translated line ends in this read first, as the serial input does
//   header bit 7     clear() the deframer before this read, as a reopened port does
//
// First pass: every frame has good markers and is 16 consecutive bytes of what was fed, after
// the frame before it and completed by the read that produced it; a read that is exactly one
// frame with good markers, or several, is those frames; no byte goes unaccounted for.
// Second pass, the lock: the same reads as junk, then whole frames whose levels come from the
// input, each in a read of its own: every one of them must come out exactly, at once.

#include "comm/framestream.h"
#include "comm/levelframe.h"
#include "fuzzcheck.h"

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int Size = 16;

// The line-end rule written out a second time, byte by byte, so that the deframer's own
// version is checked too.
QByteArray withoutCrBeforeLf(const QByteArray &read)
{
    QByteArray out;
    for (int i = 0; i < read.size(); ++i) {
        if (read[i] == '\r' && i + 1 < read.size() && read[i + 1] == '\n')
            continue;
        out.append(read[i]);
    }
    return out;
}

bool isFrameAt(const QByteArray &stream, int pos)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(stream.constData()) + pos;
    return bytes[0] == 0xAA && bytes[1] == 0xAA && bytes[14] == 0x55 && bytes[15] == 0x55;
}

// Whether `out` is `in` with some of the CRs that stand directly before an LF taken out.
bool onlyCrBeforeLfRemoved(const QByteArray &in, const QByteArray &out)
{
    int j = 0;
    for (int i = 0; i < in.size(); ++i) {
        if (j < out.size() && in[i] == out[j]) {
            ++j;
            continue;
        }
        if (!(in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n'))
            return false;
    }
    return j == out.size();
}

struct Segment
{
    QByteArray stream;
    // End of the last frame produced, in `stream`.
    int lastEnd = 0;
};

void checkCounts(const Segment &segment, const FrameStream &deframer)
{
    FUZZ_CHECK(deframer.pending() >= 0 && deframer.pending() <= Size - 1);
    FUZZ_CHECK(deframer.framesFound() * Size + deframer.bytesDropped() + deframer.pending()
               == quint64(segment.stream.size()));
}

// Feeds one read and checks every frame that it completes.
int feedChecked(FrameStream &deframer, Segment &segment, const QByteArray &read)
{
    const int before = segment.stream.size();
    segment.stream.append(read);
    const int after = segment.stream.size();
    std::vector<QByteArray> produced;
    deframer.feed(read, [&](unsigned char *frame) {
        produced.emplace_back(reinterpret_cast<const char *>(frame), Size);
    });
    for (const QByteArray &frame : produced) {
        FUZZ_CHECK(isFrameAt(frame, 0));
        int at = segment.stream.indexOf(frame, std::max(segment.lastEnd, before - (Size - 1)));
        FUZZ_CHECK(at >= 0 && at + Size <= after);
        segment.lastEnd = at + Size;
    }
    bool wholeFrames = !read.isEmpty() && read.size() % Size == 0;
    for (int at = 0; wholeFrames && at < read.size(); at += Size)
        wholeFrames = isFrameAt(read, at);
    if (wholeFrames) {
        FUZZ_CHECK(produced.size() == std::size_t(read.size() / Size));
        for (std::size_t i = 0; i < produced.size(); ++i)
            FUZZ_CHECK(produced[i] == read.mid(int(i) * Size, Size));
        FUZZ_CHECK(deframer.isAligned() && deframer.pending() == 0);
    }
    checkCounts(segment, deframer);
    return int(produced.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FrameStream deframer;
    FrameStream junked;
    Segment segment;
    Segment junk;

    std::size_t pos = 0;
    while (pos < size) {
        const uint8_t header = data[pos++];
        const std::size_t length = std::min<std::size_t>(header & 0x3F, size - pos);
        QByteArray read(reinterpret_cast<const char *>(data + pos), int(length));
        pos += length;
        feedChecked(junked, junk, read);

        if (header & 0x80) {
            deframer.clear();
            FUZZ_CHECK(deframer.pending() == 0 && deframer.framesFound() == 0
                       && deframer.bytesDropped() == 0 && !deframer.isAligned());
            segment = Segment();
        }
        if (header & 0x40) {
            QByteArray plain = read;
            FrameStream::removeCrBeforeLf(plain);
            FUZZ_CHECK(plain == withoutCrBeforeLf(read));
            const QByteArray raw = read;
            deframer.restoreTranslatedLineEnds(read);
            FUZZ_CHECK(onlyCrBeforeLfRemoved(raw, read));
            // A read that is a good frame as it stands is never changed.
            if (raw.size() == Size && isFrameAt(raw, 0))
                FUZZ_CHECK(read == raw);
        }
        feedChecked(deframer, segment, read);
    }

    // The lock: after any junk, whole frames at any levels, a read each.
    const int frames = size == 0 ? 0 : 1 + int(data[0] % 8);
    for (int k = 0; k < frames; ++k) {
        QByteArray frame(Size, '\0');
        frame[0] = frame[1] = char(0xAA);
        frame[14] = frame[15] = char(0x55);
        for (int j = 0; j < 12; ++j)
            frame[2 + j] = char(data[(std::size_t(k) * 12 + std::size_t(j) + 1) % size]);
        QByteArray read = frame;
        junked.restoreTranslatedLineEnds(read);
        FUZZ_CHECK(read == frame);
        FUZZ_CHECK(feedChecked(junked, junk, read) == 1);
    }
    return 0;
}
