#ifndef ZAVIRON_CATALOGUEACCESS_H
#define ZAVIRON_CATALOGUEACCESS_H

#include <QString>
#include <QVector>

#include "catalogue/cataloguecodec.h"

/// The program runs as root and trusts what the catalogue asks it to install, so it reads and writes only a
/// catalogue that nobody but root (or the user running it) could have put there or changed: a plain file, not a
/// link, owned by root or by us, writable by nobody else, in a folder that nobody else can write either. A missing
/// file in such a folder is fine: the first add creates it. *why (Russian, plain text) says what is wrong.
bool catalogueUsable(const QString &path, QString *why = nullptr);

/// Reading and changing the catalogue so that a damaged or foreign file is never written: a file that the reader
/// could not read to its end would lose everything after the damage on a rewrite, and an append behind the damage
/// could never be read back.
namespace CatalogueAccess {

/// What a window knows about the catalogue it loaded.
struct Loaded {
    QVector<CatalogueEntry> entries; ///< empty when the file is not usable
    bool usable = true;              ///< it passed catalogueUsable
    bool complete = true;            ///< read to its end as whole records
    bool read = false;               ///< the file was there and could be read
    QString why;                     ///< when it must not be written: why (plain text)
    bool writable() const { return usable && complete; }
};

/// Reads the catalogue if it is usable; a missing file reads as an empty, writable catalogue, with read false. One
/// that cannot be opened is not usable.
Loaded load(const QString &path);

/// Rewrites the catalogue with entries, provided it is still usable and whole when read again now. False with
/// *why otherwise, and then the file is not touched.
bool rewrite(const QString &path, const QVector<CatalogueEntry> &entries, QString *why = nullptr);

/// Appends one entry under the same condition.
bool append(const QString &path, const CatalogueEntry &entry, QString *why = nullptr);

} // namespace CatalogueAccess

#endif
