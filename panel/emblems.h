#pragma once

#include <QImage>
#include <QRectF>

class QPainter;

// The product's marks: the emblem (a pair of meter bars in a bordered tile) that serves as
// window icon and as badge on the panel, the maker's logo and the settings gear.
namespace Emblems {

// The emblem filling a square of `size` pixels, laid out on whole pixels for that size so
// that the small icon sizes stay sharp.
QImage productEmblem(int size);

// The maker's logo, a red tile with a white chevron followed by the name, with its left edge
// at `left` and vertically centred on `centreY`, in text `pixelSize` high. Returns the width.
int drawMakerLogo(QPainter &painter, int left, double centreY, int pixelSize);
// The logo's width without drawing it, to right-align it.
int makerLogoWidth(int pixelSize);

// A dark gear on a transparent ground, size x size.
QImage settingsGear(int size);

} // namespace Emblems
