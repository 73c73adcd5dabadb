#pragma once

#include <QColor>
#include <QImage>

// Satin aluminium, brushed horizontally, lit from above: the ground of the panel and of the
// margin texture, so that the two meet without a seam.
namespace BrushedMetal {

// The ground's mean colour at a height, as a fraction of the picture's height (0 top, 1 bottom).
QColor groundAt(double heightFraction);

// A width x height texture. The same seed gives the same pixels on every run, so regenerating
// the pictures changes only what the design changed.
QImage texture(int width, int height, quint32 seed);

} // namespace BrushedMetal
