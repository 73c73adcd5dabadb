#include "app/mainwindow.h"
#include "mainwindowprobe.h"
#include "panel/panellayout.h"
#include "panel/panelpainter.h"
#include "panelpixels.h"
#include "testsupport.h"

#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <set>

using namespace PictureLayout;

// The resources are compiled into the static library; without this reference the linker
// drops them. It has to stand outside any namespace.
static void initPictureResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

const QString PanelPath = QStringLiteral(":/resources/png/TessikBackground.png");
const QString MarginPath = QStringLiteral(":/resources/png/OrvaneBackgroundEmpty.png");
const QString SettingsPath = QStringLiteral(":/resources/png/Settings.png");
const QString IconPath = QStringLiteral(":/resources/ico/OrvaneIcon256x256Border.ico");

// The recess a lamp sits in reaches two pixels (and its edge shading one more) beyond it.
bool lampRecessAt(int x, int y)
{
    for (std::size_t pair = 0; pair < StatusLayout::OverLamps.size(); ++pair) {
        const QRect cluster
            = StatusLayout::OverLamps[pair].united(StatusLayout::SilenceLamps[pair]);
        if (cluster.adjusted(-3, -3, 3, 3).contains(x, y))
            return true;
    }
    return StatusLayout::LinkLamp.adjusted(-3, -3, 3, 3).contains(x, y);
}

QString markName(double db)
{
    return db > 0 ? QStringLiteral("+%1 dB").arg(db) : QStringLiteral("%1 dB").arg(db);
}

// Centre of the clock's square, between pixels.
const QPointF ClockCentre(ClockRect.x() + ClockRect.width() / 2.0,
                          ClockRect.y() + ClockRect.height() / 2.0);
const double DiscRadius = ClockRect.width() / 2.0;

} // namespace

Q_DECLARE_METATYPE(PictureLayout::MeterScale)

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pictureSizes_data();
    void pictureSizes();
    void iconHoldsSixSizes();
    void layoutMatchesWindow();
    void drawingAtDesignSizeIsTheDesignPicture_data();
    void drawingAtDesignSizeIsTheDesignPicture();

    void tickOnTheMetersRow_data();
    void tickOnTheMetersRow();
    void numberCentredOnItsTick_data();
    void numberCentredOnItsTick();
    void redZoneBetweenFiveAndZero_data();
    void redZoneBetweenFiveAndZero();

    void clockDiscIsSolidBlackToItsRim();
    void clockDiscIsRoundInItsSquare();
    void bands_data();
    void bands();
    void footerTextAreaIsLight();
    void lampsSitInDarkRecesses_data();
    void lampsSitInDarkRecesses();
    void settingsGearReadsOnTheHeader();
    void groundIsBrushedAlongTheRows_data();
    void groundIsBrushedAlongTheRows();
    void marginTextureMatchesTheGround();

private:
    QImage panel;
    QImage margin;
};

void TestPictures::initTestCase()
{
    initPictureResources();
    panel = QImage(PanelPath).convertToFormat(QImage::Format_ARGB32);
    margin = QImage(MarginPath).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!panel.isNull());
    QVERIFY(!margin.isNull());
}

void TestPictures::pictureSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("design picture") << PanelPath << QSize(PanelWidth, PanelHeight);
    QTest::newRow("margin texture") << MarginPath
                                    << QSize(MarginTextureWidth, MarginTextureHeight);
    QTest::newRow("settings symbol") << SettingsPath
                                     << QSize(SettingsSymbolSize, SettingsSymbolSize);
}

void TestPictures::pictureSizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
}

void TestPictures::iconHoldsSixSizes()
{
    QImageReader reader(IconPath);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), int(IconSizes.size()));
    std::set<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!image.isNull(), qPrintable(QStringLiteral("image %1: ").arg(i)
                                             + reader.errorString()));
        QCOMPARE(image.width(), image.height());
        // Drawn, not blank: the face in the middle is opaque.
        const QRgb middle = image.pixel(image.width() / 2, image.height() * 3 / 4);
        QVERIFY2(qAlpha(middle) == 255, qPrintable(describe(middle)));
        sizes.insert(image.width());
    }
    QCOMPARE(sizes, std::set<int>(IconSizes.begin(), IconSizes.end()));
}

// The pictures are drawn for the window's design rectangles: a widget that moves in the form
// without the pictures being drawn anew would stand beside its scale.
void TestPictures::layoutMatchesWindow()
{
    MainWindow window;
    const QRect *design = MainWindowTestAccess::designRects(window);
    const MeterScale meters[6] = {ScalePairs[0].left, ScalePairs[0].right, ScalePairs[1].left,
                                  ScalePairs[1].right, ScalePairs[2].left, ScalePairs[2].right};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(meters[i].meterRect(), design[i]);
    QCOMPARE(ClockRect, design[6]);
    QCOMPARE(FooterTextRect, design[12]);
    QCOMPARE(SettingsButtonRect, design[13]);
    // The captions and the time label stand on the footer band.
    for (int i : {8, 9, 10, 11}) {
        const int middle = design[i].center().y();
        QVERIFY2(middle > FooterTop && middle < FooterBottom, qPrintable(QString::number(i)));
    }
}

void TestPictures::drawingAtDesignSizeIsTheDesignPicture_data()
{
    QTest::addColumn<bool>("isPanel");
    QTest::newRow("design picture") << true;
    QTest::newRow("margin texture") << false;
}

// The window draws its panel with the drawing the compiled-in pictures were made by: at the
// design size the two must agree, or a window at its design size would show another panel
// than the one these tests read. Text may differ by a font version's rasterising, nothing
// else.
void TestPictures::drawingAtDesignSizeIsTheDesignPicture()
{
    QFETCH(bool, isPanel);
    const QImage drawn = (isPanel ? Panel::draw() : Panel::marginTexture())
                             .convertToFormat(QImage::Format_ARGB32);
    const QImage &stored = isPanel ? panel : margin;
    QCOMPARE(drawn.size(), stored.size());
    QCOMPARE(drawn.devicePixelRatioF(), 1.0);
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x)
            differing += drawn.pixel(x, y) != stored.pixel(x, y);
    }
    QVERIFY2(differing <= drawn.width() * drawn.height() / 200,
             qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
    if (!isPanel)
        return;
    // The tick columns, red zones included, are the meters' law and no font's: exactly alike.
    for (const ScalePair &pair : ScalePairs) {
        for (const MeterScale &meter : {pair.left, pair.right}) {
            for (int y = meter.y - 4; y < meter.y + meter.height + 4; ++y) {
                for (int x = meter.tickLeft; x <= meter.tickRight; ++x)
                    QVERIFY2(drawn.pixel(x, y) == stored.pixel(x, y),
                             qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }
}

void TestPictures::tickOnTheMetersRow_data()
{
    QTest::addColumn<MeterScale>("meter");
    QTest::addColumn<bool>("tickRightOfMeter");
    QTest::addColumn<double>("db");
    for (const ScalePair &pair : ScalePairs) {
        for (double db : ScaleMarks) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(pair.left.name, markName(db))))
                << pair.left << true << db;
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(pair.right.name, markName(db))))
                << pair.right << false << db;
        }
    }
}

// A tick is two rows of ink ending on the row where the meter's bar tops out at that level,
// and the rows around it are clean: a tick a row off, or blurred over three rows, fails.
void TestPictures::tickOnTheMetersRow()
{
    QFETCH(MeterScale, meter);
    QFETCH(bool, tickRightOfMeter);
    QFETCH(double, db);

    // The tick faces its meter from the partner's side, a few columns off the meter.
    const int distance = tickRightOfMeter ? meter.tickLeft - (meter.x + meter.width)
                                          : meter.x - 1 - meter.tickRight;
    QVERIFY2(distance >= 4 && distance <= 8, qPrintable(QString::number(distance)));
    QVERIFY(meter.tickRight - meter.tickLeft >= 7);

    const int row = barTopRow(meter.y, meter.height, db);
    for (int x = meter.tickLeft; x <= meter.tickRight; ++x) {
        for (int y : {row - 1, row}) {
            const QRgb c = panel.pixel(x, y);
            QVERIFY2(isInk(c), qPrintable(QStringLiteral("no ink at %1,%2: %3")
                                              .arg(x)
                                              .arg(y)
                                              .arg(describe(c))));
        }
        for (int y = row - 6; y <= row + 5; ++y) {
            if (y == row - 1 || y == row)
                continue;
            const QRgb c = panel.pixel(x, y);
            QVERIFY2(isGround(c) || isRed(c), qPrintable(QStringLiteral("stray ink at %1,%2: %3")
                                                             .arg(x)
                                                             .arg(y)
                                                             .arg(describe(c))));
        }
    }
}

void TestPictures::numberCentredOnItsTick_data()
{
    QTest::addColumn<int>("pair");
    QTest::addColumn<double>("db");
    const char *const names[3] = {"programme", "sub", "control room"};
    for (int pair = 0; pair < 3; ++pair) {
        for (double db : ScaleMarks)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(names[pair], markName(db))))
                << pair << db;
    }
}

// Between the two tick columns stands a number whose ink is centred on the tick's row: red
// for the +5 mark, ink below.
void TestPictures::numberCentredOnItsTick()
{
    QFETCH(int, pair);
    QFETCH(double, db);
    const ScalePair &scale = ScalePairs[size_t(pair)];
    const int row = barTopRow(scale.left.y, scale.left.height, db);
    const bool red = db > 0.0;

    int top = -1;
    int bottom = -1;
    int left = PanelWidth;
    int right = -1;
    for (int y = row - 8; y <= row + 8; ++y) {
        for (int x = scale.left.tickRight + 1; x < scale.right.tickLeft; ++x) {
            const QRgb c = panel.pixel(x, y);
            if (red ? isRed(c) : isInk(c)) {
                top = top < 0 ? y : top;
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    QVERIFY2(top >= 0, "no number at the mark");
    // Numbers are 8 to 10 rows of ink, centred on the boundary above `row`.
    QVERIFY2(bottom - top + 1 >= 7, qPrintable(QString::number(bottom - top + 1)));
    const double middle = (top + bottom + 1) / 2.0;
    QVERIFY2(std::abs(middle - row) <= 1.0,
             qPrintable(
                 QStringLiteral("ink rows %1..%2 for row %3").arg(top).arg(bottom).arg(row)));
    // Clear of both tick columns.
    QVERIFY(left >= scale.left.tickRight + 2);
    QVERIFY(right <= scale.right.tickLeft - 2);
    const double centre = (left + right + 1) / 2.0;
    QVERIFY2(std::abs(centre - scale.numberCentreX2() / 2.0) <= 1.5,
             qPrintable(QString::number(centre)));
}

void TestPictures::redZoneBetweenFiveAndZero_data()
{
    QTest::addColumn<MeterScale>("meter");
    for (const ScalePair &pair : ScalePairs) {
        QTest::newRow(pair.left.name) << pair.left;
        QTest::newRow(pair.right.name) << pair.right;
    }
}

void TestPictures::redZoneBetweenFiveAndZero()
{
    QFETCH(MeterScale, meter);
    const int five = barTopRow(meter.y, meter.height, 5.0);
    const int zero = barTopRow(meter.y, meter.height, 0.0);
    // The zone lies in the tick column, on the meter's side.
    QVERIFY(meter.redLeft >= meter.tickLeft && meter.redRight <= meter.tickRight);
    QVERIFY(meter.redRight - meter.redLeft >= 2);

    for (int x = meter.redLeft; x <= meter.redRight; ++x) {
        for (int y = five + 1; y <= zero - 2; ++y) {
            const QRgb c = panel.pixel(x, y);
            QVERIFY2(isRed(c), qPrintable(QStringLiteral("not red at %1,%2: %3")
                                              .arg(x)
                                              .arg(y)
                                              .arg(describe(c))));
        }
        // Above +5 and anywhere below 0 the scale has no red.
        for (int y = five - 8; y < meter.y + meter.height + 3; ++y) {
            if (y >= five - 1 && y <= zero)
                continue;
            const QRgb c = panel.pixel(x, y);
            QVERIFY2(!isRed(c), qPrintable(QStringLiteral("red at %1,%2").arg(x).arg(y)));
        }
    }
}

// The analog clock draws green ticks and white dots right up to its rim: every pixel that lies
// wholly inside the circle that fills its square must be black, but for the ON AIR lamp's
// window let into the dial.
void TestPictures::clockDiscIsSolidBlackToItsRim()
{
    QCOMPARE(panel.pixel(552, 290), qRgb(0, 0, 0));
    int checked = 0;
    for (int y = ClockRect.top(); y <= ClockRect.bottom(); ++y) {
        for (int x = ClockRect.left(); x <= ClockRect.right(); ++x) {
            // The pixel corner farthest from the centre.
            const double dx = std::max(std::abs(x - ClockCentre.x()),
                                       std::abs(x + 1 - ClockCentre.x()));
            const double dy = std::max(std::abs(y - ClockCentre.y()),
                                       std::abs(y + 1 - ClockCentre.y()));
            if (std::hypot(dx, dy) > DiscRadius - 0.1
                || StatusLayout::OnAirLamp.adjusted(-3, -3, 3, 3).contains(x, y))
                continue;
            const QRgb c = panel.pixel(x, y);
            QVERIFY2(c == qRgb(0, 0, 0),
                     qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(describe(c))));
            ++checked;
        }
    }
    // Nearly the whole disc, pi * 205^2, less the lamp's window, was looked at.
    QVERIFY(checked > 123000);
}

// Outside the disc the clock's square shows the bezel, then bare metal in its corners.
void TestPictures::clockDiscIsRoundInItsSquare()
{
    constexpr double Pi = 3.14159265358979323846;
    for (int step = 0; step < 36; ++step) {
        const double angle = 2.0 * Pi * step / 36.0;
        const auto at = [&](double radius) {
            return panel.pixel(int(std::floor(ClockCentre.x() + radius * std::cos(angle))),
                               int(std::floor(ClockCentre.y() + radius * std::sin(angle))));
        };
        QCOMPARE(at(200.0), qRgb(0, 0, 0));
        // The bezel ring is metal, lighter than the dial.
        const QRgb bezel = at(DiscRadius + BezelWidth / 2.0 + 0.5);
        QVERIFY2(qGray(bezel) > 70, qPrintable(describe(bezel)));
        const QRgb outside = at(DiscRadius + BezelWidth + 4.0);
        QVERIFY2(isGround(outside), qPrintable(QStringLiteral("angle %1: %2")
                                                   .arg(step * 10)
                                                   .arg(describe(outside))));
    }
    for (const QPoint &corner : {ClockRect.topLeft(), ClockRect.topRight(),
                                 ClockRect.bottomLeft(), ClockRect.bottomRight()})
        QVERIFY2(isGround(panel.pixel(corner)), qPrintable(describe(panel.pixel(corner))));
}

void TestPictures::bands_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("header");
    // Columns clear of the header's lettering and logo; 912 is behind the settings button,
    // whose symbol has a transparent ground.
    for (int x : {14, 300, 740, 790, 912, 970})
        QTest::newRow(qPrintable(QStringLiteral("header at x %1").arg(x))) << x << true;
    // Behind each caption, the time label, and between them.
    for (int x : {14, 104, 180, 260, 552, 880, 970})
        QTest::newRow(qPrintable(QStringLiteral("footer at x %1").arg(x))) << x << false;
}

// The header is a mid grey band from row 27 to 53, the footer a dark one from 506 to 532,
// with bare metal just outside each.
void TestPictures::bands()
{
    QFETCH(int, x);
    QFETCH(bool, header);
    const int top = header ? HeaderTop : FooterTop;
    const int bottom = header ? HeaderBottom : FooterBottom;
    // The edge rows are darker than the band's face.
    for (int y : {top, bottom}) {
        const QRgb edge = panel.pixel(x, y);
        QVERIFY2(qGray(edge) < (header ? 100 : 30), qPrintable(describe(edge)));
    }
    for (int y = top + 2; y <= bottom - 1; ++y) {
        const QRgb c = panel.pixel(x, y);
        const int low = std::min({qRed(c), qGreen(c), qBlue(c)});
        const int high = std::max({qRed(c), qGreen(c), qBlue(c)});
        const bool ok = header ? (low >= 100 && high <= 185 && high - low < 20) : high < 70;
        QVERIFY2(ok, qPrintable(QStringLiteral("row %1: %2").arg(y).arg(describe(c))));
    }
    for (int y : {top - 3, bottom + 4}) {
        // Under the captions the pair's lamps are let into the metal.
        if (!header && y > bottom && lampRecessAt(x, y))
            continue;
        const QRgb c = panel.pixel(x, y);
        QVERIFY2(isGround(c), qPrintable(QStringLiteral("row %1: %2").arg(y).arg(describe(c))));
    }
}

void TestPictures::lampsSitInDarkRecesses_data()
{
    QTest::addColumn<QRect>("lamp");
    QTest::newRow("link") << StatusLayout::LinkLamp;
    const char *const names[] = {"prog", "sub", "crm"};
    for (std::size_t pair = 0; pair < StatusLayout::OverLamps.size(); ++pair) {
        QTest::newRow(qPrintable(QStringLiteral("%1 over").arg(names[pair])))
            << StatusLayout::OverLamps[pair];
        QTest::newRow(qPrintable(QStringLiteral("%1 silence").arg(names[pair])))
            << StatusLayout::SilenceLamps[pair];
    }
}

// Every lamp has a dark slot around it and lit metal just below the slot, as the meters do.
void TestPictures::lampsSitInDarkRecesses()
{
    QFETCH(QRect, lamp);
    const QPoint centre = lamp.center();
    for (const QPoint &p : {QPoint(lamp.left() - 1, centre.y()), QPoint(lamp.right() + 1, centre.y()),
                            QPoint(centre.x(), lamp.top() - 1), QPoint(centre.x(), lamp.bottom() + 1)}) {
        const QRgb c = panel.pixel(p);
        QVERIFY2(qGray(c) < 40, qPrintable(describe(c)));
    }
    const QRgb inside = panel.pixel(centre);
    QVERIFY2(qGray(inside) < 40, qPrintable(describe(inside)));
}

// The footer notice is drawn in the default black: the panel under it stays light.
void TestPictures::footerTextAreaIsLight()
{
    for (int y = FooterTextRect.top(); y <= FooterTextRect.bottom(); ++y)
        for (int x = FooterTextRect.left(); x <= FooterTextRect.right(); ++x)
            QVERIFY2(isGround(panel.pixel(x, y)),
                     qPrintable(QStringLiteral("%1,%2: %3")
                                    .arg(x)
                                    .arg(y)
                                    .arg(describe(panel.pixel(x, y)))));
}

// Shrunk to the button's 25 pixels and laid over the header, the gear still stands out, and
// its hole and corners let the band show through.
void TestPictures::settingsGearReadsOnTheHeader()
{
    const QImage gear = QImage(SettingsPath).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(gear.hasAlphaChannel());
    const int last = gear.width() - 1;
    for (const QPoint &p : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last),
                            QPoint(gear.width() / 2, gear.height() / 2)})
        QCOMPARE(qAlpha(gear.pixel(p)), 0);

    const QImage band = panel.copy(SettingsButtonRect);
    QImage shown = band;
    QPainter painter(&shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(shown.rect(), gear);
    painter.end();

    int contrasting = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (std::abs(qGray(shown.pixel(x, y)) - qGray(band.pixel(x, y))) >= 60)
                ++contrasting;
    // A third of the button's area at least is the gear, clearly set off from the band.
    QVERIFY2(contrasting >= 25 * 25 / 3, qPrintable(QString::number(contrasting)));
    const QPoint middle(12, 12);
    QVERIFY(std::abs(qGray(shown.pixel(middle)) - qGray(band.pixel(middle))) < 30);
}

void TestPictures::groundIsBrushedAlongTheRows_data()
{
    QTest::addColumn<bool>("marginTexture");
    QTest::addColumn<QRect>("area");
    // Bare metal left of the programme meters and right of the control-room meters.
    QTest::newRow("panel, left edge") << false << QRect(6, 60, 40, 440);
    QTest::newRow("panel, right edge") << false << QRect(930, 200, 48, 300);
    QTest::newRow("margin texture")
        << true << QRect(0, 0, MarginTextureWidth, MarginTextureHeight);
}

// Brushed metal changes slowly along a row and faster from row to row, without being a flat
// fill.
void TestPictures::groundIsBrushedAlongTheRows()
{
    QFETCH(bool, marginTexture);
    QFETCH(QRect, area);
    const QImage &image = marginTexture ? margin : panel;
    double alongRows = 0.0;
    double acrossRows = 0.0;
    long count = 0;
    for (int y = area.top(); y < area.bottom(); ++y) {
        for (int x = area.left(); x < area.right(); ++x) {
            const int here = qGray(image.pixel(x, y));
            alongRows += std::abs(here - qGray(image.pixel(x + 1, y)));
            acrossRows += std::abs(here - qGray(image.pixel(x, y + 1)));
            ++count;
        }
    }
    alongRows /= count;
    acrossRows /= count;
    QVERIFY2(acrossRows > 1.5 * alongRows,
             qPrintable(QStringLiteral("%1 along, %2 across").arg(alongRows).arg(acrossRows)));
    QVERIFY2(acrossRows > 1.0 && acrossRows < 8.0, qPrintable(QString::number(acrossRows)));
}

// The margins are stretched around the panel: at the same height both show the same metal.
void TestPictures::marginTextureMatchesTheGround()
{
    for (int band = 0; band < 5; ++band) {
        const int top = 60 + band * 88;
        const auto meanGray = [&](const QImage &image, int left, int width) {
            double sum = 0.0;
            for (int y = top; y < top + 20; ++y)
                for (int x = left; x < left + width; ++x)
                    sum += qGray(image.pixel(x, y));
            return sum / (20.0 * width);
        };
        const double ground = meanGray(panel, 8, 36);
        const double texture = meanGray(margin, 0, MarginTextureWidth);
        QVERIFY2(std::abs(ground - texture) < 6.0,
                 qPrintable(QStringLiteral("rows from %1: panel %2, texture %3")
                                .arg(top)
                                .arg(ground)
                                .arg(texture)));
    }
}

ORVANE_TEST_MAIN(TestPictures)
#include "tst_pictures.moc"
