#include "mainwindow/runningtext.h"

QString RunningText::advance(const QString &text, int *pos)
{
    ++*pos;
    if (*pos >= text.length())
        *pos = 0;
    return text.right(text.length() - *pos) + text.left(*pos);
}

int RunningText::intervalMs(int speed) { return speed == 0 ? 0 : 1000 / speed; }

float RunningText::scrollStep(int rows)
{
    if (rows <= 18)
        return 0.0f;
    return static_cast<float>(rows - 18) / static_cast<float>(rows) * 33.0f;
}

int RunningText::scrollPosition(int rows, int row)
{
    // The position grows by one step per row, in single precision, exactly as the walk over the table adds it.
    const float step = scrollStep(rows);
    float p = 0.0f;
    for (int i = 0; i < row; ++i)
        p += step;
    return static_cast<int>(p);
}
