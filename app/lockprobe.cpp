#include "app/lockprobe.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

bool LockProbe::isHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return true;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0; // the whole file
    // An open-file-description probe also sees locks of this process; a classic F_GETLK would not.
    const bool ok = ::fcntl(fd, F_OFD_GETLK, &probe) == 0;
    ::close(fd);
    return !ok || probe.l_type != F_UNLCK;
}
