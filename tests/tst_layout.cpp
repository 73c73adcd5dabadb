#include "mainwindowprobe.h"
#include "panel/designlayout.h"
#include "testsupport.h"
#include "widgets/mylabel.h"
#include "widgets/vexodigitalclock.h"
#include "widgets/vexoppmmeter.h"

#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPixmap>
#include <QTimer>

#include <vector>

namespace {

using Access = MainWindowTestAccess;

// The fourteen scaled widgets in the order of the design rectangles.
std::vector<QWidget *> designedWidgets(MainWindow &window)
{
    const auto named = [&window](const char *name) {
        return window.findChild<QWidget *>(QString::fromLatin1(name));
    };
    return { named("ProgLeft"),          named("ProgRight"),
             named("SubLeft"),           named("SubRight"),
             named("CrmLeft"),           named("CrmRight"),
             named("AnalogClock"),       named("DigitalClock"),
             Access::caption(window, 1), Access::caption(window, 2),
             Access::caption(window, 3), named("timelabel"),
             named("footerlabel"),       Access::settingsLabel(window) };
}

QLabel *timeLabel(MainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("timelabel"));
}

QLabel *footerLabel(MainWindow &window)
{
    return window.findChild<QLabel *>(QStringLiteral("footerlabel"));
}

VexoDigitalClock *digitalClock(MainWindow &window)
{
    return window.findChild<VexoDigitalClock *>(QStringLiteral("DigitalClock"));
}

// Shows the window at `size` and waits until the first paint has laid it out.
bool showLaidOut(MainWindow &window, QSize size)
{
    window.resize(size);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    return QTest::qWaitFor([&window] { return !Access::resized(window); }, 10000)
        && window.size() == size;
}

// Everything a relayout changes, to tell whether one happened.
struct LayoutState
{
    std::vector<QRect> geometries;
    std::vector<QFont> fonts;
    QFont timeFont;
    QFont dateFont;
    qint64 backgroundKey;
    qint64 emptyBackgroundKey;

    static LayoutState of(MainWindow &window)
    {
        LayoutState state;
        for (QWidget *widget : designedWidgets(window)) {
            state.geometries.push_back(widget->geometry());
            state.fonts.push_back(widget->font());
        }
        state.timeFont = digitalClock(window)->getTimeDisplayFont();
        state.dateFont = digitalClock(window)->getDateDisplayFont();
        state.backgroundKey = Access::scaledBackground(window)->cacheKey();
        state.emptyBackgroundKey = Access::scaledEmptyBackground(window)->cacheKey();
        return state;
    }

    bool operator==(const LayoutState &o) const
    {
        return geometries == o.geometries && fonts == o.fonts && timeFont == o.timeFont
            && dateFont == o.dateFont && backgroundKey == o.backgroundKey
            && emptyBackgroundKey == o.emptyBackgroundKey;
    }
};

// Watches the window's paints: whether each one found a relayout due, what it covered, and
// which scaled picture was current when it began (a new one means the previous paint
// rescaled).
class PaintLog : public QObject
{
public:
    struct Entry
    {
        bool relayoutDue;
        QRect rect;
        qint64 backgroundKey;
    };

    explicit PaintLog(MainWindow &w)
        : window(w)
    {
        window.installEventFilter(this);
    }

    std::vector<Entry> entries;

    int rescales() const
    {
        int count = 0;
        qint64 key = entries.empty() ? 0 : entries.front().backgroundKey;
        for (const Entry &entry : entries) {
            count += entry.backgroundKey != key;
            key = entry.backgroundKey;
        }
        if (!entries.empty())
            count += Access::scaledBackground(window)->cacheKey() != key;
        return count;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &window && event->type() == QEvent::Paint) {
            entries.push_back({ Access::resized(window), static_cast<QPaintEvent *>(event)->rect(),
                                Access::scaledBackground(window)->cacheKey() });
        }
        return false;
    }

private:
    MainWindow &window;
};

// Counts the resize events one widget receives.
class ResizeCounter : public QObject
{
public:
    explicit ResizeCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Resize;
        return false;
    }
};

// True when `patch` of `picture` appears unchanged in `image` with its top-left at `at`.
bool patchDrawnAt(const QImage &image, const QImage &picture, const QRect &patch, QPoint at)
{
    for (int y = patch.top(); y <= patch.bottom(); ++y) {
        for (int x = patch.left(); x <= patch.right(); ++x) {
            if (image.pixel(at.x() + x, at.y() + y) != picture.pixel(x, y))
                return false;
        }
    }
    return true;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fitDesign_data();
    void fitDesign();
    void scaleRect_data();
    void scaleRect();

    void relayoutAtSize_data();
    void relayoutAtSize();
    void captionFontCarriesOverToTimeLabel();
    void resizeOnlyRecordsTheSize();
    void burstOfResizesGivesOneRelayout();
    void relayoutIsFollowedByAFullPaint();
    void paintWithoutResizeChangesNothing();
    void missingDesignPictureKeepsTheDesign();
    void missingTextureLeavesMarginsBare();
    void picturesStayWithinTheirLimit();
};

void TestLayout::init()
{
    OrvaneTest::isolatedSettings().clear();
}

void TestLayout::fitDesign_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<double>("scale");

    QTest::newRow("design size 986x580")
        << QSize(986, 580) << QSize(986, 580) << QPoint(0, 0) << 1.0;
    QTest::newRow("twice the design 1972x1160")
        << QSize(1972, 1160) << QSize(1972, 1160) << QPoint(0, 0) << 2.0;
    QTest::newRow("wider 1920x1080")
        << QSize(1920, 1080) << QSize(1836, 1080) << QPoint(42, 0) << 1.862069;
    QTest::newRow("taller 1280x1024")
        << QSize(1280, 1024) << QSize(1280, 752) << QPoint(0, 136) << 1.297363;
    QTest::newRow("odd margin truncates 1921x1080")
        << QSize(1921, 1080) << QSize(1836, 1080) << QPoint(42, 0) << 1.862069;
    QTest::newRow("wide strip 4000x580")
        << QSize(4000, 580) << QSize(986, 580) << QPoint(1507, 0) << 1.0;
    QTest::newRow("tall strip 986x2000")
        << QSize(986, 2000) << QSize(986, 580) << QPoint(0, 710) << 1.0;
    // Canvas 1000 x 588: the quotients are 1.013793 and 1.014199; the factor is their mean.
    QTest::newRow("quotients differ 1000x700")
        << QSize(1000, 700) << QSize(1000, 588) << QPoint(0, 56) << 1.013996;
}

void TestLayout::fitDesign()
{
    QFETCH(QSize, window);
    QFETCH(QSize, canvas);
    QFETCH(QPoint, offset);
    QFETCH(double, scale);

    const DesignLayout::Fit fit = DesignLayout::fitDesign(window);
    QCOMPARE(QSize(fit.canvasWidth, fit.canvasHeight), canvas);
    QCOMPARE(QPoint(fit.offsetX, fit.offsetY), offset);
    QVERIFY2(qAbs(fit.scale - scale) < 1e-6, qPrintable(QString::number(fit.scale, 'f', 7)));
}

void TestLayout::scaleRect_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("design");
    QTest::addColumn<QRect>("scaled");

    QTest::newRow("ProgLeft at 1920x1080")
        << QSize(1920, 1080) << QRect(54, 73, 12, 415) << QRect(142, 135, 22, 772);
    QTest::newRow("CrmLeft at 1920x1080")
        << QSize(1920, 1080) << QRect(844, 199, 8, 291) << QRect(1613, 370, 14, 541);
    QTest::newRow("AnalogClock at 1280x1024")
        << QSize(1280, 1024) << QRect(348, 85, 410, 410) << QRect(451, 246, 531, 531);
    QTest::newRow("settingsLabel at 1972x1160")
        << QSize(1972, 1160) << QRect(900, 28, 25, 25) << QRect(1800, 56, 50, 50);
    // At 1003 x 600 the factor is 1.0172414 in single precision; 58 times it is 58.9999988,
    // which single precision rounds to 59 before the truncation (double precision gives 58).
    QTest::newRow("single-precision products at 1003x600")
        << QSize(1003, 600) << QRect(58, 116, 174, 232) << QRect(59, 5 + 118, 177, 236);
}

void TestLayout::scaleRect()
{
    QFETCH(QSize, window);
    QFETCH(QRect, design);
    QFETCH(QRect, scaled);

    QCOMPARE(DesignLayout::scaleRect(design, DesignLayout::fitDesign(window)), scaled);
}

void TestLayout::relayoutAtSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("progLeft");
    QTest::addColumn<QRect>("crmLeft");
    QTest::addColumn<QRect>("analogClock");
    QTest::addColumn<QRect>("labelMeter1");
    QTest::addColumn<QRect>("settingsLabel");
    QTest::addColumn<QVector<int>>("fonts"); // caption, footer, time, date
    QTest::addColumn<QRect>("picture"); // where scaledBackground is drawn

    QTest::newRow("986x580 design size")
        << QSize(986, 580) << QRect(54, 73, 12, 415) << QRect(844, 199, 8, 291)
        << QRect(348, 85, 410, 410) << QRect(44, 502, 121, 31) << QRect(900, 28, 25, 25)
        << QVector<int> { 15, 8, 40, 24 } << QRect(0, 0, 986, 580);
    QTest::newRow("1972x1160 twice the design")
        << QSize(1972, 1160) << QRect(108, 146, 24, 830) << QRect(1688, 398, 16, 582)
        << QRect(696, 170, 820, 820) << QRect(88, 1004, 242, 62) << QRect(1800, 56, 50, 50)
        << QVector<int> { 30, 16, 80, 48 } << QRect(0, 0, 1972, 1160);
    QTest::newRow("1920x1080 wider than the design")
        << QSize(1920, 1080) << QRect(142, 135, 22, 772) << QRect(1613, 370, 14, 541)
        << QRect(690, 158, 763, 763) << QRect(123, 934, 225, 57) << QRect(1717, 52, 46, 46)
        << QVector<int> { 27, 14, 74, 44 } << QRect(42, 0, 1836, 1080);
    QTest::newRow("1280x1024 taller than the design")
        << QSize(1280, 1024) << QRect(70, 230, 15, 538) << QRect(1094, 394, 10, 377)
        << QRect(451, 246, 531, 531) << QRect(57, 787, 156, 40) << QRect(1167, 172, 32, 32)
        << QVector<int> { 19, 10, 51, 31 } << QRect(0, 136, 1280, 752);
}

void TestLayout::relayoutAtSize()
{
    QFETCH(QSize, size);
    QFETCH(QRect, progLeft);
    QFETCH(QRect, crmLeft);
    QFETCH(QRect, analogClock);
    QFETCH(QRect, labelMeter1);
    QFETCH(QRect, settingsLabel);
    QFETCH(QVector<int>, fonts);
    QFETCH(QRect, picture);

    MainWindow window;
    const std::vector<QWidget *> widgets = designedWidgets(window);
    // A meter held at 0 dB, so that its bar shows whether the relayout recomputed it.
    Access::releaseTimer(window)->stop();
    auto *meter = static_cast<VexoPPMMeter *>(widgets[0]);
    meter->setdBPosition(0.0);
    meter->CalculateMeter();

    QVERIFY(showLaidOut(window, size));
    QCOMPARE(Access::windowSize(window), size);
    const struct
    {
        QWidget *widget;
        QRect rect;
    } expected[] = { { widgets[0], progLeft },
                     { widgets[4], crmLeft },
                     { widgets[6], analogClock },
                     { widgets[8], labelMeter1 },
                     { widgets[13], settingsLabel } };
    for (const auto &e : expected) {
        QCOMPARE(e.widget->geometry(), e.rect);
        // Children of the window and of the central widget share one origin.
        QCOMPARE(e.widget->mapTo(&window, QPoint(0, 0)), e.rect.topLeft());
    }
    // Every one of the fourteen takes its own design rectangle, whatever the handling order.
    const DesignLayout::Fit fit = DesignLayout::fitDesign(size);
    for (int i = 0; i < 14; ++i)
        QCOMPARE(widgets[i]->geometry(),
                 DesignLayout::scaleRect(Access::designRects(window)[i], fit));

    for (QWidget *caption : { widgets[8], widgets[9], widgets[10], widgets[11] })
        QCOMPARE(caption->font().pointSize(), fonts[0]);
    QCOMPARE(footerLabel(window)->font().pointSize(), fonts[1]);
    QCOMPARE(digitalClock(window)->getTimeDisplayFont().pointSize(), fonts[2]);
    QCOMPARE(digitalClock(window)->getDateDisplayFont().pointSize(), fonts[3]);

    QCOMPARE(meter->barHeight(),
             VexoPPMMeter::barHeightFor(0.0, progLeft.height(), -50.0, 5.0, true));

    // What the window shows: the design picture at its place, the texture in the margins.
    const QImage design = Access::scaledBackground(window)->toImage();
    const QImage texture = Access::scaledEmptyBackground(window)->toImage();
    QCOMPARE(design.size(), picture.size());
    QCOMPARE(texture.size(), size);
    const QImage shown = window.grab().toImage();
    QCOMPARE(shown.size(), size);
    const int patch = 24;
    const QRect corners[] = {
        QRect(0, 0, patch, patch),
        QRect(picture.width() - patch, 0, patch, patch),
        QRect(0, picture.height() - patch, patch, patch),
        QRect(picture.width() - patch, picture.height() - patch, patch, patch),
    };
    for (const QRect &corner : corners)
        QVERIFY2(patchDrawnAt(shown, design, corner, picture.topLeft()),
                 qPrintable(
                     QStringLiteral("picture corner at %1, %2").arg(corner.x()).arg(corner.y())));
    if (picture.left() > 0) {
        QVERIFY(patchDrawnAt(shown, texture, QRect(0, 300, picture.left(), 40), QPoint()));
        QVERIFY(patchDrawnAt(
            shown, texture,
            QRect(picture.right() + 1, 300, size.width() - picture.right() - 1, 40), QPoint()));
    }
    if (picture.top() > 0) {
        QVERIFY(patchDrawnAt(shown, texture, QRect(300, 0, 40, picture.top()), QPoint()));
        QVERIFY(patchDrawnAt(
            shown, texture,
            QRect(300, picture.bottom() + 1, 40, size.height() - picture.bottom() - 1), QPoint()));
    }
}

void TestLayout::captionFontCarriesOverToTimeLabel()
{
    MainWindow window;
    QFont caption(QStringLiteral("Orvane Caption Face"), 15, QFont::Bold);
    caption.setItalic(true);
    Access::caption(window, 1)->setFont(caption);
    const QString footerFamily = footerLabel(window)->font().family();

    QVERIFY(showLaidOut(window, QSize(1920, 1080)));
    for (QWidget *label : { static_cast<QWidget *>(Access::caption(window, 2)),
                            static_cast<QWidget *>(Access::caption(window, 3)),
                            static_cast<QWidget *>(timeLabel(window)) }) {
        const QFont font = label->font();
        QCOMPARE(font.family(), caption.family());
        QCOMPARE(font.weight(), int(QFont::Bold));
        QVERIFY(font.italic());
        QCOMPARE(font.pointSize(), 27);
    }
    // The footer keeps its own face and only changes size.
    QCOMPARE(footerLabel(window)->font().family(), footerFamily);
    QCOMPARE(footerLabel(window)->font().pointSize(), 14);
}

void TestLayout::resizeOnlyRecordsTheSize()
{
    MainWindow window;
    QVERIFY(showLaidOut(window, QSize(986, 580)));
    const LayoutState before = LayoutState::of(window);

    // A shown window receives its resize event at once; the paint comes later.
    window.resize(1920, 1080);
    QVERIFY(Access::resized(window));
    QCOMPARE(Access::windowSize(window), QSize(1920, 1080));
    QVERIFY(LayoutState::of(window) == before);

    QTRY_VERIFY(!Access::resized(window));
    QCOMPARE(designedWidgets(window)[0]->geometry(), QRect(142, 135, 22, 772));
}

void TestLayout::burstOfResizesGivesOneRelayout()
{
    MainWindow window;
    QVERIFY(showLaidOut(window, QSize(986, 580)));
    PaintLog paints(window);
    ResizeCounter meterResizes(designedWidgets(window)[0]);
    ResizeCounter clockResizes(designedWidgets(window)[6]);

    window.resize(1200, 800);
    window.resize(1500, 900);
    window.resize(2400, 1100);
    window.resize(1920, 1080);
    QVERIFY(paints.entries.empty());

    QTRY_VERIFY(!Access::resized(window));
    // Let any further paint the toolkit wants happen too.
    QTRY_VERIFY(!paints.entries.empty() && !paints.entries.back().relayoutDue);
    QTest::qWait(50);

    QCOMPARE(meterResizes.count, 1);
    QCOMPARE(clockResizes.count, 1);
    QCOMPARE(paints.rescales(), 1);
    int relayoutPaints = 0;
    for (const auto &entry : paints.entries)
        relayoutPaints += entry.relayoutDue;
    QCOMPARE(relayoutPaints, 1);
    QCOMPARE(designedWidgets(window)[0]->geometry(), QRect(142, 135, 22, 772));
    QCOMPARE(Access::scaledBackground(window)->size(), QSize(1836, 1080));
    QCOMPARE(Access::scaledEmptyBackground(window)->size(), QSize(1920, 1080));
}

// A window is never larger than an 8K screen, whoever asks (-qwindowgeometry, a window
// manager), and its pictures neither: their memory grows with the square of the size.
void TestLayout::picturesStayWithinTheirLimit()
{
    MainWindow window;
    window.resize(32000, 32000);
    QCOMPARE(window.size(), QSize(7680, 4320));
    QVERIFY(showLaidOut(window, QSize(7680, 1000)));
    QCOMPARE(Access::scaledEmptyBackground(window)->size(), QSize(7680, 1000));
    QCOMPARE(Access::scaledBackground(window)->height(), 1000);
    // The widgets still follow the window.
    QCOMPARE(designedWidgets(window)[0]->geometry(),
             DesignLayout::scaleRect(Access::designRects(window)[0],
                                     DesignLayout::fitDesign(QSize(7680, 1000))));
}

void TestLayout::relayoutIsFollowedByAFullPaint()
{
    MainWindow window;
    QVERIFY(showLaidOut(window, QSize(986, 580)));
    PaintLog paints(window);

    window.resize(1280, 1024);
    // Only a small part is asked for: the relayout itself must ask for the whole window.
    window.repaint(QRect(0, 0, 10, 10));
    QCOMPARE(int(paints.entries.size()), 1);
    QVERIFY(paints.entries[0].relayoutDue);
    QVERIFY(!Access::resized(window));

    // The moved widgets ask for their old and new places only; the whole window comes again
    // only because the relayout asked for it.
    const auto wholeWindowPainted = [&paints, &window] {
        for (std::size_t i = 1; i < paints.entries.size(); ++i) {
            if (paints.entries[i].rect == window.rect())
                return true;
        }
        return false;
    };
    QTRY_VERIFY(wholeWindowPainted());
    for (std::size_t i = 1; i < paints.entries.size(); ++i)
        QVERIFY(!paints.entries[i].relayoutDue);
}

void TestLayout::paintWithoutResizeChangesNothing()
{
    MainWindow window;
    QVERIFY(showLaidOut(window, QSize(1920, 1080)));
    const LayoutState before = LayoutState::of(window);
    PaintLog paints(window);
    ResizeCounter meterResizes(designedWidgets(window)[0]);

    window.repaint();
    window.update();
    QTRY_VERIFY(paints.entries.size() >= 2);
    const QImage first = window.grab().toImage();
    const QImage second = window.grab().toImage();

    for (const auto &entry : paints.entries)
        QVERIFY(!entry.relayoutDue);
    QCOMPARE(paints.rescales(), 0);
    QCOMPARE(meterResizes.count, 0);
    QVERIFY(LayoutState::of(window) == before);
    // The margin and the picture stay where they were.
    const QImage design = Access::scaledBackground(window)->toImage();
    QVERIFY(patchDrawnAt(first, design, QRect(0, 0, 24, 24), QPoint(42, 0)));
    QVERIFY(patchDrawnAt(second, design, QRect(0, 0, 24, 24), QPoint(42, 0)));
}

void TestLayout::missingDesignPictureKeepsTheDesign()
{
    MainWindow window;
    *Access::background(window) = QPixmap();
    const std::vector<QWidget *> widgets = designedWidgets(window);
    const QRect *design = Access::designRects(window);
    const LayoutState constructed = LayoutState::of(window);
    PaintLog paints(window);

    window.resize(1920, 1080);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(!paints.entries.empty());
    const QImage shown = window.grab().toImage();

    QVERIFY(Access::resized(window));
    QCOMPARE(Access::windowSize(window), QSize(1920, 1080));
    for (int i = 0; i < 14; ++i)
        QCOMPARE(widgets[i]->geometry(), design[i]);
    QVERIFY(LayoutState::of(window).fonts == constructed.fonts);
    QCOMPARE(timeLabel(window)->font().pointSize(), 15);
    QCOMPARE(footerLabel(window)->font().pointSize(), 11);
    QCOMPARE(digitalClock(window)->getTimeDisplayFont().pointSize(), 40);
    QCOMPARE(digitalClock(window)->getDateDisplayFont().pointSize(), 24);
    QVERIFY(Access::scaledBackground(window)->isNull());
    QVERIFY(Access::scaledEmptyBackground(window)->isNull());
    // Nothing of either picture: the window's plain ground shows where no widget is.
    const QRgb ground = window.palette().color(QPalette::Window).rgb();
    for (const QPoint &p : { QPoint(5, 5), QPoint(1900, 1060), QPoint(1000, 20) })
        QCOMPARE(shown.pixel(p), ground);
}

void TestLayout::missingTextureLeavesMarginsBare()
{
    MainWindow window;
    *Access::emptyBackground(window) = QPixmap();
    // A missing texture is left out rather than scaled, so the toolkit has nothing to warn of.
    QVERIFY(showLaidOut(window, QSize(1920, 1080)));

    QCOMPARE(designedWidgets(window)[0]->geometry(), QRect(142, 135, 22, 772));
    QVERIFY(Access::scaledEmptyBackground(window)->isNull());
    const QImage shown = window.grab().toImage();
    const QImage design = Access::scaledBackground(window)->toImage();
    QVERIFY(patchDrawnAt(shown, design, QRect(0, 0, 24, 24), QPoint(42, 0)));
    const QRgb ground = window.palette().color(QPalette::Window).rgb();
    for (const QPoint &p : { QPoint(5, 500), QPoint(1900, 500) })
        QCOMPARE(shown.pixel(p), ground);
}

ORVANE_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
