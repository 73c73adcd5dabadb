#include "screens.h"

int screenNumberFor(const QVector<QRect> &availableAreas, QPoint windowPos, bool maximised)
{
    const int count = availableAreas.size();
    if (count <= 1)
        return 0;
    const int edge = maximised ? windowPos.x() + 8 : windowPos.x();
    for (int i = 0; i < count; ++i) {
        const QRect &area = availableAreas.at(i);
        if (edge < area.x() + area.width())
            return i;
    }
    return count;
}

namespace {

// The screen whose available area holds `point`, or -1.
int screenHolding(const QVector<QRect> &areas, QPoint point)
{
    for (int i = 0; i < areas.size(); ++i) {
        if (areas.at(i).contains(point))
            return i;
    }
    return -1;
}

QRect centredIn(const QRect &area, QSize size)
{
    QRect rect(QPoint(0, 0), size);
    if (size.width() <= area.width() && size.height() <= area.height())
        rect.moveCenter(area.center());
    else
        rect.moveTopLeft(area.topLeft());
    return rect;
}

} // namespace

WindowPlacement placeWindow(const QVector<QRect> &availableAreas, int primary, int storedScreen,
                            const QRect &storedGeometry, QSize designSize, int requestedScreen)
{
    WindowPlacement placement;
    if (availableAreas.isEmpty())
        return placement;
    const int count = availableAreas.size();
    if (primary < 0 || primary >= count)
        primary = 0;
    const bool requested = requestedScreen >= 0 && requestedScreen < count;

    const bool storedScreenExists = storedScreen >= 0 && storedScreen < count;
    if (storedGeometry.isEmpty() && !requested && storedScreenExists) {
        // Nothing stored but the screen (an empty store reads as screen 0): the window stays
        // at that screen's corner where the caller put it, at its own size.
        placement.screen = storedScreen;
        return placement;
    }

    if (!storedGeometry.isEmpty() && storedScreenExists) {
        const int holder = screenHolding(availableAreas, storedGeometry.center());
        if (holder >= 0 && (!requested || holder == requestedScreen)) {
            const QRect &area = availableAreas.at(holder);
            // A window never gets smaller than the design: on a screen smaller than that,
            // the design size is what it can show.
            const QSize showable = area.size().expandedTo(designSize);
            if (storedGeometry.width() <= showable.width()
                && storedGeometry.height() <= showable.height()) {
                placement.screen = holder;
                placement.geometry = storedGeometry;
                return placement;
            }
        }
    }

    placement.screen = requested ? requestedScreen : primary;
    placement.geometry = centredIn(availableAreas.at(placement.screen), designSize);
    return placement;
}
