// Feeds FrameStream with reads cut from the fuzzer's input and checks every frame it produces
// against a plain scan of the whole stream.
//
// Input: a sequence of reads, each a header byte followed by its bytes.
//   header bits 0-5  length of the read (0..63; shorter when the input ends first)
//   header bit 6     remove CR before LF in this read first, as the serial input does
//   header bit 7     clear() the deframer before this read, as a reopened port does

#include "fuzzcheck.h"
#include "framestream.h"
#include "levelframe.h"

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

// Where the frames of `stream` start when it is read in one piece: a frame wherever a 16-byte
// window has both markers, the search going on after it; otherwise one byte further.
std::vector<int> frameStarts(const QByteArray &stream)
{
    std::vector<int> starts;
    int pos = 0;
    while (stream.size() - pos >= Size) {
        if (isFrameAt(stream, pos)) {
            starts.push_back(pos);
            pos += Size;
        } else {
            ++pos;
        }
    }
    return starts;
}

struct Produced
{
    QByteArray bytes;
    // Stream length before and after the read during which the frame came out.
    int streamBefore;
    int streamAfter;
};

// Everything fed since the last clear() against what the deframer made of it: the same
// frames, each as soon as its last byte was fed, and no byte unaccounted for.
void checkSegment(const QByteArray &stream, const std::vector<Produced> &produced,
                  const FrameStream &deframer)
{
    const std::vector<int> starts = frameStarts(stream);
    FUZZ_CHECK(produced.size() == starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const Produced &frame = produced[i];
        FUZZ_CHECK(frame.bytes == stream.mid(starts[i], Size));
        FUZZ_CHECK(isFrameAt(frame.bytes, 0));
        const int end = starts[i] + Size;
        FUZZ_CHECK(end <= frame.streamAfter && end > frame.streamBefore);
    }
    FUZZ_CHECK(deframer.framesFound() == starts.size());
    FUZZ_CHECK(deframer.framesFound() * Size + deframer.bytesDropped() + deframer.pending()
               == quint64(stream.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FrameStream deframer;
    QByteArray stream;
    std::vector<Produced> produced;

    std::size_t pos = 0;
    while (pos < size) {
        const uint8_t header = data[pos++];
        const std::size_t length = std::min<std::size_t>(header & 0x3F, size - pos);
        QByteArray read(reinterpret_cast<const char *>(data + pos), int(length));
        pos += length;

        if (header & 0x80) {
            checkSegment(stream, produced, deframer);
            deframer.clear();
            FUZZ_CHECK(deframer.pending() == 0 && deframer.framesFound() == 0
                       && deframer.bytesDropped() == 0);
            stream.clear();
            produced.clear();
        }
        if (header & 0x40) {
            const QByteArray expected = withoutCrBeforeLf(read);
            FrameStream::removeCrBeforeLf(read);
            FUZZ_CHECK(read == expected);
        }

        const int before = stream.size();
        stream.append(read);
        const std::size_t producedBefore = produced.size();
        deframer.feed(read, [&](unsigned char *frame) {
            produced.push_back(
                { QByteArray(reinterpret_cast<const char *>(frame), Size), before, 0 });
        });
        for (std::size_t i = producedBefore; i < produced.size(); ++i)
            produced[i].streamAfter = stream.size();
        FUZZ_CHECK(deframer.pending() >= 0 && deframer.pending() <= Size - 1);
        FUZZ_CHECK(deframer.framesFound() == produced.size());
    }
    checkSegment(stream, produced, deframer);
    return 0;
}
