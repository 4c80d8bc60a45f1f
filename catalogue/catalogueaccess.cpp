#include "catalogue/catalogueaccess.h"
#include "app/safefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ownerTrusted(uid_t uid) { return uid == 0 || uid == ::geteuid(); }

bool refuse(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// The checks on a file's own status, shared by the check by name and the check of the open file.
bool fileTrusted(const struct stat &st, const QString &shown, QString *why)
{
    if (S_ISLNK(st.st_mode))
        return refuse(why, QStringLiteral("Файл %1 является символической ссылкой.").arg(shown));
    if (!S_ISREG(st.st_mode))
        return refuse(why, QStringLiteral("%1 не является обычным файлом.").arg(shown));
    if (!ownerTrusted(st.st_uid))
        return refuse(why, QStringLiteral("Владелец файла %1 - другой пользователь.").arg(shown));
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(why, QStringLiteral("Файл %1 доступен для записи другим пользователям.").arg(shown));
    return true;
}

QString damaged(int intact)
{
    return QStringLiteral("Файл списка программ dataSoftware.db повреждён после записи %1. Ничего не записано.")
        .arg(intact);
}

// The reason a change must not be written now, or empty.
QString refusal(const QString &path)
{
    const CatalogueAccess::Loaded now = CatalogueAccess::load(path);
    return now.writable() ? QString() : now.why;
}

} // namespace

bool catalogueUsable(const QString &path, QString *why)
{
    const QFileInfo info(path);
    const QString shown = info.absoluteFilePath();
    const QString folder = info.absolutePath();
    struct stat st;
    // A sticky folder such as /tmp is not enough: anyone may put a file of their own there before we come.
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return refuse(why, QStringLiteral("Не удалось проверить папку %1: %2")
                                  .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    if (!ownerTrusted(st.st_uid))
        return refuse(why, QStringLiteral("Владелец папки %1 - другой пользователь.").arg(folder));
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return refuse(why, QStringLiteral("Папка %1 доступна для записи другим пользователям.").arg(folder));
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        return refuse(why, QStringLiteral("Не удалось проверить файл %1: %2")
                                  .arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return fileTrusted(st, shown, why);
}

CatalogueAccess::Loaded CatalogueAccess::load(const QString &path)
{
    Loaded loaded;
    if (!catalogueUsable(path, &loaded.why)) {
        loaded.usable = false;
        return loaded;
    }
    // Opened without following a link, and checked again as opened, so nothing swapped in after the check is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int openErrno = errno;
    if (fd < 0 && openErrno == ENOENT)
        return loaded; // missing: an empty catalogue, which the first add creates
    const QString shown = QFileInfo(path).absoluteFilePath();
    // Whatever goes wrong from here on (a link put there since the check, a file that cannot be read), the
    // catalogue is neither read nor written: a rewrite from what was read would lose the rest.
    const auto failed = [&](const QString &what, int error) {
        loaded.usable = false;
        loaded.entries.clear();
        loaded.why = what.arg(shown, QString::fromLocal8Bit(std::strerror(error)));
        return loaded;
    };
    if (fd < 0)
        return failed(QStringLiteral("Не удалось открыть файл %1: %2"), openErrno);
    struct stat st;
    QFile file;
    if (::fstat(fd, &st) != 0) {
        const int statErrno = errno;
        ::close(fd);
        return failed(QStringLiteral("Не удалось проверить файл %1: %2"), statErrno);
    }
    if (!fileTrusted(st, shown, &loaded.why)) {
        ::close(fd);
        loaded.usable = false;
        return loaded;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failed(QStringLiteral("Не удалось прочитать файл %1: %2"), EIO);
    }
    loaded.entries = CatalogueCodec::decode(file.readAll(), &loaded.complete);
    loaded.read = file.error() == QFileDevice::NoError;
    if (!loaded.read)
        return failed(QStringLiteral("Не удалось прочитать файл %1: %2"), EIO);
    if (!loaded.complete)
        loaded.why = damaged(loaded.entries.size() - 1);
    return loaded;
}

bool CatalogueAccess::rewrite(const QString &path, const QVector<CatalogueEntry> &entries, QString *why)
{
    const QString no = refusal(path);
    if (!no.isEmpty())
        return refuse(why, no);
    return write(path, entries, why);
}

bool CatalogueAccess::append(const QString &path, const CatalogueEntry &entry, QString *why)
{
    const QString no = refusal(path);
    if (!no.isEmpty())
        return refuse(why, no);
    return SafeFile::write(path, CatalogueCodec::encodeEntry(entry), SafeFile::Append, why);
}

bool CatalogueAccess::undoAppend(const QString &path, const CatalogueEntry &entry, QString *why)
{
    const QString no = refusal(path);
    if (!no.isEmpty())
        return refuse(why, no);
    const QByteArray record = CatalogueCodec::encodeEntry(entry);
    const QString shown = QFileInfo(path).absoluteFilePath();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return refuse(why, QStringLiteral("Не удалось открыть файл %1: %2")
                               .arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st;
    QByteArray tail(record.size(), Qt::Uninitialized);
    bool ok = ::fstat(fd, &st) == 0 && fileTrusted(st, shown, why);
    const off_t keep = ok ? st.st_size - record.size() : -1;
    ok = ok && keep >= 0 && ::pread(fd, tail.data(), size_t(tail.size()), keep) == tail.size() && tail == record;
    if (!ok && why && why->isEmpty())
        *why = QStringLiteral("Файл %1 не оканчивается добавленной записью.").arg(shown);
    if (ok && (::ftruncate(fd, keep) != 0 || ::fsync(fd) != 0)) {
        ok = refuse(why, QStringLiteral("Не удалось укоротить файл %1: %2")
                             .arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
    }
    ::close(fd);
    return ok;
}

bool CatalogueAccess::removeEdited(const QString &path, int row, const CatalogueEntry &copy, QString *why)
{
    Loaded now = load(path);
    if (!now.writable())
        return refuse(why, now.why);
    if (now.entries.isEmpty() || !(now.entries.last() == copy))
        return refuse(why, QStringLiteral("Файл %1 не оканчивается добавленной записью.")
                               .arg(QFileInfo(path).absoluteFilePath()));
    if (row < 0 || row >= now.entries.size() - 1)
        return refuse(why, QStringLiteral("В списке нет прежней записи."));
    now.entries.remove(row);
    return write(path, now.entries, why);
}

bool CatalogueAccess::read(const QString &path, QVector<CatalogueEntry> *entries, QString *why, bool *complete)
{
    entries->clear();
    if (complete)
        *complete = true;
    QFile file(path);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!file.isOpen() || file.error() != QFileDevice::NoError)
        return refuse(why, file.errorString());
    *entries = CatalogueCodec::decode(data, complete);
    return true;
}

bool CatalogueAccess::write(const QString &path, const QVector<CatalogueEntry> &entries, QString *why)
{
    // Not QSaveFile: on a full disk it can commit a cut-off file and still report success.
    return SafeFile::replace(path, CatalogueCodec::encode(entries), why);
}
