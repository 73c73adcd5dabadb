#include "panel/emblems.h"

#include "panel/palette.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

QFont makerFont(int pixelSize)
{
    QFont font(Palette::FontFamily);
    font.setPixelSize(pixelSize);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    return font;
}

const QString MakerName = QStringLiteral("Vexo");

// The lit part of a bar: green at the bottom of the scale through amber to red at the top, over
// the bar's full travel, so that a lower bar shows less of the red end.
QLinearGradient barGradient(double top, double bottom)
{
    QLinearGradient gradient(0.0, bottom, 0.0, top);
    gradient.setColorAt(0.0, QColor(28, 184, 64));
    gradient.setColorAt(0.62, QColor(96, 214, 72));
    gradient.setColorAt(0.78, QColor(246, 196, 48));
    gradient.setColorAt(1.0, QColor(226, 38, 42));
    return gradient;
}

} // namespace

namespace Emblems {

QImage productEmblem(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);

    // Tile: a dark outline, so that the icon holds its shape on light and dark desktops, a
    // light metal border and a dark face.
    const double radius = size * 0.2;
    const int outline = std::max(1, int(std::lround(size / 64.0)));
    const int border = std::max(1, int(std::lround(size / 18.0)));
    const int inset = outline + border;
    painter.setBrush(QColor(40, 43, 48));
    painter.drawRoundedRect(QRectF(0, 0, size, size), radius, radius);
    QLinearGradient rim(0.0, 0.0, 0.0, size);
    rim.setColorAt(0.0, QColor(240, 242, 245));
    rim.setColorAt(1.0, QColor(158, 163, 170));
    painter.setBrush(rim);
    painter.drawRoundedRect(QRectF(outline, outline, size - 2 * outline, size - 2 * outline),
                            radius - outline, radius - outline);
    QLinearGradient face(0.0, inset, 0.0, size - inset);
    face.setColorAt(0.0, QColor(46, 50, 56));
    face.setColorAt(1.0, QColor(18, 20, 23));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(inset, inset, size - 2 * inset, size - 2 * inset),
                            radius - inset, radius - inset);

    // Two bars on whole pixels (at 16 pixels each is three columns wide) and, from 48 pixels
    // up, a scale beside them; the group is centred on the face.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int barWidth = std::max(3, int(std::lround(size * 0.17)));
    const int gap = std::max(2, int(std::lround(size * 0.09)));
    const bool withScale = size >= 48;
    const int tickGap = std::max(2, size / 24);
    const int tickLength = std::max(2, size / 16);
    const int groupWidth = 2 * barWidth + gap + (withScale ? tickGap + tickLength : 0);
    const int top = int(std::lround(size * 0.2));
    const int bottom = size - top;
    const int travel = bottom - top;
    const int firstX = (size - groupWidth) / 2;
    const double levels[2] = { 0.86, 0.64 };
    for (int i = 0; i < 2; ++i) {
        const int x = firstX + i * (barWidth + gap);
        painter.fillRect(QRect(x, top, barWidth, travel), QColor(8, 10, 12));
        const int lit = int(std::lround(travel * levels[i]));
        painter.fillRect(QRect(x, bottom - lit, barWidth, lit), barGradient(top, bottom));
    }
    if (withScale) {
        const int tickX = firstX + 2 * barWidth + gap + tickGap;
        const int tickThickness = std::max(1, size / 64);
        for (int i = 0; i <= 5; ++i) {
            const int y = top + int(std::lround(travel * i / 5.0));
            const QColor colour = i == 0 ? QColor(226, 38, 42) : QColor(196, 200, 206);
            painter.fillRect(QRect(tickX, y - tickThickness / 2, tickLength, tickThickness),
                             colour);
        }
    }
    return image;
}

namespace {

// The tile stands a little taller than the capitals; its shadow and the text's fall this far.
int tileFor(int pixelSize)
{
    return pixelSize + std::max(2, int(std::lround(pixelSize * 2 / 15.0)));
}

int liftFor(int pixelSize)
{
    return std::max(1, int(std::lround(pixelSize / 15.0)));
}

} // namespace

int makerLogoWidth(int pixelSize)
{
    const int tile = tileFor(pixelSize);
    return tile + pixelSize / 3 + QFontMetrics(makerFont(pixelSize)).horizontalAdvance(MakerName);
}

int drawMakerLogo(QPainter &painter, int left, double centreY, int pixelSize)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const int tile = tileFor(pixelSize);
    const int lift = liftFor(pixelSize);
    const QRectF tileRect(left, centreY - tile / 2.0, tile, tile);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::Shadow);
    painter.drawRoundedRect(tileRect.translated(0, lift), tile * 0.22, tile * 0.22);
    QLinearGradient red(tileRect.topLeft(), tileRect.bottomLeft());
    red.setColorAt(0.0, QColor(232, 58, 60));
    red.setColorAt(1.0, QColor(178, 22, 30));
    painter.setBrush(red);
    painter.drawRoundedRect(tileRect, tile * 0.22, tile * 0.22);

    // The chevron: a V of two strokes meeting low in the tile.
    QPen chevron(Qt::white, tile * 0.16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(chevron);
    painter.setBrush(Qt::NoBrush);
    const double inset = tile * 0.26;
    QPolygonF vee;
    vee << QPointF(tileRect.left() + inset, tileRect.top() + inset)
        << QPointF(tileRect.center().x(), tileRect.bottom() - inset)
        << QPointF(tileRect.right() - inset, tileRect.top() + inset);
    painter.drawPolyline(vee);

    const QFont font = makerFont(pixelSize);
    const QFontMetrics metrics(font);
    const int textLeft = left + tile + pixelSize / 3;
    // Centre the capitals on the tile rather than the whole line box.
    const double baseline = centreY + metrics.capHeight() / 2.0;
    painter.setFont(font);
    painter.setPen(Palette::TextShadow);
    painter.drawText(QPointF(textLeft, baseline + lift), MakerName);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(textLeft, baseline), MakerName);
    painter.restore();
    return makerLogoWidth(pixelSize);
}

QImage settingsGear(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(size / 2.0, size / 2.0);
    painter.scale(size / 256.0, size / 256.0);

    // Eight teeth, flanks tapering so the gear reads as a gear even at 25 pixels.
    constexpr int Teeth = 8;
    constexpr double Tip = 118.0;
    constexpr double Root = 90.0;
    constexpr double Hole = 38.0;
    constexpr double Pi = 3.14159265358979323846;
    QPainterPath outline;
    for (int i = 0; i < Teeth; ++i) {
        const double centre = 2.0 * Pi * i / Teeth;
        const double pitch = 2.0 * Pi / Teeth;
        const double rootHalf = pitch * 0.26;
        const double tipHalf = pitch * 0.17;
        const QPointF points[4] = {
            QPointF(Root * std::cos(centre - rootHalf), Root * std::sin(centre - rootHalf)),
            QPointF(Tip * std::cos(centre - tipHalf), Tip * std::sin(centre - tipHalf)),
            QPointF(Tip * std::cos(centre + tipHalf), Tip * std::sin(centre + tipHalf)),
            QPointF(Root * std::cos(centre + rootHalf), Root * std::sin(centre + rootHalf)),
        };
        if (i == 0)
            outline.moveTo(points[0]);
        else
            outline.lineTo(points[0]);
        for (int p = 1; p < 4; ++p)
            outline.lineTo(points[p]);
        // The root between this tooth and the next follows the root circle.
        const double nextStart = centre + pitch - rootHalf;
        const double arcStartDeg = -(centre + rootHalf) * 180.0 / Pi;
        const double arcSpanDeg = -(nextStart - (centre + rootHalf)) * 180.0 / Pi;
        outline.arcTo(QRectF(-Root, -Root, 2 * Root, 2 * Root), arcStartDeg, arcSpanDeg);
    }
    outline.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(0, 0), Hole, Hole);
    const QPainterPath gear = outline.subtracted(hole);

    QLinearGradient body(0.0, -Tip, 0.0, Tip);
    body.setColorAt(0.0, QColor(78, 84, 92));
    body.setColorAt(1.0, QColor(30, 33, 37));
    painter.setPen(QPen(QColor(14, 15, 17), 10.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(body);
    painter.drawPath(gear);
    // A light ring on the face gives the gear some relief when it is large.
    painter.setPen(QPen(QColor(255, 255, 255, 46), 6.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0, 0), 66.0, 66.0);
    return image;
}

} // namespace Emblems
