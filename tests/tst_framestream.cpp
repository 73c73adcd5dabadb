#include "comm/framestream.h"
#include "comm/levelframe.h"
#include "testsupport.h"

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QSet>

namespace {

// Fixed so that a failure can be replayed; printed by every test that uses it.
constexpr quint32 Seed = 0x0e1a2b3cu;

QByteArray frameOf(const QByteArray &levels)
{
    Q_ASSERT(levels.size() == 12);
    return QByteArray("\xAA\xAA", 2) + levels + QByteArray("\x55\x55", 2);
}

// Twelve random level bytes. With `avoidMarkers` no byte is AA or 55, so that no window can
// look like a frame unless it is one.
QByteArray randomLevels(QRandomGenerator &random, bool avoidMarkers)
{
    QByteArray levels(12, '\0');
    for (char &byte : levels) {
        do {
            byte = char(random.bounded(256));
        } while (avoidMarkers && (uchar(byte) == 0xAA || uchar(byte) == 0x55));
    }
    return levels;
}

// Levels that imitate the markers: start and end bytes inside and at the edges.
QByteArray markerLikeLevels(QRandomGenerator &random)
{
    static const char *const patterns[] = {
        "\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA",
        "\x55\x55\x55\x55\x55\x55\x55\x55\x55\x55\x55\x55",
        "\x55\x55\xAA\xAA\x55\x55\xAA\xAA\x55\x55\xAA\xAA",
        "\xAA\xAA\x01\x02\x03\x04\x05\x06\x07\x08\x55\x55",
    };
    return QByteArray(patterns[random.bounded(4)], 12);
}

bool hasMarkersAt(const QByteArray &stream, int pos)
{
    return LevelFrame::hasMarkers(reinterpret_cast<const unsigned char *>(stream.constData()) + pos);
}

// Whether `piece` bytes from `pos` on are whole windows with good markers.
bool wholeFramesAt(const QByteArray &stream, int pos, int piece)
{
    if (piece == 0 || piece % LevelFrame::Size != 0)
        return false;
    for (int at = pos; at < pos + piece; at += LevelFrame::Size) {
        if (!hasMarkersAt(stream, at))
            return false;
    }
    return true;
}

// Feeds `stream` in pieces of random sizes (empty reads included) and returns the frames the
// deframer produced. Fails the test when the buffer ever holds more than 15 bytes between
// reads. A read of whole 16-byte windows with good markers is taken as frames by design, so
// a piece that would be such a read without starting at one of `frameStarts` is made a byte
// longer.
QList<QByteArray> feedInPieces(FrameStream &deframer, const QByteArray &stream,
                               QRandomGenerator &random, int largestPiece, bool *bounded,
                               const QSet<int> &frameStarts = {})
{
    QList<QByteArray> found;
    *bounded = true;
    int pos = 0;
    while (pos < stream.size()) {
        int piece = qMin(int(random.bounded(largestPiece + 1)), stream.size() - pos);
        if (!frameStarts.contains(pos) && wholeFramesAt(stream, pos, piece))
            piece = qMin(piece + 1, stream.size() - pos);
        deframer.feed(stream.mid(pos, piece), [&found](unsigned char *frame) {
            found.append(QByteArray(reinterpret_cast<const char *>(frame), LevelFrame::Size));
        });
        pos += piece;
        if (deframer.pending() > LevelFrame::Size - 1)
            *bounded = false;
    }
    return found;
}

QList<QByteArray> feedWhole(FrameStream &deframer, const QByteArray &stream)
{
    QList<QByteArray> found;
    deframer.feed(stream, [&found](unsigned char *frame) {
        found.append(QByteArray(reinterpret_cast<const char *>(frame), LevelFrame::Size));
    });
    return found;
}

} // namespace

class TestFrameStream : public QObject
{
    Q_OBJECT

private slots:
    void randomSplittingsKeepEveryFrame_data();
    void randomSplittingsKeepEveryFrame();
    void lostByteRecoversAtNextFrame();
    void markerLikeBytes_data();
    void markerLikeBytes();
    void bufferStaysBounded_data();
    void bufferStaysBounded();
    void clearForgetsPartialFrame();
    void alignmentFromTheLine_data();
    void alignmentFromTheLine();
    void translatedLineEnds_data();
    void translatedLineEnds();
    void crBeforeLfRemoved_data();
    void crBeforeLfRemoved();
};

void TestFrameStream::randomSplittingsKeepEveryFrame_data()
{
    QTest::addColumn<bool>("withGarbage");
    QTest::addColumn<int>("largestPiece");
    QTest::newRow("clean stream, reads up to 40 bytes") << false << 40;
    QTest::newRow("clean stream, reads up to 3 bytes") << false << 3;
    QTest::newRow("garbage between frames, reads up to 40 bytes") << true << 40;
    QTest::newRow("garbage between frames, reads up to 5000 bytes") << true << 5000;
}

// Thousands of streams of 50 frames each, cut at random places. Garbage never contains the
// start byte, so every frame must come out, in order, and every garbage byte must be counted.
void TestFrameStream::randomSplittingsKeepEveryFrame()
{
    QFETCH(bool, withGarbage);
    QFETCH(int, largestPiece);
    qInfo("random seed 0x%08x", Seed);
    QRandomGenerator random(Seed);

    for (int trial = 0; trial < 2000; ++trial) {
        QList<QByteArray> frames;
        QSet<int> starts;
        QByteArray stream;
        qint64 garbageBytes = 0;
        for (int i = 0; i < 50; ++i) {
            if (withGarbage) {
                const int garbage = random.bounded(6);
                for (int g = 0; g < garbage; ++g) {
                    char byte;
                    do {
                        byte = char(random.bounded(256));
                    } while (uchar(byte) == LevelFrame::StartByte);
                    stream.append(byte);
                }
                garbageBytes += garbage;
            }
            const QByteArray frame = frameOf(random.bounded(4) == 0 ? markerLikeLevels(random)
                                                                    : randomLevels(random, false));
            frames.append(frame);
            starts.insert(stream.size());
            stream.append(frame);
        }

        FrameStream deframer;
        bool bounded = false;
        const QList<QByteArray> found
            = feedInPieces(deframer, stream, random, largestPiece, &bounded, starts);
        QVERIFY2(bounded, qPrintable(QStringLiteral("trial %1").arg(trial)));
        QCOMPARE(found.size(), frames.size());
        QCOMPARE(found, frames);
        QCOMPARE(deframer.framesFound(), quint64(frames.size()));
        QCOMPARE(deframer.bytesDropped(), quint64(garbageBytes));
        QCOMPARE(deframer.pending(), 0);
    }
}

// One byte goes missing somewhere in a frame: that frame is lost, the next whole frame and
// all after it come through. Levels avoid marker bytes so that no false frame can form.
void TestFrameStream::lostByteRecoversAtNextFrame()
{
    qInfo("random seed 0x%08x", Seed);
    QRandomGenerator random(Seed);

    for (int trial = 0; trial < 2000; ++trial) {
        QList<QByteArray> frames;
        for (int i = 0; i < 10; ++i)
            frames.append(frameOf(randomLevels(random, true)));
        const int damaged = random.bounded(10);
        const int lostAt = random.bounded(LevelFrame::Size);

        QByteArray stream;
        QList<QByteArray> expected;
        for (int i = 0; i < frames.size(); ++i) {
            QByteArray frame = frames.at(i);
            if (i == damaged)
                frame.remove(lostAt, 1);
            else
                expected.append(frame);
            stream.append(frame);
        }

        FrameStream deframer;
        bool bounded = false;
        const QList<QByteArray> found = feedInPieces(deframer, stream, random, 20, &bounded);
        QVERIFY(bounded);
        QVERIFY2(found == expected,
                 qPrintable(QStringLiteral("trial %1: byte %2 of frame %3 lost")
                                .arg(trial)
                                .arg(lostAt)
                                .arg(damaged)));
        // A damaged last frame may still wait for bytes that will never come.
        QCOMPARE(deframer.bytesDropped() + quint64(deframer.pending()),
                 quint64(LevelFrame::Size - 1));
    }
}

void TestFrameStream::markerLikeBytes_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray allStart = frameOf(QByteArray(12, char(0xAA)));
    const QByteArray allEnd = frameOf(QByteArray(12, char(0x55)));
    const QByteArray plain
        = frameOf(QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c"));

    QTest::newRow("levels all start bytes") << allStart << QList<QByteArray> { allStart };
    QTest::newRow("levels all end bytes") << allEnd << QList<QByteArray> { allEnd };
    QTest::newRow("stray start byte before a frame of start bytes")
        << QByteArray("\xAA", 1) + allStart << QList<QByteArray> { allStart };
    QTest::newRow("stray start pair before a frame")
        << QByteArray("\xAA\xAA", 2) + plain << QList<QByteArray> { plain };
    QTest::newRow("stray end pair between frames")
        << plain + QByteArray("\x55\x55", 2) + allEnd << QList<QByteArray> { plain, allEnd };
    QTest::newRow("three frames with marker-like levels back to back")
        << allStart + allEnd + allStart << QList<QByteArray> { allStart, allEnd, allStart };
    // A byte lost in front of a start pair inside the levels: the window from that pair
    // ends in the next frame's levels, which hold an end pair there. By the rule it is a
    // frame and it swallows the next frame's start; the frame after that comes through.
    const QByteArray startPairInLevels
        = frameOf(QByteArray("\x00\x00\x00\xAA\xAA\x00\x00\x00\x00\x00\x00\x00", 12));
    const QByteArray endPairInLevels
        = frameOf(QByteArray("\x00\x55\x55\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12));
    QByteArray damaged = startPairInLevels;
    damaged.remove(2, 1);
    QTest::newRow("lost byte, false frame from marker-like levels, next frame recovers")
        << damaged + endPairInLevels + plain
        << QList<QByteArray> { damaged.mid(4) + endPairInLevels.left(5), plain };
}

// Every byte of the stream is read alone and then all at once: both must give the frames
// that the rule (start pair, twelve bytes, end pair; else move on by one byte) gives.
void TestFrameStream::markerLikeBytes()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);

    FrameStream whole;
    QCOMPARE(feedWhole(whole, stream), expected);

    FrameStream bytewise;
    QList<QByteArray> found;
    for (char byte : stream)
        found += feedWhole(bytewise, QByteArray(1, byte));
    QCOMPARE(found, expected);
}

void TestFrameStream::bufferStaysBounded_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("pendingAfter");
    QTest::newRow("a megabyte without start bytes") << QByteArray(1 << 20, '\x17') << 0;
    QTest::newRow("ten thousand start bytes") << QByteArray(10000, char(0xAA)) << 15;
    QTest::newRow("start byte, then no second one") << QByteArray("\x01\xAA\x02", 3) << 0;
    QTest::newRow("lone start byte at the end") << QByteArray("\x01\x02\xAA", 3) << 1;
    QTest::newRow("fifteen bytes of a frame") << frameOf(QByteArray(12, '\0')).left(15) << 15;
}

void TestFrameStream::bufferStaysBounded()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, pendingAfter);

    FrameStream deframer;
    QVERIFY(feedWhole(deframer, stream).isEmpty());
    QCOMPARE(deframer.pending(), pendingAfter);
    QCOMPARE(deframer.bytesDropped(), quint64(stream.size() - pendingAfter));
}

void TestFrameStream::clearForgetsPartialFrame()
{
    const QByteArray frame = frameOf(QByteArray(12, '\x10'));
    FrameStream deframer;
    QVERIFY(feedWhole(deframer, frame.left(9)).isEmpty());
    QCOMPARE(deframer.pending(), 9);
    deframer.clear();
    QCOMPARE(deframer.pending(), 0);
    // The tail of the old frame alone is no frame; the next whole one is.
    QCOMPARE(feedWhole(deframer, frame.mid(9) + frame), QList<QByteArray> { frame });
}

void TestFrameStream::crBeforeLfRemoved_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("cleaned");
    QTest::newRow("CR LF") << QByteArray("\r\n") << QByteArray("\n");
    QTest::newRow("CR LF CR LF") << QByteArray("\r\n\r\n") << QByteArray("\n\n");
    QTest::newRow("CR CR LF") << QByteArray("\r\r\n") << QByteArray("\r\n");
    QTest::newRow("LF at the start stays") << QByteArray("\nab") << QByteArray("\nab");
    QTest::newRow("CR at the end stays") << QByteArray("ab\r") << QByteArray("ab\r");
    QTest::newRow("LF CR unchanged") << QByteArray("\n\r") << QByteArray("\n\r");
    QTest::newRow("CR LF inside a frame")
        << frameOf(QByteArray("\x00\x0d\x0a\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12))
        << QByteArray("\xAA\xAA\x00\x0a\x00\x00\x00\x00\x00\x00\x00\x00\x00\x55\x55", 15);
    QTest::newRow("empty read") << QByteArray() << QByteArray();
}

void TestFrameStream::crBeforeLfRemoved()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, cleaned);
    FrameStream::removeCrBeforeLf(read);
    QCOMPARE(read, cleaned);
}

namespace {

QByteArray encoded(std::initializer_list<unsigned short> levels)
{
    Q_ASSERT(levels.size() == LevelFrame::Channels);
    return LevelFrame::encode(levels.begin());
}

// Each read of the line in turn; what the deframer made of them.
QList<QByteArray> feedReads(FrameStream &deframer, const QList<QByteArray> &reads)
{
    QList<QByteArray> found;
    for (const QByteArray &read : reads)
        found += feedWhole(deframer, read);
    return found;
}

} // namespace

void TestFrameStream::alignmentFromTheLine_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<QByteArray>>("expected");

    const QByteArray stray("\xAA", 1);
    // -50 dB everywhere but CrmRight, whose low byte is an end byte.
    const QByteArray lowEnd = encoded({ 0, 0, 0, 0, 0, 0x1055 });
    QTest::newRow("stray start byte and a frame, one read")
        << QList<QByteArray> { stray + lowEnd } << QList<QByteArray> { lowEnd };
    QTest::newRow("stray start byte and a frame, two reads")
        << QList<QByteArray> { stray, lowEnd } << QList<QByteArray> { lowEnd };
    QTest::newRow("stray start byte and a frame, then more frames")
        << QList<QByteArray> { stray + lowEnd, lowEnd + lowEnd }
        << QList<QByteArray> { lowEnd, lowEnd, lowEnd };

    // Windows at two offsets of every frame carry good markers.
    const QByteArray steady = encoded({ 0x5555, 0xAAAA, 1000, 2000, 3000, 4000 });
    QList<QByteArray> midFrame { steady.mid(4) };
    QList<QByteArray> everyFrame;
    for (int i = 0; i < 20; ++i) {
        midFrame.append(steady);
        everyFrame.append(steady);
    }
    QTest::newRow("steady ambiguous levels from mid-frame, a frame a read")
        << midFrame << everyFrame;
    QList<QByteArray> pairs { steady.mid(4) };
    for (int i = 0; i < 10; ++i)
        pairs.append(steady + steady);
    QTest::newRow("steady ambiguous levels from mid-frame, two frames a read")
        << pairs << everyFrame;
    QTest::newRow("steady ambiguous levels from mid-frame, a frame in pieces after the first")
        << QList<QByteArray> { steady.mid(9), steady, steady.left(7), steady.mid(7), steady }
        << QList<QByteArray> { steady, steady, steady };

    // Once shown, the alignment holds even where a window one byte on also has markers.
    const QByteArray allStart = frameOf(QByteArray(12, char(0xAA)));
    const QByteArray endsLow = encoded({ 0xAAAA, 1, 2, 3, 4, 0x5555 });
    QTest::newRow("kept alignment, marker-like levels in pieces")
        << QList<QByteArray> { steady, allStart.left(3), allStart.mid(3) + endsLow.left(1),
                               endsLow.mid(1), steady }
        << QList<QByteArray> { steady, allStart, endsLow, steady };
    QTest::newRow("a whole frame read replaces a partial one")
        << QList<QByteArray> { steady, steady.left(5), lowEnd, steady }
        << QList<QByteArray> { steady, lowEnd, steady };
    QTest::newRow("alignment lost by a missing byte and found again")
        << QList<QByteArray> { steady + steady.left(6) + steady.mid(7) + steady + steady }
        << QList<QByteArray> { steady, steady, steady };
}

// Where level bytes look like markers, the reads' ends and the bytes that follow tell where
// the frames are; once the stream has shown that, the deframer keeps to it.
void TestFrameStream::alignmentFromTheLine()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<QByteArray>, expected);
    FrameStream deframer;
    QCOMPARE(feedReads(deframer, reads), expected);
}

void TestFrameStream::translatedLineEnds_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<int>("dropped");

    // Raw 0x0D0A is -46.662 dB; a low byte 0D before a level of -47.44 to -47.19 dB.
    const QByteArray crLfLevel = encoded({ 0x0D0A, 0x0D0A, 20000, 20000, 0, 0 });
    const QByteArray crLfAcross = encoded({ 0x120D, 0x0A40, 3, 4, 5, 6 });
    QTest::newRow("a level of raw 0D0A, one read")
        << QList<QByteArray> { crLfLevel } << QList<QByteArray> { crLfLevel } << 0;
    QTest::newRow("CR LF across two levels, among other frames")
        << QList<QByteArray> { crLfAcross + crLfLevel + crLfAcross }
        << QList<QByteArray> { crLfAcross, crLfLevel, crLfAcross } << 0;

    // A sender that translates LF into CR LF.
    const QByteArray oneLf = encoded({ 0x0A01, 500, 600, 700, 800, 900 });
    const QByteArray twoLf = encoded({ 0x0A0A, 500, 600, 700, 0x010A, 900 });
    QByteArray translatedOne = oneLf;
    translatedOne.replace("\n", "\r\n");
    QByteArray translatedTwo = twoLf;
    translatedTwo.replace("\n", "\r\n");
    QTest::newRow("translated line end, one read")
        << QList<QByteArray> { translatedOne } << QList<QByteArray> { oneLf } << 0;
    QTest::newRow("three translated line ends in one frame, between good frames")
        << QList<QByteArray> { crLfLevel + translatedTwo + oneLf }
        << QList<QByteArray> { crLfLevel, twoLf, oneLf } << 0;
    QTest::newRow("translated frame after a partial one")
        << QList<QByteArray> { oneLf.left(4), oneLf.mid(4) + translatedOne }
        << QList<QByteArray> { oneLf, oneLf } << 0;
    QTest::newRow("text line before a frame: its CR stays")
        << QList<QByteArray> { QByteArray("hello\r\n") + oneLf } << QList<QByteArray> { oneLf }
        << 7;

    // All six meters at -46.662 dB: every level byte pair is CR LF, and a reader that removed
    // each CR before an LF found no frame at all.
    const QByteArray allCrLf = encoded({ 0x0D0A, 0x0D0A, 0x0D0A, 0x0D0A, 0x0D0A, 0x0D0A });
    QList<QByteArray> fiftyFrames;
    for (int i = 0; i < 50; ++i)
        fiftyFrames.append(allCrLf);
    const QByteArray fifty = fiftyFrames.join();
    QTest::newRow("fifty frames at -46.662 dB, a read ending inside a frame")
        << QList<QByteArray> { fifty.left(100), fifty.mid(100) } << fiftyFrames << 0;
}

// Bytes are taken as they are first; a CR before an LF goes only where that makes a frame out
// of bytes that hold none.
void TestFrameStream::translatedLineEnds()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(int, dropped);
    FrameStream deframer;
    QList<QByteArray> found;
    for (const QByteArray &read : reads) {
        deframer.readChunk(read, [&found](unsigned char *frame) {
            found.append(QByteArray(reinterpret_cast<const char *>(frame), LevelFrame::Size));
        });
    }
    QCOMPARE(found, expected);
    QCOMPARE(deframer.bytesDropped(), quint64(dropped));
}

ORVANE_TEST_GUILESS_MAIN(TestFrameStream)

#include "tst_framestream.moc"
