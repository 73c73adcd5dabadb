#include "app/mainwindow.h"
#include "levelframes.h"
#include "mainwindowprobe.h"
#include "ptypair.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSerialPort>
#include <QTimer>

#include <memory>
#include <sys/resource.h>

Q_DECLARE_METATYPE(QVector<int>)

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestSerialInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithLineParametersAndTitle();
    void frameInPieces_data();
    void frameInPieces();
    void thousandFramesInOneWrite();
    void garbageBetweenFrames();
    void lostByteRecoversAtNextFrame_data();
    void lostByteRecoversAtNextFrame();
    void crLfInLevels();
    void markerLikeLevelsDecodedExactly();
    void crAndLfInSeparateReads();
    void farEndClosedAndReopened();
    void portAppearingLaterIsOpened();
    void unopenablePortNamedInTitle();
    void reconfigurationDropsTargets();
    void refusedPortIsShownUntilItOpens();
    void framesWaitForTheTickWhileLive();

private:
    // Opens the program's end of the line in serial-only mode.
    void connectDisplay();
    QVector<double> levels() const;
    quint64 framesFound() const;
    int pending() const;

    std::unique_ptr<PtyPair> line;
    std::unique_ptr<MainWindow> window;
};

void TestSerialInput::initTestCase()
{
    qRegisterMetaType<QSerialPort::SerialPortError>();
}

void TestSerialInput::init()
{
    line = std::make_unique<PtyPair>();
    QVERIFY2(line->start(), qPrintable(line->error()));
    window = std::make_unique<MainWindow>();
    // These displays never forward: nothing may leave this machine's own namespace.
    comm_st &settings = MainWindowTestAccess::commSettings(*window);
    settings.is_server = false;
    settings.use_udp = false;
    settings.serialport = line->programEnd();
}

void TestSerialInput::cleanup()
{
    window.reset();
    line.reset();
}

void TestSerialInput::connectDisplay()
{
    MainWindowTestAccess::setupCommunication(*window);
    QSerialPort *port = MainWindowTestAccess::serialPort(*window);
    QVERIFY(port);
    QVERIFY2(port->isOpen(), qPrintable(port->errorString()));
}

QVector<double> TestSerialInput::levels() const
{
    const double *targets = MainWindowTestAccess::meterLevels(*window);
    return QVector<double>(targets, targets + LevelFrame::Channels);
}

quint64 TestSerialInput::framesFound() const
{
    return MainWindowTestAccess::serialFrames(*window).framesFound();
}

int TestSerialInput::pending() const
{
    return MainWindowTestAccess::serialFrames(*window).pending();
}

void TestSerialInput::opensWithLineParametersAndTitle()
{
    connectDisplay();
    const QSerialPort *port = MainWindowTestAccess::serialPort(*window);
    QCOMPARE(port->baudRate(QSerialPort::Input), 115200);
    QCOMPARE(port->baudRate(QSerialPort::Output), 115200);
    QCOMPARE(port->dataBits(), QSerialPort::Data8);
    QCOMPARE(port->parity(), QSerialPort::NoParity);
    QCOMPARE(port->stopBits(), QSerialPort::OneStop);
    QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
    QCOMPARE(port->openMode(), QIODevice::ReadWrite);
    QCOMPARE(window->windowTitle(), QStringLiteral("Unknown - (%1)").arg(line->programEnd()));
}

void TestSerialInput::frameInPieces_data()
{
    QTest::addColumn<QVector<int>>("pieces");
    QTest::newRow("whole frame") << QVector<int> { 16 };
    QTest::newRow("5 + 11") << QVector<int> { 5, 11 };
    QTest::newRow("1 + 15") << QVector<int> { 1, 15 };
    QTest::newRow("16 x 1") << QVector<int>(16, 1);
}

// Each piece is written only once the previous one has been read, so the program really sees
// the frame in these pieces: the bytes wait in its deframer until the frame is whole.
void TestSerialInput::frameInPieces()
{
    QFETCH(QVector<int>, pieces);
    connectDisplay();
    const QByteArray frame = frameOf(41000, 1500);

    int written = 0;
    for (int piece : pieces) {
        QVERIFY(line->write(frame.mid(written, piece)));
        written += piece;
        if (written < frame.size())
            QTRY_COMPARE(pending(), written);
    }
    QTRY_COMPARE(framesFound(), quint64(1));
    QCOMPARE(pending(), 0);
    QCOMPARE(levels(), levelsIn(frame));
}

// The line delivers these in reads of about 4 kB that cut frames anywhere.
void TestSerialInput::thousandFramesInOneWrite()
{
    connectDisplay();
    QByteArray stream;
    for (int i = 0; i < 1000; ++i)
        stream += frameOf(static_cast<unsigned short>(i * 60), 7);
    QVERIFY(line->write(stream));

    QTRY_COMPARE(framesFound(), quint64(1000));
    QCOMPARE(MainWindowTestAccess::serialFrames(*window).bytesDropped(), quint64(0));
    QCOMPARE(pending(), 0);
    QCOMPARE(levels(), levelsIn(stream.right(LevelFrame::Size)));
}

void TestSerialInput::garbageBetweenFrames()
{
    connectDisplay();
    const QByteArray garbage[] = {
        QByteArray("hello console\r\n"), QByteArray("\xAA", 1), QByteArray("\xAA\xAA\x01", 3),
        QByteArray("\x55\x55", 2),       QByteArray(7, '\0'),   QByteArray("\xAA\x55\xAA\x55", 4),
    };
    qint64 garbageBytes = 0;
    quint64 frames = 0;
    for (const QByteArray &noise : garbage) {
        // Levels without marker bytes: the garbage cannot pair up with them.
        const QByteArray frame = frameOf(static_cast<unsigned short>(1000 + frames * 3000), 11);
        // The CR LF of the text makes no frame, so the CR stays and is garbage as well.
        garbageBytes += noise.size();
        QVERIFY(line->write(noise + frame));
        ++frames;
        QTRY_COMPARE(framesFound(), frames);
        QCOMPARE(levels(), levelsIn(frame));
    }
    QCOMPARE(MainWindowTestAccess::serialFrames(*window).bytesDropped(), quint64(garbageBytes));
}

void TestSerialInput::lostByteRecoversAtNextFrame_data()
{
    QTest::addColumn<int>("lostAt");
    QTest::newRow("first start byte lost") << 0;
    QTest::newRow("second start byte lost") << 1;
    QTest::newRow("level byte lost") << 7;
    QTest::newRow("first end byte lost") << 14;
    QTest::newRow("last end byte lost") << 15;
}

void TestSerialInput::lostByteRecoversAtNextFrame()
{
    QFETCH(int, lostAt);
    connectDisplay();
    QByteArray damaged = frameOf(30000, 100);
    damaged.remove(lostAt, 1);
    const QByteArray next = frameOf(12000, 2000);
    const QByteArray after = frameOf(3000, 500);

    QVERIFY(line->write(damaged + next));
    QTRY_COMPARE(framesFound(), quint64(1));
    QCOMPARE(levels(), levelsIn(next));
    QVERIFY(line->write(after));
    QTRY_COMPARE(framesFound(), quint64(2));
    QCOMPARE(levels(), levelsIn(after));
}

// Levels whose bytes are CR LF are taken as they are, and a frame into which a translating
// sender put a CR before an LF is found all the same.
void TestSerialInput::crLfInLevels()
{
    connectDisplay();
    const unsigned short raw[LevelFrame::Channels] = { 0x0d0a, 0x0d0a, 20000, 20000, 0, 0 };
    const QByteArray carriesCrLf = LevelFrame::encode(raw);
    QVERIFY(line->write(carriesCrLf));
    QTRY_COMPARE(framesFound(), quint64(1));
    QCOMPARE(levels(), levelsIn(carriesCrLf));
    QCOMPARE(pending(), 0);

    const QByteArray next = frameOf(0x0a00 + 250, 250);
    QByteArray translated = next;
    translated.replace("\n", "\r\n");
    QVERIFY(translated.size() > next.size());
    QVERIFY(line->write(translated));
    QTRY_COMPARE(framesFound(), quint64(2));
    QCOMPARE(levels(), levelsIn(next));
    QCOMPARE(MainWindowTestAccess::serialFrames(*window).bytesDropped(), quint64(0));
}

// Level bytes that look like markers: a stray start byte before a frame whose last level ends
// in an end byte, then a steady stream that starts mid-frame with levels of AA AA and 55 55,
// a frame a write. Every frame is decoded at its own alignment.
void TestSerialInput::markerLikeLevelsDecodedExactly()
{
    connectDisplay();
    const unsigned short lowEnd[LevelFrame::Channels] = { 0, 0, 0, 0, 0, 0x1055 };
    const QByteArray first = LevelFrame::encode(lowEnd);
    QVERIFY(line->write(QByteArray("\xAA", 1) + first));
    QTRY_COMPARE(framesFound(), quint64(1));
    QCOMPARE(levels(), levelsIn(first));

    const unsigned short ambiguous[LevelFrame::Channels] = { 0x5555, 0xAAAA, 100, 200, 300, 400 };
    const QByteArray steady = LevelFrame::encode(ambiguous);
    QVERIFY(line->write(steady.mid(4)));
    QTRY_COMPARE(pending(), LevelFrame::Size - 4);
    for (quint64 i = 2; i < 12; ++i) {
        QVERIFY(line->write(steady));
        QTRY_COMPARE(framesFound(), i);
        QCOMPARE(levels(), levelsIn(steady));
    }
}

// A CR that ends one read and an LF that starts the next are not a pair: the frame is whole.
void TestSerialInput::crAndLfInSeparateReads()
{
    connectDisplay();
    const unsigned short raw[LevelFrame::Channels] = { 0x0d0a, 1000, 2000, 3000, 4000, 5000 };
    const QByteArray frame = LevelFrame::encode(raw);
    QVERIFY(line->write(frame.left(3)));
    QTRY_COMPARE(pending(), 3);
    QVERIFY(line->write(frame.mid(3)));
    QTRY_COMPARE(framesFound(), quint64(1));
    QCOMPARE(levels(), levelsIn(frame));
}

// A vanished device floods the program with read errors while it stays open. The port must
// be closed at once, the program must stay idle, and the same port object must come back by
// itself once the device is there again.
void TestSerialInput::farEndClosedAndReopened()
{
    connectDisplay();
    QSerialPort *port = MainWindowTestAccess::serialPort(*window);
    const QString title = window->windowTitle();
    const QByteArray before = frameOf(45000, 100);
    QVERIFY(line->write(before));
    QTRY_COMPARE(levels(), levelsIn(before));

    QSignalSpy errors(port, &QSerialPort::errorOccurred);
    line->stop();
    QTRY_VERIFY(!port->isOpen());
    QVERIFY(errors.count() > 0);

    // Measure the program while it waits for the device: about a second of its event loop.
    const int errorsBefore = errors.count();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(1000);
    const double cpu = cpuSeconds() - cpuBefore;
    qInfo("CPU %.3f s over %lld ms with the device gone; %d error signals", cpu, wall.elapsed(),
          errors.count() - errorsBefore);
    QVERIFY2(cpu < 0.3, qPrintable(QString::number(cpu)));
    QVERIFY(errors.count() - errorsBefore < 10);
    QCOMPARE(window->windowTitle(), title);

    QVERIFY2(line->start(), qPrintable(line->error()));
    QElapsedTimer back;
    back.start();
    QTRY_VERIFY_WITH_TIMEOUT(port->isOpen(), 3000);
    QCOMPARE(MainWindowTestAccess::serialPort(*window), port);
    const QByteArray after = frameOf(20000, 300);
    QVERIFY(line->write(after));
    QTRY_COMPARE(levels(), levelsIn(after));
    qInfo("input back %lld ms after the device returned", back.elapsed());
    QVERIFY(back.elapsed() < 3000);
    QCOMPARE(window->windowTitle(), title);
}

// An adapter plugged in after the program started is picked up like one that returns.
void TestSerialInput::portAppearingLaterIsOpened()
{
    line->stop();
    MainWindowTestAccess::setupCommunication(*window);
    QSerialPort *port = MainWindowTestAccess::serialPort(*window);
    QVERIFY(port && !port->isOpen());

    QVERIFY2(line->start(), qPrintable(line->error()));
    QTRY_VERIFY_WITH_TIMEOUT(port->isOpen(), 3000);
    const QByteArray frame = frameOf(33000, 900);
    QVERIFY(line->write(frame));
    QTRY_COMPARE(levels(), levelsIn(frame));
}

void TestSerialInput::unopenablePortNamedInTitle()
{
    const QString name = QStringLiteral("/nonexistent/ttyORVANE");
    MainWindowTestAccess::commSettings(*window).serialport = name;
    MainWindowTestAccess::setupCommunication(*window);
    QVERIFY(!MainWindowTestAccess::serialPort(*window)->isOpen());
    QCOMPARE(window->windowTitle(), QStringLiteral("Unknown - (%1)").arg(name));
    QCOMPARE(levels(), QVector<double>(LevelFrame::Channels, -50.0));
}

// Reopening the same port drops the targets to the floor and keeps reading.
void TestSerialInput::reconfigurationDropsTargets()
{
    connectDisplay();
    const QByteArray first = frameOf(50000, 800);
    QVERIFY(line->write(first));
    QTRY_COMPARE(levels(), levelsIn(first));

    connectDisplay();
    QCOMPARE(levels(), QVector<double>(LevelFrame::Channels, -50.0));
    const QByteArray second = frameOf(25000, 800);
    QVERIFY(line->write(second));
    QTRY_COMPARE(levels(), levelsIn(second));
}

// Another program holds the line: the panel names the port until the display has it.
void TestSerialInput::refusedPortIsShownUntilItOpens()
{
    auto holder = std::make_unique<QSerialPort>(line->programEnd());
    QVERIFY2(holder->open(QIODevice::ReadWrite), qPrintable(holder->errorString()));
    MainWindowTestAccess::setupCommunication(*window);
    QVERIFY(!MainWindowTestAccess::serialPort(*window)->isOpen());
    const QLabel *problem = window->findChild<QLabel *>(QStringLiteral("label_problem"));
    QVERIFY(problem);
    QVERIFY(!problem->isHidden());
    // The header lamp names the port, the problem line gives the reason: said once each.
    QCOMPARE(MainWindowTestAccess::onAir(*window)->linkLegend(),
             QStringLiteral("NO LINK ") + line->programEnd());
    QVERIFY2(!problem->text().isEmpty() && !problem->text().contains(line->programEnd()),
             qPrintable(problem->text()));

    holder.reset();
    QTRY_VERIFY_WITH_TIMEOUT(MainWindowTestAccess::serialPort(*window)->isOpen(), 10000);
    QVERIFY(problem->isHidden());
    const QByteArray frame = frameOf(33000, 900);
    QVERIFY(line->write(frame));
    QTRY_COMPARE(levels(), levelsIn(frame));
}

// While the meters move, the release tick reads the line once a refresh instead of the port
// waking the display for every frame: frames 2 ms apart all arrive, in a handful of the port's
// own reads at most. Once the meters rest, the next frame wakes the display at once again.
void TestSerialInput::framesWaitForTheTickWhileLive()
{
    connectDisplay();
    QSerialPort *port = MainWindowTestAccess::serialPort(*window);
    QTimer *tick = MainWindowTestAccess::releaseTimer(*window);
    QSignalSpy wakes(port, &QSerialPort::readyRead);
    constexpr int Frames = 250;
    for (int i = 0; i < Frames; ++i) {
        QVERIFY(line->write(frameOf(static_cast<unsigned short>(3000 + i), 3)));
        QTest::qWait(2);
    }
    QTRY_COMPARE(framesFound(), quint64(Frames));
    QCOMPARE(levels(), levelsIn(frameOf(3000 + Frames - 1, 3)));
    qInfo("%d frames in %d reads of the port's own", Frames, int(wakes.count()));
    QVERIFY2(wakes.count() <= 5, qPrintable(QString::number(wakes.count())));

    // The link goes quiet and the meters fall to the floor; then the tick rests.
    QTRY_VERIFY_WITH_TIMEOUT(!tick->isActive(), 10000);
    const int before = int(wakes.count());
    const QByteArray next = frameOf(30000, 100);
    QVERIFY(line->write(next));
    QTRY_COMPARE_WITH_TIMEOUT(levels(), levelsIn(next), 1000);
    QCOMPARE(int(wakes.count()), before + 1);
}

ORVANE_TEST_MAIN(TestSerialInput)

#include "tst_serialinput.moc"
