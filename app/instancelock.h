#ifndef ZAVIRON_INSTANCELOCK_H
#define ZAVIRON_INSTANCELOCK_H

#include <QString>

/// One instance at a time: an exclusive flock on a root-only file, held from the start window to the end of the
/// process (entry dialogs and every new main window included). The kernel drops it when the process ends, however
/// it ends, so a crashed instance never blocks the next start.
namespace InstanceLock {

enum Result { Taken, HeldElsewhere, Failed };

/// Takes the lock on the file at path (created 0600, never through a link) and keeps it for the process's life.
/// Taking it again in the same process gives Taken. Failed (with *error) when the file cannot be opened or is not a
/// plain file of ours.
Result take(const QString &path, QString *error = nullptr);

/// What a start does. Only the flock tells whether another instance runs: a file in /tmp that anybody may have put
/// there, or that a killed run left behind, blocks nothing while the flock is free.
enum class Start {
    Go,             ///< the lock is ours and nothing lies at the lock file's name
    ReplaceStale,   ///< the lock is ours: what lies at the lock file's name is stale and is replaced
    RefuseRunning,  ///< another instance holds the lock
    RefuseUnlocked, ///< the lock could not be taken for another reason: starting anyway would let two run at once
};
Start decide(Result lock, bool lockFileThere);

} // namespace InstanceLock

#endif
