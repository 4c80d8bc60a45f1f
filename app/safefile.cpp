#include "app/safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
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

    // O_NONBLOCK: a FIFO planted at the name would otherwise hold the open until someone reads it.
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (mode == Append ? O_APPEND : O_TRUNC);
    const int fd = ::open(native.constData(), flags, 0644);
    if (fd < 0)
        return fail(error, path);
    // A link made between the lstat and the open is refused by O_NOFOLLOW; anything but a regular file is too.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(error, path, "not a regular file");
    }
    bool ok = writeAll(fd, data);
    const int writeErrno = errno;
    // What a full disk let through of an append is taken back: a cut-off piece would run into whatever comes next.
    if (!ok && mode == Append && ::ftruncate(fd, st.st_size) != 0) {
        // Nothing more can be done; the caller learns of the failure.
    }
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
    // The folder is opened once and everything happens from its descriptor: the temporary file, the rename and the
    // sync all name the same folder, whatever happens to the path meanwhile.
    const QFileInfo info(path);
    const int dir = ::open(QFile::encodeName(info.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return fail(error, path);
    const QByteArray name = QFile::encodeName(info.fileName());
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::openat(dir, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int savedErrno = errno;
        ::close(dir);
        errno = savedErrno;
        return fail(error, path);
    }
    // The mode and owner of the file itself; a link at the name is replaced and lends nothing.
    struct stat old;
    const bool existed = ::fstatat(dir, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
    bool ok = writeAll(fd, data) && ::fchmod(fd, existed ? (old.st_mode & 07777) : 0644) == 0;
    if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::renameat(dir, temp.constData(), dir, name.constData()) == 0;
    const int savedErrno = errno;
    if (!ok)
        ::unlinkat(dir, temp.constData(), 0);
    ok = ok && ::fsync(dir) == 0; // the new name itself survives a power cut
    const int syncErrno = errno;
    ::close(dir);
    errno = ok ? 0 : (savedErrno ? savedErrno : syncErrno);
    return ok || fail(error, path);
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
