#include "walldisplay/screens.h"

#include <QDataStream>
#include <QIODevice>

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
    // Right of every screen: the one that reaches furthest right, the nearest to it.
    int nearest = 0;
    for (int i = 1; i < count; ++i) {
        const QRect &area = availableAreas.at(i);
        const QRect &best = availableAreas.at(nearest);
        if (area.x() + area.width() > best.x() + best.width())
            nearest = i;
    }
    return nearest;
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
    placement.screen = 0;
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
        // Screens may overlap (mirrored, or heads that all start at the origin): the screen
        // asked for, or else the stored one, is preferred among those holding the centre.
        const QPoint centre = storedGeometry.center();
        const int preferred = requested ? requestedScreen : storedScreen;
        int holder = availableAreas.at(preferred).contains(centre) ? preferred : -1;
        if (holder < 0 && !requested)
            holder = screenHolding(availableAreas, centre);
        if (holder >= 0) {
            // A window never gets smaller than the design: on a screen smaller than that,
            // the design size is what it can show.
            const QSize showable = availableAreas.at(holder).size().expandedTo(designSize);
            if (storedGeometry.width() <= showable.width()
                && storedGeometry.height() <= showable.height()) {
                placement.screen = holder;
                return placement;
            }
        }
    }

    placement.screen = requested ? requestedScreen : primary;
    placement.geometry = centredIn(availableAreas.at(placement.screen), designSize);
    return placement;
}

QRect storedNormalGeometry(const QByteArray &block)
{
    // The toolkit's saved-geometry block, major versions 1 to 3 of its layout: a magic number,
    // the version, then the frame and the normal geometry. Any other layout is not read.
    QDataStream stream(block);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    stream >> magic >> major >> minor;
    Q_UNUSED(minor)
    if (stream.status() != QDataStream::Ok || magic != 0x1D9D0CB || major < 1 || major > 3)
        return QRect();
    QRect frame;
    QRect normal;
    stream >> frame >> normal;
    if (stream.status() != QDataStream::Ok || !normal.isValid())
        return QRect();
    return normal;
}
