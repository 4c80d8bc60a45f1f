#include "app/instancelock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int heldFd = -1; // open until the process ends: closing it would give the lock away
}

InstanceLock::Result InstanceLock::take(const QString &path, QString *error)
{
    if (heldFd >= 0)
        return Taken;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st;
    const char *why = nullptr;
    if (fd < 0)
        why = std::strerror(errno);
    else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        why = "это не обычный файл пользователя root";
    if (why) {
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = path + QLatin1String(": ") + QString::fromLocal8Bit(why);
        return Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        if (error)
            *error = path + QLatin1String(": ") + QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return busy ? HeldElsewhere : Failed;
    }
    heldFd = fd;
    return Taken;
}

InstanceLock::Start InstanceLock::decide(Result lock, bool lockFileThere)
{
    switch (lock) {
    case Taken:
        return lockFileThere ? Start::ReplaceStale : Start::Go;
    case HeldElsewhere:
        return Start::RefuseRunning;
    case Failed:
        break;
    }
    return Start::RefuseUnlocked;
}
