#include "panel/designlayout.h"

namespace DesignLayout {

Fit fitDesign(QSize window)
{
    const int w = window.width();
    const int h = window.height();
    Fit fit {};
    const float ratio = static_cast<float>(w) / static_cast<float>(h);
    if (ratio > 1.7) {
        fit.canvasHeight = h;
        fit.canvasWidth = h * Width / Height;
        fit.offsetX = (w - fit.canvasWidth) / 2;
        fit.offsetY = 0;
    } else {
        fit.canvasWidth = w;
        fit.canvasHeight = w * Height / Width;
        fit.offsetX = 0;
        fit.offsetY = (h - fit.canvasHeight) / 2;
    }
    // The two quotients differ only by the integer rounding of the canvas; take their mean.
    fit.scale = (static_cast<float>(fit.canvasHeight) / Height
                 + static_cast<float>(fit.canvasWidth) / Width)
        * 0.5f;
    return fit;
}

QRect scaleRect(const QRect &design, const Fit &fit)
{
    const auto scaled = [&fit](int value) {
        return static_cast<int>(static_cast<float>(value) * fit.scale);
    };
    return QRect(fit.offsetX + scaled(design.x()), fit.offsetY + scaled(design.y()),
                 scaled(design.width()), scaled(design.height()));
}

int scalePointSize(int designPointSize, float scale)
{
    return qMax(1, static_cast<int>(static_cast<float>(designPointSize) * scale));
}

} // namespace DesignLayout
