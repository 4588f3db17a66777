#include "panel/windowplace.h"

#include <algorithm>

namespace qj {

WindowFit fitWindow(QSize natural, QSize room, int scrollBar)
{
    if (natural.width() <= room.width() && natural.height() <= room.height())
        return {false, natural};
    // A scroll bar across one side takes room from the other, which may then need one too.
    bool across = natural.height() > room.height(); // a vertical bar: the width grows
    bool down = natural.width() + (across ? scrollBar : 0) > room.width();
    across = across || natural.height() + (down ? scrollBar : 0) > room.height();
    const QSize wanted(natural.width() + (across ? scrollBar : 0),
                       natural.height() + (down ? scrollBar : 0));
    return {true, wanted.boundedTo(room)};
}

bool placeOnScreens(const QRect &frame, const QList<QRect> &available)
{
    return std::any_of(available.begin(), available.end(),
                       [&frame](const QRect &area) { return area.contains(frame); });
}

} // namespace qj
