#include "paintcounter.h"
#include "testsupport.h"
#include "widgets/vexoppmmeter.h"
#include "widgets/vexotypes.h"

#include <QImage>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

namespace {

// Counts the paints the meter really receives, so a test can tell which setters ask for one.
using CountingMeter = CountingPaints<VexoPPMMeter>;

QImage render(VexoPPMMeter &meter)
{
    return meter.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestPPMMeter : public QObject
{
    Q_OBJECT

private slots:
    void barHeightOnBothScales_data();
    void barHeightOnBothScales();
    void clampingWritesBack_data();
    void clampingWritesBack();
    void reportsOnlyBarHeightChanges();
    void degenerateScaleGivesNoBar_data();
    void degenerateScaleGivesNoBar();
    void setterRepaints_data();
    void setterRepaints();
    void directLevelWriteCostsNoRepaint();
    void scaleConstantsFollowLimits();
    void solidBarPixels_data();
    void solidBarPixels();
    void gradientBarPixels_data();
    void gradientBarPixels();
    void solidBackgroundMarksZero();
    void barChangeRepaintsEveryChangedRow_data();
    void barChangeRepaintsEveryChangedRow();
    void scaleChangeRepaintsWholeMeter_data();
    void scaleChangeRepaintsWholeMeter();
    void extremeScalesPaint_data();
    void extremeScalesPaint();
    void backgroundImageFromEnvironment();
    void peakMarkReadAndSet();
    void metaObjectNamesAndAliases();
};

void TestPPMMeter::barHeightOnBothScales_data()
{
    QTest::addColumn<bool>("din");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("zeroMark");

    const struct
    {
        double level;
        int bar;
    } power[] = { { 5, 415 },   { 0, 345 },   { -3, 307 },  { -6, 273 }, { -10, 231 },
                  { -20, 147 }, { -30, 83 },  { -40, 35 },  { -50, 0 } };
    for (const auto &row : power)
        QTest::addRow("power law, H 415, %g dB", row.level) << true << 415 << row.level << row.bar
                                                            << 345;
    QTest::newRow("linear, H 415, 0 dB") << false << 415 << 0.0 << 377 << 377;
    QTest::newRow("linear, H 415, -10 dB") << false << 415 << -10.0 << 301 << 377;
    QTest::newRow("linear, H 415, +5 dB") << false << 415 << 5.0 << 415 << 377;
    QTest::newRow("power law, H 200, 0 dB") << true << 200 << 0.0 << 166 << 166;
}

void TestPPMMeter::barHeightOnBothScales()
{
    QFETCH(bool, din);
    QFETCH(int, height);
    QFETCH(double, level);
    QFETCH(int, bar);
    QFETCH(int, zeroMark);

    VexoPPMMeter meter;
    meter.resize(12, height);
    meter.setDINCurve(din);
    meter.dBPosition = level;
    meter.CalculateMeter();
    QCOMPARE(meter.barHeight(), bar);
    QCOMPARE(meter.zeroMarkHeight(), zeroMark);
    // The printed scales are drawn from the same law.
    QCOMPARE(VexoPPMMeter::barHeightFor(level, height, -50.0, 5.0, din), bar);
}

void TestPPMMeter::clampingWritesBack_data()
{
    QTest::addColumn<double>("minDb");
    QTest::addColumn<double>("maxDb");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("clamped");
    QTest::addColumn<int>("bar");

    QTest::newRow("above the top") << -50.0 << 5.0 << 12.0 << 5.0 << 415;
    QTest::newRow("highest raw level") << -50.0 << 5.0 << 15.535 << 5.0 << 415;
    QTest::newRow("below the bottom") << -50.0 << 5.0 << -80.0 << -50.0 << 0;
    QTest::newRow("minus infinity") << -50.0 << 5.0 << -std::numeric_limits<double>::infinity()
                                    << -50.0 << 0;
    QTest::newRow("inside the scale stays") << -50.0 << 5.0 << -20.0 << -20.0 << 147;
    // The upper limit is applied last, so a reversed scale leaves the level at its top.
    QTest::newRow("reversed scale") << 10.0 << -10.0 << 0.0 << -10.0 << 0;
}

void TestPPMMeter::clampingWritesBack()
{
    QFETCH(double, minDb);
    QFETCH(double, maxDb);
    QFETCH(double, level);
    QFETCH(double, clamped);
    QFETCH(int, bar);

    VexoPPMMeter meter;
    meter.resize(12, 415);
    meter.setMindBPosition(minDb);
    meter.setMaxdBPosition(maxDb);
    meter.setdBPosition(level);
    // The setter stores what it is given; only the next calculation clamps.
    QCOMPARE(meter.getdBPosition(), level);
    meter.CalculateMeter();
    QCOMPARE(meter.getdBPosition(), clamped);
    QCOMPARE(meter.barHeight(), bar);
}

void TestPPMMeter::reportsOnlyBarHeightChanges()
{
    VexoPPMMeter meter;
    meter.resize(12, 415);

    // At the bottom the bar is 0, as it was before the first calculation: nothing to report.
    QVERIFY(!meter.CalculateMeter());
    meter.dBPosition = -20.0;
    QVERIFY(meter.CalculateMeter());
    QVERIFY(!meter.CalculateMeter());

    // A level change smaller than a pixel is not a change of the bar.
    meter.dBPosition = -19.9;
    QVERIFY(!meter.CalculateMeter());
    QCOMPARE(meter.barHeight(), 147);

    // A resize that moves only the zero mark (bar at the bottom) is not reported either.
    meter.dBPosition = -50.0;
    QVERIFY(meter.CalculateMeter());
    meter.resize(12, 291);
    QVERIFY(!meter.CalculateMeter());
    QCOMPARE(meter.zeroMarkHeight(), VexoPPMMeter::barHeightFor(0.0, 291, -50.0, 5.0, true));
}

void TestPPMMeter::degenerateScaleGivesNoBar_data()
{
    QTest::addColumn<bool>("din");
    QTest::addColumn<double>("minDb");
    QTest::addColumn<double>("maxDb");
    QTest::addColumn<double>("level");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (bool din : { true, false }) {
        const char *scale = din ? "power law" : "linear";
        QTest::addRow("%s, equal limits", scale) << din << 0.0 << 0.0 << 0.0;
        QTest::addRow("%s, reversed limits", scale) << din << 5.0 << -50.0 << -20.0;
        QTest::addRow("%s, NaN level", scale) << din << -50.0 << 5.0 << nan;
        QTest::addRow("%s, NaN limit", scale) << din << nan << 5.0 << 0.0;
        QTest::addRow("%s, infinite limits", scale) << din << -inf << inf << 0.0;
    }
}

void TestPPMMeter::degenerateScaleGivesNoBar()
{
    QFETCH(bool, din);
    QFETCH(double, minDb);
    QFETCH(double, maxDb);
    QFETCH(double, level);

    VexoPPMMeter meter;
    meter.resize(12, 415);
    meter.setDINCurve(din);
    meter.setMindBPosition(minDb);
    meter.setMaxdBPosition(maxDb);
    meter.dBPosition = level;
    meter.CalculateMeter();
    QCOMPARE(meter.barHeight(), 0);
    QVERIFY(!std::isnan(meter.getdBPosition()) || std::isnan(maxDb));
    // Painting such a meter must not fail either.
    QVERIFY(!render(meter).isNull());
}

void TestPPMMeter::setterRepaints_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("repaints");

    QTest::newRow("level, same value") << "dBPosition" << QVariant(-50.0) << true;
    QTest::newRow("bottom, same value") << "MindBPosition" << QVariant(-50.0) << false;
    QTest::newRow("bottom, new value") << "MindBPosition" << QVariant(-60.0) << true;
    QTest::newRow("top, same value") << "MaxdBPosition" << QVariant(5.0) << false;
    QTest::newRow("top, new value") << "MaxdBPosition" << QVariant(10.0) << true;
    QTest::newRow("release rate, new value") << "ReleasePerSecond" << QVariant(24.0) << false;
    QTest::newRow("curve, same value") << "DINCurve" << QVariant(true) << false;
    QTest::newRow("curve, new value") << "DINCurve" << QVariant(false) << true;
    QTest::newRow("background style, same") << "GradientBackground" << QVariant(true) << false;
    QTest::newRow("background style, new") << "GradientBackground" << QVariant(false) << true;
    QTest::newRow("bar style, same") << "GradientForground" << QVariant(false) << false;
    QTest::newRow("bar style, new") << "GradientForground" << QVariant(true) << true;
    QTest::newRow("bar top colour, same") << "MaxColor" << QVariant(QColor(255, 0, 0)) << true;
    QTest::newRow("bar colour, same") << "MinColor" << QVariant(QColor(0, 255, 0)) << true;
    QTest::newRow("background top colour, same")
        << "MaxBackgroundColor" << QVariant(QColor(64, 0, 0)) << true;
    QTest::newRow("background colour, same")
        << "MinBackgroundColor" << QVariant(QColor(0, 64, 0)) << true;
    QTest::newRow("skin variable, same") << "SkinEnvironmentVariable" << QVariant(QString())
                                         << false;
    QTest::newRow("skin variable, new") << "SkinEnvironmentVariable"
                                        << QVariant(QStringLiteral("ORVANE_NO_SUCH_SKIN")) << true;
    QTest::newRow("skin file, same") << "PPMMeterBackgroundFileName" << QVariant(QString())
                                     << false;
    QTest::newRow("skin file, new") << "PPMMeterBackgroundFileName"
                                    << QVariant(QStringLiteral("none.png")) << true;
}

void TestPPMMeter::setterRepaints()
{
    QFETCH(QString, property);
    QFETCH(QVariant, value);
    QFETCH(bool, repaints);

    CountingMeter meter;
    meter.resize(16, 200);
    QVERIFY(shownAndPainted(meter, meter));
    meter.paints = 0;

    QVERIFY(meter.setProperty(property.toLatin1().constData(), value));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(meter.paints > 0, repaints);
}

void TestPPMMeter::directLevelWriteCostsNoRepaint()
{
    CountingMeter meter;
    meter.resize(16, 200);
    QVERIFY(shownAndPainted(meter, meter));
    meter.paints = 0;

    meter.dBPosition = 0.0;
    QVERIFY(meter.CalculateMeter());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(meter.paints, 0);
    QCOMPARE(meter.barHeight(), 166);
}

void TestPPMMeter::scaleConstantsFollowLimits()
{
    VexoPPMMeter meter;
    meter.resize(12, 100);
    meter.setMindBPosition(-40.0);
    meter.setMaxdBPosition(0.0);
    meter.dBPosition = -20.0;
    meter.CalculateMeter();
    // Halfway in dB on the linear scale is halfway up.
    meter.setDINCurve(false);
    meter.CalculateMeter();
    QCOMPARE(meter.barHeight(), 50);
    // On the power law the middle of the dB range sits below the middle of the bar's travel:
    // (10^(-20/80) - 10^(-40/80)) / (1 - 10^(-40/80)) of 100 pixels.
    meter.setDINCurve(true);
    meter.CalculateMeter();
    QCOMPARE(meter.barHeight(), 35);
    QCOMPARE(meter.zeroMarkHeight(), 100);
}

void TestPPMMeter::solidBarPixels_data()
{
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("bar");

    QTest::newRow("+5 dB fills the meter") << 5.0 << 415;
    QTest::newRow("0 dB") << 0.0 << 345;
    QTest::newRow("-10 dB") << -10.0 << 231;
    QTest::newRow("-20 dB") << -20.0 << 147;
    QTest::newRow("-40 dB") << -40.0 << 35;
}

void TestPPMMeter::solidBarPixels()
{
    QFETCH(double, level);
    QFETCH(int, bar);

    VexoPPMMeter meter;
    meter.resize(12, 415);
    meter.setGradientForground(false);
    meter.dBPosition = level;
    meter.CalculateMeter();
    const QImage image = render(meter);
    const int top = 415 - bar;

    // Green up to the 0 dB point (345 pixels above the bottom), red above it.
    QCOMPARE(QColor(image.pixel(6, 414)), QColor(0, 255, 0));
    const QColor topColour = bar > 345 ? QColor(255, 0, 0) : QColor(0, 255, 0);
    QCOMPARE(QColor(image.pixel(6, top)), topColour);
    QCOMPARE(QColor(image.pixel(0, top)), topColour);
    QCOMPARE(QColor(image.pixel(11, top)), topColour);
    if (top > 0) {
        const QColor above(image.pixel(6, top - 1));
        QVERIFY2(above != QColor(0, 255, 0) && above != QColor(255, 0, 0),
                 qPrintable(above.name()));
    }
    if (bar > 345)
        QCOMPARE(QColor(image.pixel(6, 415 - 345)), QColor(0, 255, 0));
}

void TestPPMMeter::gradientBarPixels_data()
{
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("bar");

    QTest::newRow("-20 dB, below the middle") << -20.0 << 147;
    QTest::newRow("-6 dB, above the middle") << -6.0 << 273;
    QTest::newRow("+5 dB, full") << 5.0 << 415;
}

void TestPPMMeter::gradientBarPixels()
{
    QFETCH(double, level);
    QFETCH(int, bar);

    VexoPPMMeter meter;
    meter.resize(12, 415);
    meter.setGradientForground(true);
    // A plain blue background tells bar from background at a glance.
    meter.setGradientBackground(false);
    meter.setMinBackgroundColor(QColor(0, 0, 255));
    meter.setMaxBackgroundColor(QColor(0, 0, 255));
    meter.dBPosition = level;
    meter.CalculateMeter();
    const QImage image = render(meter);
    const int half = 208;

    // Solid green from the bottom; a bar that ends below the middle is solid throughout.
    QCOMPARE(QColor(image.pixel(6, 414)), QColor(0, 255, 0));
    if (bar <= half) {
        QCOMPARE(QColor(image.pixel(6, 415 - bar)), QColor(0, 255, 0));
        QCOMPARE(QColor(image.pixel(6, 414 - bar)), QColor(0, 0, 255));
        return;
    }
    QCOMPARE(QColor(image.pixel(6, half)), QColor(0, 255, 0));
    // Above it the gradient runs from green at the middle to red at the top edge, so the
    // bar's top pixel is mostly red, more so the higher it is.
    const int gradientTop = half - (bar - half);
    const QColor top(image.pixel(6, gradientTop));
    QVERIFY2(top.blue() == 0 && top.red() > 0, qPrintable(top.name()));
    const double expectedRed = 255.0 * (half - gradientTop - 0.5) / half;
    QVERIFY2(std::abs(top.red() - expectedRed) < 4.0, qPrintable(top.name()));
    if (gradientTop > 0)
        QCOMPARE(QColor(image.pixel(6, gradientTop - 1)), QColor(0, 0, 255));
}

void TestPPMMeter::solidBackgroundMarksZero()
{
    VexoPPMMeter meter;
    meter.resize(8, 291);
    meter.setGradientBackground(false);
    meter.CalculateMeter();
    const int zero = VexoPPMMeter::barHeightFor(0.0, 291, -50.0, 5.0, true);
    QCOMPARE(meter.zeroMarkHeight(), zero);
    const QImage image = render(meter);
    QCOMPARE(QColor(image.pixel(4, 291 - zero)), QColor(0, 64, 0));
    QCOMPARE(QColor(image.pixel(4, 290 - zero)), QColor(64, 0, 0));
    QCOMPARE(QColor(image.pixel(4, 0)), QColor(64, 0, 0));
}

void TestPPMMeter::barChangeRepaintsEveryChangedRow_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("gradientBar");
    QTest::addColumn<bool>("dinCurve");

    // An odd height draws the top row of a gradient bar differently from the same row inside
    // a taller bar.
    QTest::newRow("gradient bar, odd height") << QSize(12, 415) << true << true;
    QTest::newRow("gradient bar, even height") << QSize(22, 772) << true << true;
    QTest::newRow("two-colour bar, linear scale") << QSize(8, 291) << false << false;
}

// After a step of the level the owner repaints only barChange(): painting that band over the
// old picture must give the picture a full repaint gives, for rises and falls alike.
void TestPPMMeter::barChangeRepaintsEveryChangedRow()
{
    QFETCH(QSize, size);
    QFETCH(bool, gradientBar);
    QFETCH(bool, dinCurve);

    VexoPPMMeter meter;
    meter.resize(size);
    meter.setGradientForground(gradientBar);
    meter.setDINCurve(dinCurve);
    const double levels[] = { -50.0, -41.3, -20.0, -6.1, -5.9, -0.2, 0.0, 2.7, 5.0 };
    for (double from : levels) {
        for (double to : levels) {
            meter.dBPosition = from;
            meter.CalculateMeter();
            const int before = meter.barHeight();
            QImage stepped(size, QImage::Format_RGB32);
            meter.render(&stepped, QPoint(), QRegion(), QWidget::RenderFlags());
            meter.dBPosition = to;
            meter.CalculateMeter();
            const QRect band = meter.barChange(before);
            meter.render(&stepped, band.topLeft(), QRegion(band), QWidget::RenderFlags());
            QImage full(size, QImage::Format_RGB32);
            meter.render(&full, QPoint(), QRegion(), QWidget::RenderFlags());
            QVERIFY2(stepped == full, qPrintable(QStringLiteral("from %1 dB to %2 dB")
                                                     .arg(from)
                                                     .arg(to)));
        }
    }
}

namespace {

// The pixels on screen: what the meter painted, each paint into the region it was asked for.
struct Screen
{
    explicit Screen(VexoPPMMeter &m)
        : meter(m)
        , counter(&m)
        , image(m.size(), QImage::Format_RGB32)
    {
        meter.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    }

    // Delivers the repaints asked for since the last call and paints them onto the screen.
    void deliver()
    {
        counter.painted = QRegion();
        flushPaints();
        const QRegion painted = counter.painted;
        if (!painted.isEmpty())
            meter.render(&image, painted.boundingRect().topLeft(), painted,
                         QWidget::RenderFlags());
    }

    VexoPPMMeter &meter;
    PaintCounter counter;
    QImage image;
};

} // namespace

void TestPPMMeter::scaleChangeRepaintsWholeMeter_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("gradientBackground");
    QTest::addColumn<double>("nextLevel");

    for (bool background : { false, true }) {
        const char *look = background ? "gradient background" : "solid background";
        QTest::addRow("top of scale, %s, level moves", look)
            << QByteArray("MaxdBPosition") << QVariant(10.0) << background << -12.0;
        QTest::addRow("top of scale, %s, level rests", look)
            << QByteArray("MaxdBPosition") << QVariant(10.0) << background << -50.0;
        QTest::addRow("bottom of scale, %s, level moves", look)
            << QByteArray("MindBPosition") << QVariant(-30.0) << background << -12.0;
        QTest::addRow("linear curve, %s, level moves", look)
            << QByteArray("DINCurve") << QVariant(false) << background << -12.0;
        QTest::addRow("linear curve, %s, level rests", look)
            << QByteArray("DINCurve") << QVariant(false) << background << -50.0;
    }
}

// After a change of scale or curve the meter's owner goes on repainting only the bar's
// changes, or nothing while the level rests: the screen must show what a full paint shows.
void TestPPMMeter::scaleChangeRepaintsWholeMeter()
{
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);
    QFETCH(bool, gradientBackground);
    QFETCH(double, nextLevel);

    VexoPPMMeter meter;
    meter.resize(12, 415);
    meter.setGradientBackground(gradientBackground);
    meter.setGradientForground(false);
    meter.dBPosition = nextLevel < -49.0 ? -50.0 : -10.0;
    meter.CalculateMeter();
    const PaintCounter first(&meter);
    QVERIFY(shownAndPainted(meter, first));
    Screen screen(meter);

    QVERIFY(meter.setProperty(property.constData(), value));
    screen.deliver();
    if (nextLevel > -49.0) {
        const int before = meter.barHeight();
        meter.dBPosition = nextLevel;
        if (meter.CalculateMeter())
            meter.update(meter.barChange(before));
        screen.deliver();
    }

    // A meter that had the new scale from the start, at the same level.
    VexoPPMMeter reference;
    reference.resize(meter.size());
    reference.setGradientBackground(gradientBackground);
    reference.setGradientForground(false);
    QVERIFY(reference.setProperty(property.constData(), value));
    reference.dBPosition = meter.dBPosition;
    reference.CalculateMeter();
    QImage expected(meter.size(), QImage::Format_RGB32);
    reference.render(&expected, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(screen.image, expected);
}

void TestPPMMeter::extremeScalesPaint_data()
{
    QTest::addColumn<double>("minDb");
    QTest::addColumn<double>("maxDb");
    QTest::addColumn<bool>("din");
    QTest::addColumn<bool>("gradientBar");
    QTest::addColumn<bool>("gradientBackground");

    const double max = std::numeric_limits<double>::max();
    const struct
    {
        const char *name;
        double minDb;
        double maxDb;
    } scales[] = {
        { "10 to 10 + 1e-9", 10.0, 10.0 + 1e-9 },
        { "-10 - 1e-9 to -10", -10.0 - 1e-9, -10.0 },
        { "-1e300 to 1e300", -1e300, 1e300 },
        { "-max to max", -max, max },
        { "-50 to 1e-300", -50.0, 1e-300 },
    };
    for (const auto &scale : scales) {
        for (int look = 0; look < 8; ++look) {
            QTest::addRow("%s, %s, %s bar, %s background", scale.name,
                          look & 1 ? "power law" : "linear", look & 2 ? "gradient" : "solid",
                          look & 4 ? "gradient" : "solid")
                << scale.minDb << scale.maxDb << bool(look & 1) << bool(look & 2)
                << bool(look & 4);
        }
    }
}

// Scales whose heights saturate paint without undefined behaviour (the sanitizer build
// checks this), for every level, with a bar change repainted after each step.
void TestPPMMeter::extremeScalesPaint()
{
    QFETCH(double, minDb);
    QFETCH(double, maxDb);
    QFETCH(bool, din);
    QFETCH(bool, gradientBar);
    QFETCH(bool, gradientBackground);

    VexoPPMMeter meter;
    meter.resize(12, 415);
    meter.setDINCurve(din);
    meter.setGradientForground(gradientBar);
    meter.setGradientBackground(gradientBackground);
    meter.setMindBPosition(minDb);
    meter.setMaxdBPosition(maxDb);
    QImage image(meter.size(), QImage::Format_RGB32);
    for (double level : { -1e308, minDb, 0.0, 10.0, maxDb, 1e308 }) {
        const int before = meter.barHeight();
        meter.dBPosition = level;
        meter.CalculateMeter();
        const QRect band = meter.barChange(before);
        QVERIFY(meter.rect().contains(band) || band.isEmpty());
        meter.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    }
}

void TestPPMMeter::backgroundImageFromEnvironment()
{
    QTemporaryDir skins;
    QVERIFY(skins.isValid());
    QImage skin(12, 100, QImage::Format_ARGB32);
    skin.fill(QColor(200, 100, 50));
    QVERIFY(skin.save(skins.filePath(QStringLiteral("meter.png"))));
    qputenv("ORVANE_TEST_SKIN", skins.path().toUtf8());

    VexoPPMMeter meter;
    meter.resize(12, 100);
    QVERIFY(meter.backgroundImage().isNull());
    meter.setSkinEnvironmentVariable(QStringLiteral("ORVANE_TEST_SKIN"));
    QVERIFY(meter.backgroundImage().isNull());
    meter.setPPMMeterBackgroundFileName(QStringLiteral("meter.png"));
    QCOMPARE(meter.backgroundImage().size(), QSize(12, 100));

    // Opaque background colours cover it; transparent ones let it show.
    QCOMPARE(QColor(render(meter).pixel(6, 99)), QColor(0, 64, 0));
    meter.setMinBackgroundColor(Qt::transparent);
    meter.setMaxBackgroundColor(Qt::transparent);
    QCOMPARE(QColor(render(meter).pixel(6, 99)), QColor(200, 100, 50));

    // The folder is looked up afresh on each load: a variable that now names an empty folder
    // leaves no picture.
    QTemporaryDir empty;
    qputenv("ORVANE_TEST_SKIN", empty.path().toUtf8());
    meter.setPPMMeterBackgroundFileName(QStringLiteral("other.png"));
    meter.setPPMMeterBackgroundFileName(QStringLiteral("meter.png"));
    QVERIFY(meter.backgroundImage().isNull());
    qunsetenv("ORVANE_TEST_SKIN");
}

void TestPPMMeter::peakMarkReadAndSet()
{
    VexoPPMMeter meter;
    meter.resize(16, 200);
    meter.dBPosition = -30.0;
    meter.CalculateMeter();
    // No mark shown: the scale's bottom.
    QCOMPARE(meter.getPeakdB(), -50.0);
    meter.setPeakHold(true);
    QCOMPARE(meter.getPeakdB(), -30.0);
    QVERIFY(meter.setProperty("PeakdB", -10.0));
    QCOMPARE(meter.property("PeakdB").toDouble(), -10.0);
    QCOMPARE(meter.peakHeight(), VexoPPMMeter::barHeightFor(-10.0, 200, -50.0, 5.0, true));
    // Never below the bar.
    meter.setPeakdB(-40.0);
    QCOMPARE(meter.getPeakdB(), -30.0);
}

void TestPPMMeter::metaObjectNamesAndAliases()
{
    const QMetaObject &meta = VexoPPMMeter::staticMetaObject;
    const QStringList expected = {
        "dBPosition",         "MindBPosition",      "MaxdBPosition",
        "ReleasePerSecond",   "DINCurve",           "GradientBackground",
        "GradientForground",  "MaxColor",           "MinColor",
        "MaxBackgroundColor", "MinBackgroundColor", "SkinEnvironmentVariable",
        "PPMMeterBackgroundFileName", "PeakHold",       "PeakHoldTime",
        "PeakFallPerSecond",  "PeakColor",          "PeakMarkHeight",
        "PeakdB",
        "PaintedByOwner",
    };
    QStringList names;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        QVERIFY(property.isReadable() && property.isWritable() && property.isStored());
        QVERIFY(!property.hasNotifySignal());
        names << QString::fromLatin1(property.name());
    }
    QCOMPARE(names, expected);

    QCOMPARE(meta.methodCount() - meta.methodOffset(), 2);
    const QMetaMethod slot = meta.method(meta.methodOffset());
    QCOMPARE(slot.methodSignature(), QByteArray("setdBPosition(double_db)"));
    QCOMPARE(slot.parameterNames(), QList<QByteArray>() << "NewdBPosition");
    QCOMPARE(meta.method(meta.methodOffset() + 1).methodSignature(), QByteArray("resetPeak()"));

    registerVexoTypes();
    QCOMPARE(QMetaType::type("double_db"), int(QMetaType::Double));
    QCOMPARE(QMetaType::type("double_position"), int(QMetaType::Double));
    QCOMPARE(QMetaType::type("double_phase"), int(QMetaType::Double));
    QCOMPARE(QMetaType::type("int_number"), int(QMetaType::Int));
    QCOMPARE(QMetaType::type("char_none"), int(QMetaType::Char));

    // With the aliases known, the slot can be invoked by its signature.
    VexoPPMMeter meter;
    QVERIFY(QMetaObject::invokeMethod(&meter, "setdBPosition", Q_ARG(double_db, -12.5)));
    QCOMPARE(meter.getdBPosition(), -12.5);
}

ORVANE_TEST_MAIN(TestPPMMeter)
#include "tst_ppmmeter.moc"
