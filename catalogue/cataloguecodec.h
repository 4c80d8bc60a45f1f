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
    /// The field names in record order (Title ... AptListEntry): the keys of the text form, and the names of the
    /// entry dialogs' input fields after "lineEdit". The one place that fixes the order of the six fields.
    static const QStringList &names();
    QStringList fields() const;                            ///< the six texts in record order
    static CatalogueEntry fromFields(const QStringList &); ///< missing fields are empty
    bool operator==(const CatalogueEntry &o) const { return fields() == o.fields(); }
};

/// The catalogue file: records of six strings, each a 32-bit big-endian byte count and UTF-16BE text (QDataStream
/// version 12 serialisation of QString), with no header and nothing between records. Bytes to entries and back
/// only: the file itself is read and written by CatalogueAccess.
namespace CatalogueCodec {

QByteArray encode(const QVector<CatalogueEntry> &entries);
QByteArray encodeEntry(const CatalogueEntry &entry);

/// Reads every record; a record cut short by the end of the data still counts, its missing fields empty. A length
/// word that is odd or points past the end leaves its field empty and ends the reading, so damaged data never
/// makes the reader allocate more than the data's own size. The null-string marker reads as an empty field.
/// *complete (when given) tells whether the data was read to its end as whole records: when it is false, the last
/// entry is the damaged one and the entries before it are intact.
QVector<CatalogueEntry> decode(const QByteArray &data, bool *complete = nullptr);

} // namespace CatalogueCodec

#endif
