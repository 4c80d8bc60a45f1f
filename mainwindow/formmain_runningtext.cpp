// The status line's running text: a timer of the window itself moves it one character left per tick.
#include "mainwindow/formmain.h"

#include "mainwindow/runningtext.h"

void FormMain::setSpeed(int speed)
{
    if (speedTimerId != 0)
        killTimer(speedTimerId);
    speedTimerId = 0;
    if (speed != 0)
        speedTimerId = startTimer(RunningText::intervalMs(speed));
}

void FormMain::timerEvent(QTimerEvent *)
{
    installLabel->setText(RunningText::advance(runningText, &runningPos));
}
