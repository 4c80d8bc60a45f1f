#include "app/ownprocesses.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <csignal>
#include <unistd.h>

namespace {

struct ProcInfo {
    pid_t parent = 0;
    pid_t session = 0;
    bool zombie = false; // ended, not yet reaped: nothing of it runs
    QString name;
};

// /proc/PID/stat is "pid (comm) state ppid ...": comm may hold blanks and brackets, so it ends at the last ')'.
bool readStat(pid_t pid, ProcInfo *info)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = f.readAll();
    const int open = stat.indexOf('(');
    const int close = stat.lastIndexOf(')');
    if (open < 0 || close < open)
        return false;
    info->name = QString::fromUtf8(stat.mid(open + 1, close - open - 1));
    const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
    if (rest.size() < 4)
        return false;
    info->zombie = rest.at(0) == "Z";
    info->parent = static_cast<pid_t>(rest.at(1).toLong());
    info->session = static_cast<pid_t>(rest.at(3).toLong());
    return true;
}

QHash<pid_t, ProcInfo> allProcesses()
{
    QHash<pid_t, ProcInfo> all;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const pid_t pid = static_cast<pid_t>(entry.toLong(&isPid));
        ProcInfo info;
        if (isPid && readStat(pid, &info))
            all.insert(pid, info);
    }
    return all;
}

// Walks up the parent chain; a bounded walk guards against a cycle from pids reused mid-scan.
bool below(const QHash<pid_t, ProcInfo> &all, pid_t pid, pid_t root)
{
    pid_t up = all.value(pid).parent;
    for (int depth = 0; up > 0 && depth < 4096; ++depth) {
        if (up == root)
            return true;
        up = all.value(up).parent;
    }
    return false;
}

} // namespace

QList<pid_t> OwnProcesses::inSession(pid_t session)
{
    QList<pid_t> found;
    const QHash<pid_t, ProcInfo> all = allProcesses();
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (it.value().session == session && !it.value().zombie)
            found << it.key();
    return found;
}

QList<pid_t> OwnProcesses::descendantsNamed(const QString &name, pid_t root)
{
    if (root == 0)
        root = ::getpid();
    const QHash<pid_t, ProcInfo> all = allProcesses();
    QList<pid_t> found;
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if (it.value().name == name && below(all, it.key(), root))
            found.append(it.key());
    return found;
}

bool OwnProcesses::isOwn(pid_t pid)
{
    return below(allProcesses(), pid, ::getpid());
}

QList<pid_t> OwnProcesses::sessionsBelow(pid_t root)
{
    const QHash<pid_t, ProcInfo> all = allProcesses();
    QList<pid_t> sessions;
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        if ((it.key() == root || below(all, it.key(), root)) && !sessions.contains(it.value().session))
            sessions.append(it.value().session);
    return sessions;
}

int OwnProcesses::terminate(const QString &name)
{
    int count = 0;
    for (pid_t pid : descendantsNamed(name))
        if (::kill(pid, SIGTERM) == 0)
            ++count;
    return count;
}
