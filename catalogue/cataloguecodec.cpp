#include "catalogue/cataloguecodec.h"
#include "app/safefile.h"

#include <QDataStream>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int StreamVersion = 12; // QDataStream::Qt_4_6
constexpr quint32 NullMarker = 0xFFFFFFFFu;

void writeEntry(QDataStream &out, const CatalogueEntry &entry)
{
    // A null text would go out as the null-string marker; the file only ever holds real (possibly empty) texts.
    for (const QString &field : entry.fields())
        out << (field.isNull() ? QString(QLatin1String("")) : field);
}

} // namespace

QStringList CatalogueEntry::fields() const
{
    return {title, description, installTitle, ppa, getAptKey, aptListEntry};
}

CatalogueEntry CatalogueEntry::fromFields(const QStringList &f)
{
    CatalogueEntry e;
    QString *dst[FieldCount] = {&e.title, &e.description, &e.installTitle, &e.ppa, &e.getAptKey, &e.aptListEntry};
    for (int i = 0; i < FieldCount && i < f.size(); ++i)
        *dst[i] = f.at(i);
    return e;
}

QByteArray CatalogueCodec::encodeEntry(const CatalogueEntry &entry)
{
    return encode({entry});
}

QByteArray CatalogueCodec::encode(const QVector<CatalogueEntry> &entries)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    for (const CatalogueEntry &entry : entries)
        writeEntry(out, entry);
    return bytes;
}

QVector<CatalogueEntry> CatalogueCodec::decode(const QByteArray &data, bool *complete)
{
    QVector<CatalogueEntry> entries;
    QDataStream in(data);
    in.setVersion(StreamVersion);
    bool stop = false;
    while (!stop && !in.atEnd()) {
        QStringList fields;
        for (int i = 0; i < CatalogueEntry::FieldCount && !stop; ++i) {
            quint32 length = 0;
            in >> length;
            if (in.status() != QDataStream::Ok) { // fewer than four bytes left
                stop = true;
                break;
            }
            if (length == NullMarker) {
                fields << QString();
                continue;
            }
            const qint64 left = data.size() - in.device()->pos();
            if (length % 2 != 0 || static_cast<qint64>(length) > left) {
                stop = true;
                break;
            }
            QByteArray raw(static_cast<int>(length), Qt::Uninitialized);
            in.readRawData(raw.data(), static_cast<int>(length));
            QString text(static_cast<int>(length / 2), Qt::Uninitialized);
            const auto *p = reinterpret_cast<const uchar *>(raw.constData());
            for (int c = 0; c < text.size(); ++c)
                text[c] = QChar(static_cast<ushort>((p[2 * c] << 8) | p[2 * c + 1]));
            fields << text;
        }
        // Whatever could be read of it, a started record is a row.
        if (fields.size() < CatalogueEntry::FieldCount)
            stop = true;
        entries << CatalogueEntry::fromFields(fields);
    }
    if (complete)
        *complete = !stop;
    return entries;
}

bool CatalogueCodec::readFile(const QString &path, QVector<CatalogueEntry> *entries, QString *error, bool *complete)
{
    entries->clear();
    if (complete)
        *complete = true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *entries = decode(data, complete);
    return true;
}

bool CatalogueCodec::saveFile(const QString &path, const QVector<CatalogueEntry> &entries, QString *error)
{
    // Not QSaveFile: on a full disk it can commit a cut-off file and still report success.
    return SafeFile::replace(path, encode(entries), error);
}

bool CatalogueCodec::appendEntry(const QString &path, const CatalogueEntry &entry, QString *error)
{
    const QByteArray record = encodeEntry(entry);
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const off_t oldSize = ::lseek(fd, 0, SEEK_END);
    qint64 done = 0;
    bool ok = oldSize >= 0;
    while (ok && done < record.size()) {
        const ssize_t n = ::write(fd, record.constData() + done, static_cast<size_t>(record.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (!ok && oldSize >= 0 && ::ftruncate(fd, oldSize) != 0) {
        // Nothing more can be done here; the caller reports the failure.
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok && error)
        *error = QString::fromLocal8Bit(std::strerror(savedErrno ? savedErrno : errno));
    return ok;
}
