#ifndef ZAVIRON_SCREENFIT_H
#define ZAVIRON_SCREENFIT_H

#include <QMargins>
#include <QRect>

class QWidget;

/// Windows whose forms are larger than a small screen (a 1366 x 768 laptop) are made to fit it, so that no button
/// lies below the screen's edge; on a large enough screen nothing changes.
namespace ScreenFit {

/// The geometry (of the window's inside) for a window that wants wanted on a screen whose free area is available,
/// with frame the room the window system's frame takes around it: shrunk to the free area, then moved into it.
/// A window that lies on the free area and whose size leaves room for the frame is returned unchanged.
QRect fit(const QRect &wanted, const QRect &available, const QMargins &frame);

// In the window library:

/// Fits a top-level window to the free area of its screen (the frame's own size once it is known, else room for a
/// title bar).
void apply(QWidget *window);

/// The main window's form places its widgets at fixed positions: when its height changes, stretch (the table)
/// takes up the difference and every widget below it moves with the bottom edge. Then the window is fitted.
void fitKeepingBottomRow(QWidget *window, QWidget *stretch);

} // namespace ScreenFit

#endif
