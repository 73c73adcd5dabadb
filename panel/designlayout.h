#pragma once

#include <QRect>
#include <QSize>

// The whole window is one design of PictureLayout::PanelWidth x PanelHeight (986 x 580), scaled
// by one factor to fit the window and centred.
namespace DesignLayout {

struct Fit
{
    int canvasWidth;
    int canvasHeight;
    int offsetX;
    int offsetY;
    float scale;
};

// The largest canvas of the design's aspect ratio inside `window`, its offset and the factor.
Fit fitDesign(QSize window);
// The design at its own size: factor 1, no offset.
Fit atDesignSize();
// A design rectangle on that canvas; products in single precision, truncated.
QRect scaleRect(const QRect &design, const Fit &fit);
// A design point size scaled and truncated; never below 1, which a valid font needs.
int scalePointSize(int designPointSize, float scale);

} // namespace DesignLayout
