// Readable across the room: the real program in full screen on a 1920 x 1080 display of the
// test's own, fed by a real serial line, measured in its screenshots as a presenter would read
// it: the alarms' capitals as tall as the captions' (28 px at least, read to 3 m), a running
// count-down's figures at least half as tall as the clock's (38 px), and hands that stand out
// from the dial (3:1 at least).
#include "levelframes.h"
#include "panel/designlayout.h"
#include "panel/lampstyle.h"
#include "panel/panellayout.h"
#include "programonscreen.h"
#include "ptypair.h"
#include "testsupport.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>
#include <QtMath>

#include <cmath>
#include <functional>

namespace {

const QSize Screen(1920, 1080);

// Where the screenshots stay after the run, for a person to look at.
QString shotFolder()
{
    return QDir::tempPath() + QStringLiteral("/orvane-readable");
}

QRect onScreen(const QRect &design)
{
    return DesignLayout::scaleRect(design, DesignLayout::fitDesign(Screen));
}

// The height of the text in `area`: from the first to the last row that holds a pixel of it.
int textHeight(const QImage &image, const QRect &area, const std::function<bool(QRgb)> &isText)
{
    int first = -1;
    int last = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isText(image.pixel(x, y))) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// A lamp's words, lit (white on red) or not (grey on dark): light in every channel, which
// neither face is.
bool lampWords(QRgb c)
{
    return qMin(qRed(c), qMin(qGreen(c), qBlue(c))) > 90;
}

bool magenta(QRgb c)
{
    return qRed(c) > 150 && qBlue(c) > 150 && qGreen(c) < 160;
}

// A point of the analog clock's face on the screen: radius in face units (100 at the rim),
// angle clockwise from 12 o'clock.
QPoint facePoint(double radius, double degrees)
{
    const QRect clock = onScreen(PictureLayout::ClockRect);
    const QPointF centre(clock.x() + clock.width() / 2, clock.y() + clock.height() / 2);
    const double scale = qMin(clock.width(), clock.height()) / 200.0;
    const double a = qDegreesToRadians(degrees);
    const QPointF p = centre + QPointF(radius * std::sin(a), -radius * std::cos(a)) * scale;
    return QPoint(qFloor(p.x()), qFloor(p.y()));
}

// The contrast of a hand with the dial: its brightest pixel near `at` against the dial just
// inside the hands' ring, on the same line from the centre.
double handContrast(const QImage &image, double radius, double degrees)
{
    const QPoint at = facePoint(radius, degrees);
    QColor hand(Qt::black);
    for (int dy = -3; dy <= 3; ++dy) {
        for (int dx = -3; dx <= 3; ++dx) {
            const QColor c = image.pixelColor(at + QPoint(dx, dy));
            if (c.lightnessF() > hand.lightnessF())
                hand = c;
        }
    }
    return LampStyle::contrast(hand, image.pixelColor(facePoint(66, degrees)));
}

} // namespace

class TestReadable : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void alarmsReadAcrossTheRoom();
    void countDownReadAcrossTheRoom();
    void handsStandOutFromTheDial();

private:
    // A screenshot that `ready` accepts, waited for; saved as NAME.png for a person to see.
    QImage shotWhen(const QString &name, const std::function<bool(const QImage &)> &ready);

    ProgramOnScreen screen;
    QTemporaryDir config;
    PtyPair line;
    QTimer feeder;
};

void TestReadable::initTestCase()
{
    for (const char *tool : { "Xvfb", "xdotool", "import", "socat" })
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is missing (scripts/install-deps)").arg(tool)));
    QVERIFY(QDir().mkpath(shotFolder()));
    QVERIFY(config.isValid());
    QVERIFY2(screen.startScreen(QStringLiteral("1920x1080x24")), qPrintable(screen.error()));

    // Dead air on the programme, an over on the sub pair, the control room moderate.
    QVERIFY2(line.start(), qPrintable(line.error()));
    const QByteArray frame = frameOfLevels({ -46.0, -46.0, 10.0, 10.0, -12.0, -12.0 });
    connect(&feeder, &QTimer::timeout, this, [this, frame] { line.write(frame, 0); });
    feeder.start(20);

    // Serial only and no server role, so nothing is ever sent anywhere.
    {
        QSettings stored(config.path() + QStringLiteral("/Vexo/Unknown.conf"),
                         QSettings::IniFormat);
        stored.setValue(QStringLiteral("is_server"), false);
        stored.setValue(QStringLiteral("use_udp"), false);
        stored.setValue(QStringLiteral("serialport"), line.programEnd());
        // The feeder pauses while a screenshot is taken: on a busy machine that is longer
        // than the default stale time.
        stored.setValue(QStringLiteral("display/stale_time"), 60);
        stored.setValue(QStringLiteral("display/silence_prog_time"), 1);
        stored.setValue(QStringLiteral("clock/count_down"), 45);
    }
    QVERIFY2(screen.startProgram(QStringLiteral(ORVANE_METERS_BINARY),
                                 { QStringLiteral("--fullscreen") }, config.path()),
             qPrintable(screen.error()));
}

void TestReadable::cleanupTestCase()
{
    feeder.stop();
    screen.stop();
    line.stop();
}

QImage TestReadable::shotWhen(const QString &name,
                              const std::function<bool(const QImage &)> &ready)
{
    QImage image;
    const QDeadlineTimer deadline(30000);
    do {
        image = screen.screenshot();
        if (!image.isNull() && image.size() == Screen && ready(image))
            break;
        QTest::qWait(100);
    } while (!deadline.hasExpired());
    image.save(shotFolder() + QLatin1Char('/') + name + QStringLiteral(".png"));
    return image;
}

void TestReadable::alarmsReadAcrossTheRoom()
{
    using namespace StatusLayout;
    // Inside the lamps, clear of their frames.
    const QRect over = onScreen(OverLamps[1]).adjusted(3, 3, -3, -3);
    const QRect silence = onScreen(SilenceLamps[0]).adjusted(3, 3, -3, -3);
    const QRect header = onScreen(LinkLamp).adjusted(3, 3, -3, -3);
    // Lit: the over latched, the silence alarm in its flash's lit half.
    const auto red = [](const QImage &image, const QRect &lamp) {
        const QRgb c = image.pixel(lamp.left() + 2, lamp.center().y());
        return qRed(c) > 180 && qGreen(c) < 60 && qBlue(c) < 60;
    };
    const QImage image = shotWhen(QStringLiteral("alarms"), [&](const QImage &shot) {
        return red(shot, over) && red(shot, silence) && red(shot, header);
    });
    QVERIFY2(red(image, over) && red(image, silence) && red(image, header),
             "the over, silence and header lamps did not light");

    const int overHeight = textHeight(image, over, lampWords);
    const int silenceHeight = textHeight(image, silence, lampWords);
    const int headerHeight = textHeight(image, header, lampWords);
    qInfo("text heights at 1920 x 1080: OVER %d px, SILENCE %d px, header %d px", overHeight,
          silenceHeight, headerHeight);
    QVERIFY2(overHeight >= 28, qPrintable(QString::number(overHeight)));
    QVERIFY2(silenceHeight >= 28, qPrintable(QString::number(silenceHeight)));
    QVERIFY2(headerHeight >= 28, qPrintable(QString::number(headerHeight)));
}

void TestReadable::countDownReadAcrossTheRoom()
{
    QVERIFY(screen.key(QStringLiteral("c")));
    const QRect row = onScreen(StatusLayout::DialRow);
    const QImage image = shotWhen(QStringLiteral("count-down"), [&](const QImage &shot) {
        return textHeight(shot, row, magenta) > 0;
    });
    const int height = textHeight(image, row, magenta);
    qInfo("count-down figures at 1920 x 1080: %d px", height);
    QVERIFY2(height >= 38, qPrintable(QString::number(height)));
    QVERIFY(screen.key(QStringLiteral("Escape")));
}

void TestReadable::handsStandOutFromTheDial()
{
    // The hands' angles from the time around the screenshot, taken again should the minute
    // turn meanwhile.
    QImage image;
    QTime before;
    QTime after;
    for (int attempt = 0; attempt < 3; ++attempt) {
        before = QTime::currentTime();
        image = screen.screenshot();
        after = QTime::currentTime();
        if (before.minute() == after.minute())
            break;
    }
    QVERIFY2(!image.isNull(), qPrintable(screen.error()));
    image.save(shotFolder() + QStringLiteral("/hands.png"));
    const double hour = (before.hour() % 12 + before.minute() / 60.0) * 30.0;
    const double minute = (before.minute() + before.second() / 60.0) * 6.0;
    // Mid-hand: the hour hand reaches from radius 74 to 84, the minute hand from 74 to 92.
    const double hourContrast = handContrast(image, 78, hour);
    const double minuteContrast = handContrast(image, 80, minute);
    qInfo("hands against the dial: hour %.1f:1, minute %.1f:1", hourContrast, minuteContrast);
    QVERIFY2(hourContrast >= 3.0, qPrintable(QString::number(hourContrast)));
    QVERIFY2(minuteContrast >= 3.0, qPrintable(QString::number(minuteContrast)));
}

ORVANE_TEST_GUILESS_MAIN(TestReadable)
#include "tst_readable.moc"
