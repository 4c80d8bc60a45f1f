#ifndef ZAVIRON_FITWINDOW_H
#define ZAVIRON_FITWINDOW_H

class QWidget;

/// Fitting real windows to their screen, by the rule of ScreenFit::fit.
namespace FitWindow {

/// Fits a top-level window to the free area of its screen (the frame's own size once it is known, else room for a
/// title bar).
void apply(QWidget *window);

/// The main window's form places its widgets at fixed positions: when its height changes, stretch (the table)
/// takes up the difference and every widget below it moves with the bottom edge. Then the window is fitted.
void keepingBottomRow(QWidget *window, QWidget *stretch);

} // namespace FitWindow

#endif
