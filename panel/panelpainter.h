#pragma once

#include "panel/designlayout.h"

#include <QImage>
#include <QPixmap>

// The meter bridge's panel: brushed metal, printed scales beside the six meters, the clock's
// black disc, header and footer bands, the product's and the maker's marks. One description,
// drawn at any size: at the design size it is the compiled-in design picture, and the window
// draws it at its own size so that text, ticks and edges stay sharp.
namespace Panel {

// The panel for a window laid out by `fit` (its canvas and its factor; the offsets are not
// used, the panel starts at the canvas's corner), at `dpr` device pixels per window pixel.
// Every element that belongs to a widget is drawn where the window places that widget, and
// every scale mark on the row where its meter's bar ends at that level. The image carries
// `dpr` as its device pixel ratio. Null if an image of that size cannot be had.
QImage draw(const DesignLayout::Fit &fit, qreal dpr);

// The design picture: the panel at 986 x 580.
QImage draw();

// False where the typeface the panel is drawn in is missing: text in a stand-in face would not
// fit the marks, and the compiled-in picture is the better panel then.
bool canDraw();

// `picture` at `brightness` (0 to 1) of its light: the panel by night.
QPixmap dimmed(const QPixmap &picture, double brightness);

// The plain brushed texture that covers the window's margins around the panel.
QImage marginTexture();

// The pixel row where a meter of this rectangle shows `db` at the top of its bar.
int markRow(int meterTop, int meterHeight, double db);

} // namespace Panel
