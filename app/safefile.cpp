#include "app/safefile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool SafeFile::write(const QString &path, const QByteArray &data, Mode mode)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(native.constData());

    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (mode == Append ? O_APPEND : O_TRUNC);
    const int fd = ::open(native.constData(), flags, 0644);
    if (fd < 0)
        return false;
    // A link made between the lstat and the open is refused by O_NOFOLLOW; anything but a regular file is too.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const bool ok = writeAll(fd, data);
    return ::close(fd) == 0 && ok;
}

bool SafeFile::remove(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    return ::unlink(native.constData()) == 0 || errno == ENOENT;
}

bool SafeFile::exists(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}
