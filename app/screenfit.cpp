#include "app/screenfit.h"

#include <algorithm>

QRect ScreenFit::fit(const QRect &wanted, const QRect &available, const QMargins &frame)
{
    const QRect room = available.marginsRemoved(frame);
    // A window that is on the screen and has room for its frame stays where the window system put it.
    if (available.contains(wanted) && wanted.width() <= room.width() && wanted.height() <= room.height())
        return wanted;
    QRect result = wanted;
    result.setWidth(std::min(wanted.width(), room.width()));
    result.setHeight(std::min(wanted.height(), room.height()));
    // Moved no further than needed to bring it onto the free area.
    result.moveLeft(std::clamp(result.left(), room.left(), room.right() + 1 - result.width()));
    result.moveTop(std::clamp(result.top(), room.top(), room.bottom() + 1 - result.height()));
    return result;
}

QRect ScreenFit::terminalGeometry(int desktopWidth, int desktopHeight)
{
    return QRect(desktopWidth / 2 - 296, desktopHeight / 2 - 210, 592, 496);
}
