#include "app/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Puts the text of errno, or of why, into *error and returns false.
bool fail(QString *error, const QString &path, const char *why = nullptr)
{
    if (error)
        *error = path + QLatin1String(": ") + QString::fromLocal8Bit(why ? why : std::strerror(errno));
    return false;
}

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

bool SafeFile::write(const QString &path, const QByteArray &data, Mode mode, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(native.constData());

    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (mode == Append ? O_APPEND : O_TRUNC);
    const int fd = ::open(native.constData(), flags, 0644);
    if (fd < 0)
        return fail(error, path);
    // A link made between the lstat and the open is refused by O_NOFOLLOW; anything but a regular file is too.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(error, path, "not a regular file");
    }
    const bool ok = writeAll(fd, data);
    const int writeErrno = errno;
    if (::close(fd) != 0 || !ok) {
        errno = ok ? errno : writeErrno;
        return fail(error, path);
    }
    return true;
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

bool SafeFile::replace(const QString &path, const QByteArray &data, QString *error)
{
    const QFileInfo info(path);
    QByteArray temp = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName() +
                                        QLatin1String(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(error, path);
    struct stat old;
    const bool existed = ::stat(QFile::encodeName(path).constData(), &old) == 0;
    bool ok = writeAll(fd, data) && ::fchmod(fd, existed ? (old.st_mode & 07777) : 0644) == 0;
    if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        const int savedErrno = errno;
        ::unlink(temp.constData());
        errno = savedErrno;
        return fail(error, path);
    }
    return true;
}

bool SafeFile::createFresh(const QString &path, const QByteArray &data, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        ::unlink(native.constData());
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue; // someone put something there again between the removal and the creation
        if (fd < 0)
            return fail(error, path);
        const bool ok = writeAll(fd, data);
        if (::close(fd) != 0 || !ok)
            return fail(error, path);
        return true;
    }
    return fail(error, path, "something is put at this name again and again");
}

bool SafeFile::readOwn(const QString &path, QByteArray *data, QString *error)
{
    data->clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(error, path);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return fail(error, path, "not a plain file of ours");
    }
    bool ok = true;
    char buffer[4096];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        data->append(buffer, static_cast<int>(n));
    }
    ::close(fd);
    if (!ok) {
        data->clear();
        return fail(error, path);
    }
    return true;
}
