#ifndef ZAVIRON_LOCKPROBE_H
#define ZAVIRON_LOCKPROBE_H

#include <QString>

/// apt and dpkg hold their lock files with fcntl write locks while they work.
namespace LockProbe {

/// True when some process holds an fcntl lock on the file (or when that cannot be found out: then the file is
/// treated as held and left alone).
bool isHeld(const QString &path);

} // namespace LockProbe

#endif
