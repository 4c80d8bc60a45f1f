#ifndef ZAVIRON_OWNPROCESSES_H
#define ZAVIRON_OWNPROCESSES_H

#include <QList>
#include <QString>

#include <sys/types.h>

/// The processes this program started, found in /proc as the descendants of this process: the children of its
/// terminal windows and of its hidden commands, and theirs. Nothing outside that tree is ever signalled.
namespace OwnProcesses {

/// Descendants of root (this process by default) whose command name is name.
QList<pid_t> descendantsNamed(const QString &name, pid_t root = 0);

/// The processes still running in a session (a terminal's command leads one): a dpkg that apt-get left behind when
/// it was ended is among them, reparented, yet still of that session.
QList<pid_t> inSession(pid_t session);

/// Whether pid is a descendant of this process.
bool isOwn(pid_t pid);

/// The sessions of root and of every descendant of it: apt-get runs dpkg on a terminal of its own, in a session of
/// its own, which goes on after apt-get has ended; knowing it beforehand, one can wait for it afterwards.
QList<pid_t> sessionsBelow(pid_t root);

/// Sends SIGTERM (what killall sends) to every descendant named name. Returns how many were signalled.
int terminate(const QString &name);

} // namespace OwnProcesses

#endif
