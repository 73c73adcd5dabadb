#include "panel/designlayout.h"

#include "panel/panellayout.h"

namespace DesignLayout {

using PictureLayout::PanelHeight;
using PictureLayout::PanelWidth;

Fit fitDesign(QSize window)
{
    const int w = window.width();
    const int h = window.height();
    Fit fit {};
    const float ratio = static_cast<float>(w) / static_cast<float>(h);
    // Wider than the design: the height decides.
    if (ratio > static_cast<double>(PanelWidth) / PanelHeight) {
        fit.canvasHeight = h;
        fit.canvasWidth = h * PanelWidth / PanelHeight;
        fit.offsetX = (w - fit.canvasWidth) / 2;
        fit.offsetY = 0;
    } else {
        fit.canvasWidth = w;
        fit.canvasHeight = w * PanelHeight / PanelWidth;
        fit.offsetX = 0;
        fit.offsetY = (h - fit.canvasHeight) / 2;
    }
    // The two quotients differ only by the integer rounding of the canvas; take their mean.
    fit.scale = (static_cast<float>(fit.canvasHeight) / PanelHeight
                 + static_cast<float>(fit.canvasWidth) / PanelWidth)
        * 0.5f;
    return fit;
}

Fit atDesignSize()
{
    return fitDesign(QSize(PanelWidth, PanelHeight));
}

QRect scaleRect(const QRect &design, const Fit &fit)
{
    const auto scaled
        = [&fit](int value) { return static_cast<int>(static_cast<float>(value) * fit.scale); };
    return QRect(fit.offsetX + scaled(design.x()), fit.offsetY + scaled(design.y()),
                 scaled(design.width()), scaled(design.height()));
}

int scalePointSize(int designPointSize, float scale)
{
    return qMax(1, static_cast<int>(static_cast<float>(designPointSize) * scale));
}

} // namespace DesignLayout
