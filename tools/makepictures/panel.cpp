#include "panel.h"

#include "brushedmetal.h"
#include "emblems.h"
#include "palette.h"
#include "picturelayout.h"
#include "statuslayout.h"
#include "vexoppmmeter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

using namespace PictureLayout;

namespace {

constexpr quint32 PanelSeed = 0x0e7a11;
constexpr quint32 MarginSeed = 0x5a7b1e;
// The bands stop short of the panel's bevelled edge.
constexpr int BandLeft = 8;
constexpr int BandRight = PanelWidth - 9;

QFont font(int pixelSize, QFont::Weight weight, double letterSpacing = 0.0)
{
    QFont f(Palette::FontFamily);
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    if (letterSpacing != 0.0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return f;
}

// One-pixel rows and columns: painted without antialiasing so that edges stay crisp.
void hLine(QPainter &painter, int left, int right, int y, const QColor &colour)
{
    painter.fillRect(QRect(left, y, right - left + 1, 1), colour);
}

void vLine(QPainter &painter, int x, int top, int bottom, const QColor &colour)
{
    painter.fillRect(QRect(x, top, 1, bottom - top + 1), colour);
}

// Text whose inked shape is centred on a point, with an optional shadow. The baseline falls on
// a whole row so that the glyphs' horizontal strokes stay sharp.
void drawCentredText(QPainter &painter, const QFont &f, const QString &text, double centreX,
                     double centreY, const QColor &colour, const QColor &shadow = QColor())
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
        painter.drawText(origin + QPointF(0, 1), text);
    }
    painter.setPen(colour);
    painter.drawText(origin, text);
}

// A bevel around the whole panel: light where the light from above meets it, shaded below.
void drawEdgeBevel(QPainter &painter)
{
    const int right = PanelWidth - 1;
    const int bottom = PanelHeight - 1;
    painter.setPen(Qt::NoPen);
    const QColor outline(118, 123, 130);
    hLine(painter, 0, right, 0, outline);
    hLine(painter, 0, right, bottom, outline);
    vLine(painter, 0, 0, bottom, outline);
    vLine(painter, right, 0, bottom, outline);
    const QColor lit(255, 255, 255, 170);
    const QColor shade(0, 0, 0, 46);
    for (int i = 1; i <= 2; ++i) {
        hLine(painter, i, right - i, i, lit);
        vLine(painter, i, i + 1, bottom - i, lit);
        hLine(painter, i, right - i, bottom - i, shade);
        vLine(painter, right - i, i + 1, bottom - i - 1, shade);
    }
}

// A countersunk hex screw holding the panel in its frame.
void drawScrew(QPainter &painter, const QPointF &centre)
{
    constexpr double Radius = 5.5;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
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
    painter.restore();
}

void drawScrews(QPainter &painter)
{
    const double left = 15.5;
    const double right = PanelWidth - 15.5;
    const double top = 14.0;
    const double bottom = PanelHeight - 23.0;
    for (const QPointF &centre : {QPointF(left, top), QPointF(right, top), QPointF(left, bottom),
                                  QPointF(right, bottom)})
        drawScrew(painter, centre);
}

// A band let into the panel: a dark edge on top, a lit ledge below it.
void drawBand(QPainter &painter, int top, int bottom, const QColor &upper, const QColor &lower,
              const QColor &edge)
{
    QLinearGradient fill(0.0, top + 1, 0.0, bottom);
    fill.setColorAt(0.0, upper);
    fill.setColorAt(1.0, lower);
    painter.fillRect(QRect(BandLeft, top, BandRight - BandLeft + 1, bottom - top + 1), fill);
    hLine(painter, BandLeft, BandRight, top, edge);
    hLine(painter, BandLeft, BandRight, bottom, edge.darker(115));
    vLine(painter, BandLeft, top, bottom, edge);
    vLine(painter, BandRight, top, bottom, edge);
    hLine(painter, BandLeft, BandRight, bottom + 1, Palette::Highlight);
    hLine(painter, BandLeft, BandRight, top - 1, QColor(0, 0, 0, 30));
}

void drawHeaderBand(QPainter &painter)
{
    drawBand(painter, HeaderTop, HeaderBottom, QColor(168, 173, 179), QColor(118, 123, 130),
             QColor(78, 82, 88));
    // A fine sheen along the band's top, as on a polished strip.
    hLine(painter, BandLeft + 1, BandRight - 1, HeaderTop + 1, QColor(255, 255, 255, 70));
}

void drawFooterBand(QPainter &painter)
{
    drawBand(painter, FooterTop, FooterBottom, QColor(50, 54, 59), QColor(20, 22, 25),
             QColor(8, 9, 10));
    hLine(painter, BandLeft + 1, BandRight - 1, FooterTop + 1, QColor(255, 255, 255, 22));
}

void drawHeaderMarks(QPainter &painter)
{
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const double centreY = (HeaderTop + HeaderBottom + 1) / 2.0;
    const QFont word = font(16, QFont::Bold, 2.0);
    const QFont second = font(16, QFont::Normal, 2.0);
    const QFontMetricsF wordMetrics(word);
    const double baseline = centreY + wordMetrics.capHeight() / 2.0;
    const QString product = QStringLiteral("ORVANE");
    const QString line = QStringLiteral("METERS");
    const double left = 44.0;
    painter.setFont(word);
    painter.setPen(Palette::TextShadow);
    painter.drawText(QPointF(left, baseline + 1), product);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(left, baseline), product);
    const double secondLeft = left + wordMetrics.horizontalAdvance(product) + 6.0;
    painter.setFont(second);
    painter.setPen(Palette::TextShadow);
    painter.drawText(QPointF(secondLeft, baseline + 1), line);
    painter.setPen(QColor(246, 248, 250));
    painter.drawText(QPointF(secondLeft, baseline), line);

    // The maker's logo stands right, leaving the settings button its square.
    const int logoSize = 15;
    const int logoRight = SettingsButtonRect.left() - 18;
    Emblems::drawMakerLogo(painter, logoRight - Emblems::makerLogoWidth(logoSize), centreY,
                           logoSize);
}

// The recess a meter or a lamp sits in: `margin` pixels of dark slot around the widget,
// shaded inside at the top, lit on the panel below.
void drawSlot(QPainter &painter, const QRect &widget, int margin)
{
    const QRect slot = widget.adjusted(-margin, -margin, margin, margin);
    painter.fillRect(slot, Palette::SlotFace);
    hLine(painter, slot.left(), slot.right(), slot.top(), QColor(6, 7, 8));
    vLine(painter, slot.left(), slot.top(), slot.bottom(), QColor(10, 11, 12));
    // The edge of the panel around the recess.
    hLine(painter, slot.left() - 1, slot.right() + 1, slot.top() - 1, QColor(0, 0, 0, 60));
    vLine(painter, slot.left() - 1, slot.top(), slot.bottom(), QColor(0, 0, 0, 50));
    hLine(painter, slot.left() - 1, slot.right() + 1, slot.bottom() + 1, Palette::Highlight);
    vLine(painter, slot.right() + 1, slot.top(), slot.bottom(), QColor(255, 255, 255, 110));
}

void drawMeterSlot(QPainter &painter, const MeterScale &meter)
{
    drawSlot(painter, meter.meterRect(), 3);
}

// The status lamps are let into the panel as the meters are, so that an unlit lamp reads as
// part of the instrument rather than as something laid on it.
void drawLampSlots(QPainter &painter)
{
    drawSlot(painter, StatusLayout::LinkLamp, 2);
    // A pair's over and silence lamps share one recess, one above the other.
    for (std::size_t pair = 0; pair < StatusLayout::OverLamps.size(); ++pair)
        drawSlot(painter, StatusLayout::OverLamps[pair].united(StatusLayout::SilenceLamps[pair]),
                 2);
}

QString markText(double db)
{
    return QString::number(std::lround(std::abs(db)));
}

void drawRedZone(QPainter &painter, const MeterScale &meter)
{
    const int top = Panel::markRow(meter.y, meter.height, ScaleMarks.front());
    const int zero = Panel::markRow(meter.y, meter.height, 0.0);
    painter.fillRect(QRect(meter.redLeft, top, meter.redRight - meter.redLeft + 1, zero - top),
                     Palette::Overload);
}

void drawTicks(QPainter &painter, const MeterScale &meter)
{
    for (double db : ScaleMarks) {
        const int row = Panel::markRow(meter.y, meter.height, db);
        painter.fillRect(QRect(meter.tickLeft, row - TickThickness + 1,
                               meter.tickRight - meter.tickLeft + 1, TickThickness),
                         Palette::Ink);
    }
}

// The numbers stand between the two tick columns, each on the edge its ticks mark.
void drawScale(QPainter &painter, const ScalePair &pair)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawRedZone(painter, pair.left);
    drawRedZone(painter, pair.right);
    drawTicks(painter, pair.left);
    drawTicks(painter, pair.right);

    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFont numbers = font(pair.numberPixelSize, QFont::Bold);
    const double centreX = pair.numberCentreX2() / 2.0;
    for (double db : ScaleMarks) {
        const int row = Panel::markRow(pair.left.y, pair.left.height, db);
        const QColor colour = db > 0.0 ? Palette::Overload : Palette::Ink;
        drawCentredText(painter, numbers, markText(db), centreX, row, colour);
    }
}

void drawScaleUnit(QPainter &painter, const ScalePair &pair)
{
    const int top = Panel::markRow(pair.left.y, pair.left.height, ScaleMarks.front());
    drawCentredText(painter, font(9, QFont::Bold), QStringLiteral("dB"),
                    pair.numberCentreX2() / 2.0, top - 15, QColor(70, 74, 80));
}

// The clock's dial: a black disc exactly filling the clock's square, set in a metal bezel
// that is shaded where it dips under the light.
void drawClockFace(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF disc(ClockRect);
    const QRectF bezel = disc.adjusted(-BezelWidth, -BezelWidth, BezelWidth, BezelWidth);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(bezel.adjusted(-1, -1, 1, 1));
    QLinearGradient ring(bezel.topLeft(), bezel.bottomRight());
    ring.setColorAt(0.0, QColor(96, 101, 108));
    ring.setColorAt(0.5, QColor(178, 183, 189));
    ring.setColorAt(1.0, QColor(246, 248, 250));
    painter.setBrush(ring);
    painter.drawEllipse(bezel);
    // A dark lip where bezel and dial meet.
    painter.setBrush(QColor(40, 42, 46));
    painter.drawEllipse(disc.adjusted(-1.5, -1.5, 1.5, 1.5));
    painter.setBrush(Qt::black);
    painter.drawEllipse(disc);
}

// The product's badge above the control-room scale: emblem, name and what it is.
void drawEmblem(QPainter &painter)
{
    constexpr int EmblemSize = 60;
    const double centreX = EmblemRect.left() + EmblemRect.width() / 2.0;
    const int left = int(std::lround(centreX - EmblemSize / 2.0));
    const int top = EmblemRect.top() + 2;
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 36));
    painter.drawRoundedRect(QRectF(left + 0.5, top + 2, EmblemSize, EmblemSize), 12, 12);
    painter.drawImage(left, top, Emblems::productEmblem(EmblemSize));

    drawCentredText(painter, font(15, QFont::Bold, 2.0), QStringLiteral("ORVANE"),
                    centreX, top + EmblemSize + 19, QColor(40, 43, 48),
                    QColor(255, 255, 255, 140));
    drawCentredText(painter, font(8, QFont::Bold, 1.6), QStringLiteral("PEAK METER"),
                    centreX, top + EmblemSize + 36, QColor(86, 91, 98));
}

} // namespace

namespace Panel {

int markRow(int meterTop, int meterHeight, double db)
{
    return meterTop + meterHeight
        - VexoPPMMeter::barHeightFor(db, meterHeight, ScaleMinDb, ScaleMaxDb, ScaleDinCurve);
}

QImage draw()
{
    QImage image = BrushedMetal::texture(PanelWidth, PanelHeight, PanelSeed);
    QPainter painter(&image);
    drawEdgeBevel(painter);
    drawScrews(painter);
    drawHeaderBand(painter);
    drawFooterBand(painter);
    drawHeaderMarks(painter);
    drawLampSlots(painter);
    for (const ScalePair &pair : ScalePairs) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        drawMeterSlot(painter, pair.left);
        drawMeterSlot(painter, pair.right);
        drawScale(painter, pair);
    }
    drawScaleUnit(painter, ScalePairs[0]);
    drawScaleUnit(painter, ScalePairs[1]);
    drawClockFace(painter);
    drawEmblem(painter);
    painter.end();
    return image;
}

QImage marginTexture()
{
    return BrushedMetal::texture(MarginTextureWidth, MarginTextureHeight, MarginSeed);
}

} // namespace Panel
