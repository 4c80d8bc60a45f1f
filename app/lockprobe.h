#ifndef ZAVIRON_LOCKPROBE_H
#define ZAVIRON_LOCKPROBE_H

#include <QString>

/// apt and dpkg hold their lock files with fcntl write locks while they work. The files themselves are theirs: one
/// left behind is harmless, and removing one while it is held would let two package managers run at once, so the
/// program only looks.
namespace LockProbe {

struct Finding {
    enum State { Missing, Free, Held, Unknown } state = Unknown;
    qint64 pid = 0; ///< the holder, when the kernel names it (not for an open-file lock or one from outside)
    QString name;   ///< the holder's command name, from /proc
    QString error;  ///< Unknown: why the file could not be looked at
};

/// Whether some process holds an fcntl lock on the file, and which.
Finding probe(const QString &path);

/// The log line for what probe found at path.
QString describe(const QString &path, const Finding &finding);

} // namespace LockProbe

#endif
