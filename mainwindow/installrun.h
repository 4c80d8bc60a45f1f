#ifndef ZAVIRON_INSTALLRUN_H
#define ZAVIRON_INSTALLRUN_H

#include <QString>

#include "app/lockprobe.h"

/// What the installation run tells the user and the log when it ends, when it is stopped and while it waits.
namespace InstallRun {

/// The run's final texts: the instruction line, the status line, the log line.
struct Ending {
    QString label;
    QString status;
    QString log;
};

/// How the run ended: installed of total packages are installed now (as dpkg says), and whether the user stopped it.
Ending ending(int installed, int total, bool stopped);

/// The instruction line once the user has stopped the run; closing: the window closes when dpkg is done.
QString stoppedLabel(bool closing);

/// The status line while the run waits for a lock that holder holds at path.
QString lockWait(const QString &path, const LockProbe::Finding &holder);

} // namespace InstallRun

#endif
