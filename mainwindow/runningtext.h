#ifndef ZAVIRON_RUNNINGTEXT_H
#define ZAVIRON_RUNNINGTEXT_H

#include <QString>

/// The scrolling status line and the table scrolling that follow the work in progress.
namespace RunningText {

/// One tick: advances pos by one, back to 0 at or past the end, and returns the text rotated left by pos.
QString advance(const QString &text, int *pos);

/// Tick interval for a speed (characters per second), integer division.
int intervalMs(int speed);

/// Table scroll step for n rows: (n - 18) / n * 33 in single precision when n > 18, else 0.
float scrollStep(int rows);

/// Scroll bar position for row index i: the step added once per row before it, truncated toward zero.
int scrollPosition(int rows, int row);

} // namespace RunningText

#endif
