#include "catalogue/cataloguecodec.h"

#include <QDataStream>
#include <QIODevice>

namespace {

constexpr int StreamVersion = 12; // QDataStream::Qt_4_6
constexpr quint32 NullMarker = 0xFFFFFFFFu;

void writeEntry(QDataStream &out, const CatalogueEntry &entry)
{
    // A null text would go out as the null-string marker; the file only ever holds real (possibly empty) texts.
    for (const QString &field : entry.fields())
        out << (field.isNull() ? QString(QLatin1String("")) : field);
}

// The six fields in record order, with their names.
const struct {
    const char *name;
    QString CatalogueEntry::*member;
} Fields[CatalogueEntry::FieldCount] = {
    {"Title", &CatalogueEntry::title},         {"Description", &CatalogueEntry::description},
    {"InstallTitle", &CatalogueEntry::installTitle}, {"PPA", &CatalogueEntry::ppa},
    {"GetAptKey", &CatalogueEntry::getAptKey}, {"AptListEntry", &CatalogueEntry::aptListEntry},
};

} // namespace

const QStringList &CatalogueEntry::names()
{
    static const QStringList list = [] {
        QStringList l;
        for (const auto &field : Fields)
            l << QLatin1String(field.name);
        return l;
    }();
    return list;
}

QStringList CatalogueEntry::fields() const
{
    QStringList f;
    for (const auto &field : Fields)
        f << this->*field.member;
    return f;
}

CatalogueEntry CatalogueEntry::fromFields(const QStringList &f)
{
    CatalogueEntry e;
    for (int i = 0; i < FieldCount && i < f.size(); ++i)
        e.*Fields[i].member = f.at(i);
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
