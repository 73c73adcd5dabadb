#include "panel/panelpainter.h"

#include "panel/brushedmetal.h"
#include "panel/emblems.h"
#include "panel/palette.h"
#include "panel/panellayout.h"
#include "widgets/vexoppmmeter.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QRegion>

#include <algorithm>
#include <cmath>

using namespace PictureLayout;

namespace {

constexpr quint32 PanelSeed = 0x0e7a11;
constexpr quint32 MarginSeed = 0x5a7b1e;
// The bands stop short of the panel's bevelled edge.
constexpr int BandLeft = 8;
constexpr int BandRight = PanelWidth - 9;

// Where the design falls on the image being drawn. Widgets' rectangles are taken exactly as
// the window places them (scaled and truncated in its own pixels, then to device pixels), so
// that a slot fits its meter and a tick meets its meter's bar; everything else follows the
// design by one factor. At the design size every mapping is the identity.
class Canvas
{
public:
    Canvas(const DesignLayout::Fit &fit, qreal dpr)
        : placement(fit)
        , ratio(dpr)
        , width(int(std::lround(fit.canvasWidth * dpr)))
        , height(int(std::lround(fit.canvasHeight * dpr)))
        , k(double(fit.scale) * dpr)
        , kx(double(width) / PanelWidth)
        , ky(double(height) / PanelHeight)
    {
        placement.offsetX = 0;
        placement.offsetY = 0;
    }

    // A design edge (between two pixel columns or rows) on the image.
    int x(double design) const { return int(std::lround(design * kx)); }
    int y(double design) const { return int(std::lround(design * ky)); }
    // A design length, never below `least` device pixels.
    int length(double design, int least = 1) const
    {
        return std::max(least, int(std::lround(design * k)));
    }
    // The design pixels from (left, top) to (right, bottom), inclusive.
    QRect pixels(int left, int top, int right, int bottom) const
    {
        const int l = x(left);
        const int t = y(top);
        return QRect(l, t, std::max(1, x(right + 1) - l), std::max(1, y(bottom + 1) - t));
    }
    // A widget's design rectangle where the window puts the widget.
    QRect widget(const QRect &design) const
    {
        const QRect r = DesignLayout::scaleRect(design, placement);
        return QRect(device(r.left()), device(r.top()), device(r.width()), device(r.height()));
    }
    // The row edge where the meter of this design rectangle ends its bar at `db`: the window's
    // meter does the arithmetic at its own height.
    int markEdge(const QRect &designMeter, double db) const
    {
        const QRect r = DesignLayout::scaleRect(designMeter, placement);
        return device(Panel::markRow(r.top(), r.height(), db));
    }

    QFont font(double designPixelSize, QFont::Weight weight, double letterSpacing = 0.0) const
    {
        QFont f(Palette::FontFamily);
        f.setPixelSize(length(designPixelSize));
        f.setWeight(weight);
        if (letterSpacing != 0.0)
            f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing * k);
        return f;
    }

    DesignLayout::Fit placement;
    qreal ratio;
    int width;
    int height;
    double k;
    double kx;
    double ky;

private:
    int device(int windowPixels) const { return int(std::lround(windowPixels * ratio)); }
};

// Runs of whole pixels: painted without antialiasing so that edges stay crisp.
void hLine(QPainter &painter, const Canvas &c, int left, int right, int y, const QColor &colour)
{
    painter.fillRect(c.pixels(left, y, right, y), colour);
}

void vLine(QPainter &painter, const Canvas &c, int x, int top, int bottom, const QColor &colour)
{
    painter.fillRect(c.pixels(x, top, x, bottom), colour);
}

// Text whose inked shape is centred on a point, with an optional shadow `lift` pixels below.
// The baseline falls on a whole row so that the glyphs' horizontal strokes stay sharp.
void drawCentredText(QPainter &painter, const QFont &f, const QString &text, double centreX,
                     double centreY, const QColor &colour, const QColor &shadow = QColor(),
                     int lift = 1)
{
    const QFontMetricsF metrics(f);
    // The tight box leaves letter spacing out; the advance has it after every letter, the last
    // one included, where it inks nothing.
    const double width = metrics.horizontalAdvance(text) - f.letterSpacing();
    const QRectF ink = metrics.tightBoundingRect(text);
    const QPointF origin(std::round(centreX - width / 2.0),
                         std::round(centreY - ink.center().y()));
    painter.setFont(f);
    if (shadow.isValid()) {
        painter.setPen(shadow);
        painter.drawText(origin + QPointF(0, lift), text);
    }
    painter.setPen(colour);
    painter.drawText(origin, text);
}

// A bevel around the whole panel: light where the light from above meets it, shaded below.
void drawEdgeBevel(QPainter &painter, const Canvas &c)
{
    const int right = PanelWidth - 1;
    const int bottom = PanelHeight - 1;
    painter.setPen(Qt::NoPen);
    const QColor outline(118, 123, 130);
    hLine(painter, c, 0, right, 0, outline);
    hLine(painter, c, 0, right, bottom, outline);
    vLine(painter, c, 0, 0, bottom, outline);
    vLine(painter, c, right, 0, bottom, outline);
    const QColor lit(255, 255, 255, 170);
    const QColor shade(0, 0, 0, 46);
    for (int i = 1; i <= 2; ++i) {
        hLine(painter, c, i, right - i, i, lit);
        vLine(painter, c, i, i + 1, bottom - i, lit);
        hLine(painter, c, i, right - i, bottom - i, shade);
        vLine(painter, c, right - i, i + 1, bottom - i - 1, shade);
    }
}

// A countersunk hex screw holding the panel in its frame, in design units.
void drawScrew(QPainter &painter, const QPointF &centre)
{
    constexpr double Radius = 5.5;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 150));
    painter.drawEllipse(centre + QPointF(0.0, 0.8), Radius + 0.8, Radius + 0.8);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(centre, Radius + 0.8, Radius + 0.8);
    QRadialGradient head(centre - QPointF(1.5, 2.0), Radius * 1.6);
    head.setColorAt(0.0, QColor(236, 238, 241));
    head.setColorAt(1.0, QColor(140, 145, 152));
    painter.setBrush(head);
    painter.drawEllipse(centre, Radius, Radius);
    QPolygonF socket;
    constexpr double Pi = 3.14159265358979323846;
    for (int i = 0; i < 6; ++i)
        socket << centre + QPointF(2.4 * std::cos(Pi / 3.0 * i), 2.4 * std::sin(Pi / 3.0 * i));
    painter.setBrush(QColor(58, 62, 68));
    painter.drawPolygon(socket);
}

void drawScrews(QPainter &painter, const Canvas &c)
{
    const double left = 15.5;
    const double right = PanelWidth - 15.5;
    const double top = 14.0;
    const double bottom = PanelHeight - 23.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(c.k, c.k);
    for (const QPointF &centre : { QPointF(left, top), QPointF(right, top), QPointF(left, bottom),
                                   QPointF(right, bottom) })
        drawScrew(painter, QPointF(centre.x() * c.kx / c.k, centre.y() * c.ky / c.k));
    painter.restore();
}

// A band let into the panel: a dark edge on top, a lit ledge below it.
void drawBand(QPainter &painter, const Canvas &c, int top, int bottom, const QColor &upper,
              const QColor &lower, const QColor &edge)
{
    QLinearGradient fill(0.0, (top + 1) * c.ky, 0.0, bottom * c.ky);
    fill.setColorAt(0.0, upper);
    fill.setColorAt(1.0, lower);
    painter.fillRect(c.pixels(BandLeft, top, BandRight, bottom), fill);
    hLine(painter, c, BandLeft, BandRight, top, edge);
    hLine(painter, c, BandLeft, BandRight, bottom, edge.darker(115));
    vLine(painter, c, BandLeft, top, bottom, edge);
    vLine(painter, c, BandRight, top, bottom, edge);
    hLine(painter, c, BandLeft, BandRight, bottom + 1, Palette::Highlight);
    hLine(painter, c, BandLeft, BandRight, top - 1, QColor(0, 0, 0, 30));
}

void drawHeaderBand(QPainter &painter, const Canvas &c)
{
    drawBand(painter, c, HeaderTop, HeaderBottom, QColor(168, 173, 179), QColor(118, 123, 130),
             QColor(78, 82, 88));
    // A fine sheen along the band's top, as on a polished strip.
    hLine(painter, c, BandLeft + 1, BandRight - 1, HeaderTop + 1, QColor(255, 255, 255, 70));
}

void drawFooterBand(QPainter &painter, const Canvas &c)
{
    drawBand(painter, c, FooterTop, FooterBottom, QColor(50, 54, 59), QColor(20, 22, 25),
             QColor(8, 9, 10));
    hLine(painter, c, BandLeft + 1, BandRight - 1, FooterTop + 1, QColor(255, 255, 255, 22));
}

void drawHeaderMarks(QPainter &painter, const Canvas &c)
{
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const double centreY = c.ky * (HeaderTop + HeaderBottom + 1) / 2.0;
    // Small enough to leave the reason for a fault its room beside the header lamp.
    const QFont word = c.font(14, QFont::Bold, 1.6);
    const QFont second = c.font(14, QFont::Normal, 1.6);
    const QFontMetricsF wordMetrics(word);
    const double baseline = centreY + wordMetrics.capHeight() / 2.0;
    const int lift = c.length(1);
    const QString product = QStringLiteral("ORVANE");
    const QString line = QStringLiteral("METERS");
    const double left = 44.0 * c.kx;
    painter.setFont(word);
    painter.setPen(Palette::TextShadow);
    painter.drawText(QPointF(left, baseline + lift), product);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(left, baseline), product);
    const double secondLeft = left + wordMetrics.horizontalAdvance(product) + 6.0 * c.k;
    painter.setFont(second);
    painter.setPen(Palette::TextShadow);
    painter.drawText(QPointF(secondLeft, baseline + lift), line);
    painter.setPen(QColor(246, 248, 250));
    painter.drawText(QPointF(secondLeft, baseline), line);

    // The maker's logo stands right, leaving the settings button its square.
    const int logoSize = c.length(15);
    const int logoRight = c.widget(SettingsButtonRect).left() - c.length(18);
    Emblems::drawMakerLogo(painter, logoRight - Emblems::makerLogoWidth(logoSize), centreY,
                           logoSize);
}

// The recess a meter or a lamp sits in: `margin` design pixels of dark slot around the
// widget, shaded inside at the top, lit on the panel below.
void drawSlot(QPainter &painter, const Canvas &c, const QRect &designWidget, int margin)
{
    const int m = c.length(margin);
    const int t = c.length(1);
    const QRect slot = c.widget(designWidget).adjusted(-m, -m, m, m);
    painter.fillRect(slot, Palette::SlotFace);
    painter.fillRect(QRect(slot.left(), slot.top(), slot.width(), t), QColor(6, 7, 8));
    painter.fillRect(QRect(slot.left(), slot.top(), t, slot.height()), QColor(10, 11, 12));
    // The edge of the panel around the recess.
    painter.fillRect(QRect(slot.left() - t, slot.top() - t, slot.width() + 2 * t, t),
                     QColor(0, 0, 0, 60));
    painter.fillRect(QRect(slot.left() - t, slot.top(), t, slot.height()), QColor(0, 0, 0, 50));
    painter.fillRect(QRect(slot.left() - t, slot.bottom() + 1, slot.width() + 2 * t, t),
                     Palette::Highlight);
    painter.fillRect(QRect(slot.right() + 1, slot.top(), t, slot.height()),
                     QColor(255, 255, 255, 110));
}

// The status lamps are let into the panel as the meters are, so that an unlit lamp reads as
// part of the instrument rather than as something laid on it.
void drawLampSlots(QPainter &painter, const Canvas &c)
{
    // The header lamp fills its band, the pair's lamps the panel below the captions: their
    // recesses keep a pixel's edge.
    drawSlot(painter, c, StatusLayout::LinkLamp, 1);
    // A pair's over and silence lamps share one recess, one above the other.
    for (std::size_t pair = 0; pair < StatusLayout::OverLamps.size(); ++pair)
        drawSlot(painter, c,
                 StatusLayout::OverLamps[pair].united(StatusLayout::SilenceLamps[pair]), 1);
}

QString markText(double db)
{
    return QString::number(std::lround(std::abs(db)));
}

// A meter's column of ticks on the image: it faces the partner, a gap off the meter, and the
// red zone takes the part of it next to the meter.
struct TickColumn
{
    int left; // first column of the ticks
    int right; // one past the last
    int redLeft;
    int redRight; // one past the last
};

TickColumn tickColumn(const Canvas &c, const MeterScale &meter)
{
    const QRect widget = c.widget(meter.meterRect());
    const int gap = c.length(TickGap);
    const int length = c.length(meter.tickRight - meter.tickLeft + 1);
    const int red = c.length(RedZoneWidth);
    if (meter.tickLeft > meter.x) {
        const int left = widget.right() + 1 + gap;
        return { left, left + length, left, left + red };
    }
    const int right = widget.left() - gap;
    return { right - length, right, right - red, right };
}

void drawRedZone(QPainter &painter, const Canvas &c, const MeterScale &meter)
{
    const TickColumn column = tickColumn(c, meter);
    const int top = c.markEdge(meter.meterRect(), ScaleMarks.front());
    const int zero = c.markEdge(meter.meterRect(), 0.0);
    painter.fillRect(QRect(column.redLeft, top, column.redRight - column.redLeft, zero - top),
                     Palette::Overload);
}

// A tick is centred on the edge where the meter's bar ends at its level: at the design size
// the bar's top row and the row above it, thicker in proportion at larger sizes.
void drawTicks(QPainter &painter, const Canvas &c, const MeterScale &meter)
{
    const TickColumn column = tickColumn(c, meter);
    const int half = c.length(TickThickness / 2.0);
    for (double db : ScaleMarks) {
        const int edge = c.markEdge(meter.meterRect(), db);
        painter.fillRect(QRect(column.left, edge - half, column.right - column.left, 2 * half),
                         Palette::Ink);
    }
}

double numberCentreX(const Canvas &c, const ScalePair &pair)
{
    return (tickColumn(c, pair.left).right + tickColumn(c, pair.right).left) / 2.0;
}

// The numbers stand between the two tick columns, each on the edge its ticks mark.
void drawScale(QPainter &painter, const Canvas &c, const ScalePair &pair)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawRedZone(painter, c, pair.left);
    drawRedZone(painter, c, pair.right);
    drawTicks(painter, c, pair.left);
    drawTicks(painter, c, pair.right);

    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFont numbers = c.font(pair.numberPixelSize, QFont::Bold);
    const double centreX = numberCentreX(c, pair);
    for (double db : ScaleMarks) {
        const int row = c.markEdge(pair.left.meterRect(), db);
        const QColor colour = db > 0.0 ? Palette::Overload : Palette::Ink;
        drawCentredText(painter, numbers, markText(db), centreX, row, colour);
    }
}

void drawScaleUnit(QPainter &painter, const Canvas &c, const ScalePair &pair)
{
    const int top = c.markEdge(pair.left.meterRect(), ScaleMarks.front());
    drawCentredText(painter, c.font(9, QFont::Bold), QStringLiteral("dB"), numberCentreX(c, pair),
                    top - c.length(15), QColor(70, 74, 80));
}

// The clock's dial: a black disc exactly filling the clock's square, set in a metal bezel
// that is shaded where it dips under the light.
void drawClockFace(QPainter &painter, const Canvas &c)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF disc(c.widget(ClockRect));
    const double bezelWidth = BezelWidth * c.k;
    const QRectF bezel = disc.adjusted(-bezelWidth, -bezelWidth, bezelWidth, bezelWidth);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(bezel.adjusted(-c.k, -c.k, c.k, c.k));
    QLinearGradient ring(bezel.topLeft(), bezel.bottomRight());
    ring.setColorAt(0.0, QColor(96, 101, 108));
    ring.setColorAt(0.5, QColor(178, 183, 189));
    ring.setColorAt(1.0, QColor(246, 248, 250));
    painter.setBrush(ring);
    painter.drawEllipse(bezel);
    // A dark lip where bezel and dial meet.
    const double lip = 1.5 * c.k;
    painter.setBrush(QColor(40, 42, 46));
    painter.drawEllipse(disc.adjusted(-lip, -lip, lip, lip));
    painter.setBrush(Qt::black);
    painter.drawEllipse(disc);
}

// The ON AIR lamp's window, let into the dial: dark glass behind a fine lip, so that the lamp
// is part of the clock whether it is lit or not. The lip is a shade of the dial's own, so that
// the unlit window reads as glass and not as a frame.
void drawOnAirWindow(QPainter &painter, const Canvas &c)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF window(c.widget(StatusLayout::OnAirLamp));
    const double lip = 2.0 * c.k;
    const double radius = 6.0 * c.k;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::DialLip);
    painter.drawRoundedRect(window.adjusted(-lip, -lip, lip, lip), radius + lip, radius + lip);
    painter.setBrush(Palette::DarkGlass);
    painter.drawRoundedRect(window, radius, radius);
}

// The product's badge above the control-room scale: emblem, name and what it is.
void drawEmblem(QPainter &painter, const Canvas &c)
{
    const int emblemSize = c.length(60);
    const double centreX = c.kx * (EmblemRect.left() + EmblemRect.width() / 2.0);
    const int left = int(std::lround(centreX - emblemSize / 2.0));
    const int top = c.y(EmblemRect.top() + 2);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 36));
    painter.drawRoundedRect(QRectF(left + 0.5 * c.k, top + 2 * c.k, emblemSize, emblemSize),
                            12 * c.k, 12 * c.k);
    painter.drawImage(left, top, Emblems::productEmblem(emblemSize));

    drawCentredText(painter, c.font(15, QFont::Bold, 2.0), QStringLiteral("ORVANE"), centreX,
                    top + emblemSize + 19 * c.k, QColor(40, 43, 48), QColor(255, 255, 255, 140),
                    c.length(1));
    drawCentredText(painter, c.font(8, QFont::Bold, 1.6), QStringLiteral("PEAK METER"), centreX,
                    top + emblemSize + 36 * c.k, QColor(86, 91, 98));
}

// The brushed ground of the panel at the design size, made once: its grain is part of the
// design, so larger panels show the same grain larger.
const QImage &designGround()
{
    static const QImage ground = BrushedMetal::texture(PanelWidth, PanelHeight, PanelSeed);
    return ground;
}

} // namespace

namespace Panel {

int markRow(int meterTop, int meterHeight, double db)
{
    return meterTop + meterHeight
        - VexoPPMMeter::barHeightFor(db, meterHeight, ScaleMinDb, ScaleMaxDb, ScaleDinCurve);
}

QImage draw(const DesignLayout::Fit &fit, qreal dpr)
{
    const Canvas c(fit, dpr);
    if (c.width <= 0 || c.height <= 0)
        return QImage();
    QImage image(c.width, c.height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    QPainter painter(&image);
    const QImage &ground = designGround();
    if (image.size() == ground.size()) {
        painter.drawImage(0, 0, ground);
    } else {
        // Scaling the ground is the dearest step at large sizes; it is left out where the
        // bands and the clock's dial will cover it anyway.
        const QRect dial = c.widget(ClockRect);
        // The square inside the round dial.
        const int inset = int(dial.width() * (1.0 - std::sqrt(0.5)) / 2.0) + 1;
        QRegion bare(image.rect());
        bare -= QRegion(c.pixels(BandLeft + 1, HeaderTop + 1, BandRight - 1, HeaderBottom - 1));
        bare -= QRegion(c.pixels(BandLeft + 1, FooterTop + 1, BandRight - 1, FooterBottom - 1));
        bare -= QRegion(dial.adjusted(inset, inset, -inset, -inset));
        painter.setClipRegion(bare);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(image.rect(), ground);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setClipping(false);
    }
    drawEdgeBevel(painter, c);
    drawScrews(painter, c);
    drawHeaderBand(painter, c);
    drawFooterBand(painter, c);
    drawHeaderMarks(painter, c);
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawLampSlots(painter, c);
    for (const ScalePair &pair : ScalePairs) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        drawSlot(painter, c, pair.left.meterRect(), 3);
        drawSlot(painter, c, pair.right.meterRect(), 3);
        drawScale(painter, c, pair);
    }
    drawScaleUnit(painter, c, ScalePairs[0]);
    drawScaleUnit(painter, c, ScalePairs[1]);
    drawClockFace(painter, c);
    drawOnAirWindow(painter, c);
    drawEmblem(painter, c);
    painter.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

QImage draw()
{
    return draw(DesignLayout::atDesignSize(), 1.0);
}

bool canDraw()
{
    return QFontInfo(QFont(Palette::FontFamily)).family() == Palette::FontFamily;
}

QPixmap dimmed(const QPixmap &picture, double brightness)
{
    if (picture.isNull() || brightness >= 1.0)
        return picture;
    QPixmap dark = picture;
    QPainter painter(&dark);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(dark.size()) / dark.devicePixelRatioF()),
                     QColor(0, 0, 0, qRound(255 * (1.0 - qMax(0.0, brightness)))));
    return dark;
}

QImage marginTexture()
{
    return BrushedMetal::texture(MarginTextureWidth, MarginTextureHeight, MarginSeed);
}

} // namespace Panel
