#ifndef ZAVIRON_CATALOGUECODEC_H
#define ZAVIRON_CATALOGUECODEC_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

/// One program of the catalogue: six texts, stored exactly as typed.
struct CatalogueEntry {
    QString title;
    QString description;
    QString installTitle;  ///< the package name apt installs
    QString ppa;           ///< "ppa:owner/archive", or empty
    QString getAptKey;     ///< URL of the repository signing key, or empty
    QString aptListEntry;  ///< one line for sources.list, or empty

    static constexpr int FieldCount = 6;
    QStringList fields() const;                            ///< the six texts in record order
    static CatalogueEntry fromFields(const QStringList &); ///< missing fields are empty
    bool operator==(const CatalogueEntry &o) const { return fields() == o.fields(); }
};

/// The catalogue file: records of six strings, each a 32-bit big-endian byte count and UTF-16BE text (QDataStream
/// version 12 serialisation of QString), with no header and nothing between records.
namespace CatalogueCodec {

QByteArray encode(const QVector<CatalogueEntry> &entries);
QByteArray encodeEntry(const CatalogueEntry &entry);

/// Reads every record; a record cut short by the end of the data still counts, its missing fields empty. A length
/// word that is odd or points past the end leaves its field empty and ends the reading, so damaged data never
/// makes the reader allocate more than the data's own size. The null-string marker reads as an empty field.
/// *complete (when given) tells whether the data was read to its end as whole records: when it is false, the last
/// entry is the damaged one and the entries before it are intact.
QVector<CatalogueEntry> decode(const QByteArray &data, bool *complete = nullptr);

/// Reads the file at path; false when it cannot be opened or read (entries is then left empty, *error says why).
/// *complete as for decode.
bool readFile(const QString &path, QVector<CatalogueEntry> *entries, QString *error = nullptr,
              bool *complete = nullptr);

/// Rewrites the whole file through a temporary file renamed over the old one: on any failure the old file stays
/// as it was, byte for byte, and *error says why.
bool saveFile(const QString &path, const QVector<CatalogueEntry> &entries, QString *error = nullptr);

/// Appends one record at the end of the file (created if missing), whole or not at all: a failed write is cut back
/// to the old length, so no half record can shift the fields that follow. A link at the path is not followed.
bool appendEntry(const QString &path, const CatalogueEntry &entry, QString *error = nullptr);

} // namespace CatalogueCodec

#endif
