#include "app/lockprobe.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

LockProbe::Finding LockProbe::probe(const QString &path)
{
    Finding found;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            found.state = Finding::Missing;
        else
            found.error = QString::fromLocal8Bit(std::strerror(errno));
        return found;
    }
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // the whole file
    // An open-file-description probe also sees locks of this process, which a classic F_GETLK would not; for a
    // classic lock, as apt and dpkg take, it names the holder's pid (in this process's pid namespace).
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        found.error = QString::fromLocal8Bit(std::strerror(errno));
    } else if (probe.l_type == F_UNLCK) {
        found.state = Finding::Free;
    } else {
        found.state = Finding::Held;
        if (probe.l_pid > 0) {
            found.pid = probe.l_pid;
            QFile comm(QStringLiteral("/proc/%1/comm").arg(probe.l_pid));
            if (comm.open(QIODevice::ReadOnly))
                found.name = QString::fromLocal8Bit(comm.readAll().trimmed());
        }
    }
    ::close(fd);
    return found;
}

QString LockProbe::describe(const QString &path, const Finding &finding)
{
    switch (finding.state) {
    case Finding::Missing:
        return QStringLiteral("Блокировка %1 свободна (файла нет)").arg(path);
    case Finding::Free:
        return QStringLiteral("Блокировка %1 свободна").arg(path);
    case Finding::Held:
        if (finding.pid <= 0)
            return QStringLiteral("Блокировка %1 занята другим процессом").arg(path);
        return QStringLiteral("Блокировка %1 занята процессом %2 (%3)")
            .arg(path, QString::number(finding.pid), finding.name.isEmpty() ? QStringLiteral("имя неизвестно") : finding.name);
    case Finding::Unknown:
        break;
    }
    return QStringLiteral("Блокировку %1 проверить не удалось: %2").arg(path, finding.error);
}
