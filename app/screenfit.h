#ifndef ZAVIRON_SCREENFIT_H
#define ZAVIRON_SCREENFIT_H

#include <QMargins>
#include <QRect>

/// Windows whose forms are larger than a small screen (a 1366 x 768 laptop) are made to fit it, so that no button
/// lies below the screen's edge; on a large enough screen nothing changes.
namespace ScreenFit {

/// The geometry (of the window's inside) for a window that wants wanted on a screen whose free area is available,
/// with frame the room the window system's frame takes around it: shrunk to the free area, then moved into it.
/// A window that lies on the free area and whose size leaves room for the frame is returned unchanged.
QRect fit(const QRect &wanted, const QRect &available, const QMargins &frame);

/// The terminal window's geometry on a desktop of the given size.
QRect terminalGeometry(int desktopWidth, int desktopHeight);

} // namespace ScreenFit

#endif
