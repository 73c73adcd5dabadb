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
