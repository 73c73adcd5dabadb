#include "levelframes.h"
#include "panel/panellayout.h"
#include "ptypair.h"
#include "testsupport.h"
#include "widgets/vexoppmmeter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtMath>

#include <cmath>
#include <cstdio>

// The real program on a virtual display of the test's own: the window is resized as a user
// would, and screenshots show by their pixels that the design followed it.

namespace {

// Where the screenshots stay after the run, for a person to look at.
QString shotFolder()
{
    return QDir::tempPath() + QStringLiteral("/orvane-window-xvfb");
}

int luminance(QRgb c)
{
    return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
}

bool isBlack(QRgb c)
{
    return qMax(qRed(c), qMax(qGreen(c), qBlue(c))) < 40;
}

// A meter's bar is strongly coloured; its unlit track, the slot and the metal are not.
bool isLitBar(QRgb c)
{
    const int high = qMax(qRed(c), qMax(qGreen(c), qBlue(c)));
    const int low = qMin(qRed(c), qMin(qGreen(c), qBlue(c)));
    return high - low > 90;
}

// The window as the test expects it at one size: the design picture's offset and factor,
// and the analog clock's place (the worked figures for these sizes).
struct Expected
{
    QSize size;
    QPoint offset;
    double scale;
    QRect clock;

    QPointF toWindow(QPointF design) const { return design * scale + QPointF(offset); }
};

struct Shot
{
    QImage image;
    QString error;
};

} // namespace

class TestWindowXvfb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void windowFollowsItsSize_data();
    void windowFollowsItsSize();

private:
    bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr);
    Shot screenshot();
    QStringList meterFailures(const QImage &image, const Expected &e, bool strict);
    QStringList clockFailures(const QImage &image, const Expected &e);
    QStringList marginFailures(const QImage &image, const Expected &e);

    QProcess xvfb;
    QProcess program;
    QProcessEnvironment displayEnvironment;
    QTemporaryDir config;
    QTemporaryDir work;
    PtyPair line;
    QTimer feeder;
    QString window;
};

bool TestWindowXvfb::run(const QString &tool, const QStringList &args, QByteArray *out)
{
    QProcess process;
    process.setProcessEnvironment(displayEnvironment);
    process.start(tool, args);
    if (!process.waitForStarted(15000))
        return false;
    // Waited for with the event loop running, so that the frames keep coming meanwhile: a
    // screenshot of a large window takes long enough for the bars to drop without them.
    if (!QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 15000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void TestWindowXvfb::initTestCase()
{
    for (const char *tool : { "Xvfb", "xdotool", "import", "socat" })
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is missing (scripts/install-deps)").arg(tool)));
    QVERIFY(QDir().mkpath(shotFolder()));
    QVERIFY(config.isValid() && work.isValid());

    const QString display = OrvaneTest::startOwnXvfb(xvfb, QStringLiteral("3840x2160x24"));
    QVERIFY2(!display.isEmpty(), "Xvfb reported no display");
    displayEnvironment = QProcessEnvironment::systemEnvironment();
    displayEnvironment.insert(QStringLiteral("DISPLAY"), display);
    displayEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    // A real serial line that holds every meter at 0 dB.
    QVERIFY2(line.start(), qPrintable(line.error()));
    connect(&feeder, &QTimer::timeout, this, [this] { line.write(frameOf(50000, 0), 0); });
    feeder.start(20);

    // A settings folder of its own with a serial-only setup: the program can never take the
    // server role here and broadcast.
    {
        QSettings stored(config.path() + QStringLiteral("/Vexo/Unknown.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("is_server"), false);
        stored.setValue(QStringLiteral("use_udp"), false);
        stored.setValue(QStringLiteral("serialport"), line.programEnd());
        // The feeder runs in this test's event loop, which stops while a screenshot is taken:
        // on a busy machine that is longer than the default stale time, and the meters would
        // go down to the floor just as the picture is taken.
        stored.setValue(QStringLiteral("display/stale_time"), 60);
    }
    QProcessEnvironment programEnvironment = displayEnvironment;
    programEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    // Every serial read leaves a debug line; warnings still show.
    programEnvironment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    program.setProcessEnvironment(programEnvironment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(QStringLiteral(ORVANE_METERS_BINARY), QStringList());
    QVERIFY(program.waitForStarted(10000));

    // The first start on a machine builds the font cache: wait for the window, however long.
    const QDeadlineTimer mapped(60000);
    while (window.isEmpty() && !mapped.hasExpired() && program.state() == QProcess::Running) {
        QByteArray found;
        if (run(QStringLiteral("xdotool"),
                { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                  QStringLiteral("--name"), QStringLiteral("^Unknown - \\(") },
                &found))
            window = QString::fromLatin1(found.split('\n').value(0).trimmed());
        if (window.isEmpty())
            QTest::qWait(100);
    }
    QVERIFY2(!window.isEmpty(), "the program's window did not appear");
}

void TestWindowXvfb::cleanupTestCase()
{
    feeder.stop();
    if (program.state() != QProcess::NotRunning) {
        program.terminate();
        if (!program.waitForFinished(10000)) {
            program.kill();
            program.waitForFinished();
        }
    }
    line.stop();
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        if (!xvfb.waitForFinished(10000)) {
            xvfb.kill();
            xvfb.waitForFinished();
        }
    }
}

Shot TestWindowXvfb::screenshot()
{
    const QString file = work.filePath(QStringLiteral("latest.png"));
    QFile::remove(file);
    if (!run(QStringLiteral("import"), { QStringLiteral("-window"), window, file }))
        return { QImage(), QStringLiteral("import failed") };
    QImage image(file);
    if (image.isNull())
        return { image, QStringLiteral("unreadable screenshot") };
    return { image.convertToFormat(QImage::Format_RGB32), QString() };
}

// Each meter, held at 0 dB, must top out on the row of its printed 0 mark. The bar's top and
// the tick are both read from the screenshot; the design only says where to look.
QStringList TestWindowXvfb::meterFailures(const QImage &image, const Expected &e, bool strict)
{
    QStringList failures;
    for (const PictureLayout::ScalePair &pair : PictureLayout::ScalePairs) {
        for (const PictureLayout::MeterScale &meter : { pair.left, pair.right }) {
            const QString name = QString::fromLatin1(meter.name);
            const QPointF top = e.toWindow(QPointF(meter.x + meter.width / 2.0, meter.y));
            const int column = int(top.x());
            const int firstRow = int(top.y()) - 3;
            const int lastRow = int(e.toWindow(QPointF(0, meter.y + meter.height)).y()) + 3;
            int barTop = -1;
            for (int y = firstRow; y <= lastRow && barTop < 0; ++y) {
                // A lit run, not a stray pixel.
                if (isLitBar(image.pixel(column, y)) && isLitBar(image.pixel(column, y + 3)))
                    barTop = y;
            }
            if (barTop < 0) {
                failures << name + QStringLiteral(": no lit bar");
                continue;
            }
            if (!strict)
                continue;

            // The part of the tick that the red zone above 0 dB does not touch.
            const bool leftOfScale = meter.tickLeft > meter.x;
            const double tickColumn = leftOfScale ? (meter.redRight + 1 + meter.tickRight) / 2.0
                                                  : (meter.tickLeft + meter.redLeft - 1) / 2.0;
            const int zeroRow = meter.y + meter.height
                - VexoPPMMeter::barHeightFor(0.0, meter.height, PictureLayout::ScaleMinDb,
                                             PictureLayout::ScaleMaxDb,
                                             PictureLayout::ScaleDinCurve);
            const QPointF mark = e.toWindow(QPointF(tickColumn + 0.5, zeroRow));
            const int x = int(mark.x());
            // The nearest run of dark rows around where the 0 mark should be printed.
            int darkFirst = -1;
            int darkLast = -1;
            for (int y = int(mark.y()) - 8; y <= int(mark.y()) + 8; ++y) {
                const bool dark = luminance(image.pixel(x, y)) < 110;
                if (dark && darkFirst < 0)
                    darkFirst = y;
                if (dark)
                    darkLast = y;
                if (!dark && darkFirst >= 0)
                    break;
            }
            if (darkFirst < 0) {
                failures << name
                        + QStringLiteral(": no 0 mark printed near row %1 at x %2")
                              .arg(mark.y())
                              .arg(x);
                continue;
            }
            // The bar tops out on one of the mark's rows. A gradient bar on a meter of odd
            // height stops a row short of its own law, at the design size too, so the row
            // just below the mark is still on it.
            if (barTop < darkFirst || barTop > darkLast + 1)
                failures << name
                        + QStringLiteral(": bar tops out at row %1, the 0 mark covers rows %2-%3")
                              .arg(barTop)
                              .arg(darkFirst)
                              .arg(darkLast);
        }
    }
    return failures;
}

// The analog clock must sit on the printed black disc: black just inside its rim and in its
// middle above the digital clock, no longer black just outside it.
QStringList TestWindowXvfb::clockFailures(const QImage &image, const Expected &e)
{
    QStringList failures;
    const QPointF centre = QRectF(e.clock).center();
    const double radius = e.clock.width() / 2.0;
    const auto ring = [&](double r, bool wantBlack) {
        int matching = 0;
        const int samples = 720;
        for (int i = 0; i < samples; ++i) {
            const double a = 2 * M_PI * i / samples;
            const QPointF p = centre + QPointF(r * std::cos(a), r * std::sin(a));
            matching += isBlack(image.pixel(qFloor(p.x()), qFloor(p.y()))) == wantBlack;
        }
        return matching * 100 / samples;
    };
    const int inside = ring(radius - 3, true);
    if (inside < 97)
        failures << QStringLiteral("only %1% black just inside the clock's rim").arg(inside);
    const int outside = ring(radius + 6, false);
    if (outside < 97)
        failures << QStringLiteral("%1% black just outside the clock's rim").arg(100 - outside);

    // Above the clock's sync lamp and inside the hands' reach only the dial shows.
    int black = 0;
    int total = 0;
    for (int y = int(centre.y() - 0.55 * radius); y <= int(centre.y() - 0.32 * radius); ++y) {
        for (int x = int(centre.x() - 0.3 * radius); x <= int(centre.x() + 0.3 * radius); ++x) {
            black += isBlack(image.pixel(x, y));
            ++total;
        }
    }
    if (black * 100 < total * 99)
        failures
            << QStringLiteral("the dial's middle is not black (%1 of %2)").arg(black).arg(total);
    return failures;
}

// Outside the centred design the stretched texture shows: metal, neither black nor flat.
QStringList TestWindowXvfb::marginFailures(const QImage &image, const Expected &e)
{
    const QSize canvas = QSize(qRound(986 * e.scale), qRound(580 * e.scale));
    QVector<QRect> margins;
    if (e.offset.x() > 0) {
        margins << QRect(4, 100, e.offset.x() - 8, e.size.height() - 200)
                << QRect(e.offset.x() + canvas.width() + 4, 100, e.offset.x() - 8,
                         e.size.height() - 200);
    } else {
        margins << QRect(100, 4, e.size.width() - 200, e.offset.y() - 8)
                << QRect(100, e.offset.y() + canvas.height() + 4, e.size.width() - 200,
                         e.offset.y() - 8);
    }
    QStringList failures;
    for (const QRect &margin : margins) {
        double sum = 0;
        double squares = 0;
        int n = 0;
        for (int y = margin.top(); y <= margin.bottom(); ++y) {
            for (int x = margin.left(); x <= margin.right(); ++x) {
                const int l = luminance(image.pixel(x, y));
                sum += l;
                squares += double(l) * l;
                ++n;
            }
        }
        const double mean = sum / n;
        const double spread = std::sqrt(qMax(0.0, squares / n - mean * mean));
        if (mean < 100 || spread < 1.5)
            failures << QStringLiteral("margin %1,%2 %3x%4: mean %5, spread %6")
                            .arg(margin.x())
                            .arg(margin.y())
                            .arg(margin.width())
                            .arg(margin.height())
                            .arg(mean)
                            .arg(spread);
    }
    return failures;
}

void TestWindowXvfb::windowFollowsItsSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QRect>("clock");

    QTest::newRow("1920x1080 wider than the design")
        << QSize(1920, 1080) << QPoint(42, 0) << 1.862069 << QRect(690, 158, 763, 763);
    QTest::newRow("1280x1024 taller than the design")
        << QSize(1280, 1024) << QPoint(0, 136) << 1.297363 << QRect(451, 246, 531, 531);
}

void TestWindowXvfb::windowFollowsItsSize()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, offset);
    QFETCH(double, scale);
    QFETCH(QRect, clock);
    const Expected expected { size, offset, scale, clock };

    QVERIFY(run(QStringLiteral("xdotool"),
                { QStringLiteral("windowsize"), window, QString::number(size.width()),
                  QString::number(size.height()) }));

    // Wait until the window shows the new size laid out: the texture fills both margins and
    // all six bars stand lit where the meters now are.
    QStringList pending;
    const QDeadlineTimer settled(30000);
    for (;;) {
        const Shot shot = screenshot();
        pending = QStringList(shot.error);
        if (shot.error.isEmpty()) {
            pending = shot.image.size() == size
                ? marginFailures(shot.image, expected) + meterFailures(shot.image, expected, false)
                : QStringList(QStringLiteral("window is %1x%2")
                                  .arg(shot.image.width())
                                  .arg(shot.image.height()));
        }
        if (pending.isEmpty() || settled.hasExpired())
            break;
        QTest::qWait(100);
    }
    QVERIFY2(pending.isEmpty(), qPrintable(pending.join(QStringLiteral("; "))));

    const Shot shot = screenshot();
    QVERIFY2(shot.error.isEmpty(), qPrintable(shot.error));
    const QString saved
        = shotFolder() + QStringLiteral("/window-%1x%2.png").arg(size.width()).arg(size.height());
    // Written beside and moved into place: another run of this test may be saving too.
    const QString part = work.filePath(QStringLiteral("shot.png"));
    QVERIFY(shot.image.save(part));
    QVERIFY(std::rename(QFile::encodeName(part).constData(), QFile::encodeName(saved).constData())
            == 0);
    qInfo("screenshot: %s", qPrintable(saved));

    QCOMPARE(shot.image.size(), size);
    const QStringList failures = meterFailures(shot.image, expected, true)
        + clockFailures(shot.image, expected) + marginFailures(shot.image, expected);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QStringLiteral("; "))));
    QCOMPARE(program.state(), QProcess::Running);
}

ORVANE_TEST_GUILESS_MAIN(TestWindowXvfb)
#include "tst_window_xvfb.moc"
