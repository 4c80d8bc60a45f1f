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

/// The only code that reads or writes a catalogue file; CatalogueCodec only turns its bytes into entries and back.
/// The program's own catalogue is changed so that a damaged or foreign file is never written: a file that the reader
/// could not read to its end would lose everything after the damage on a rewrite, and an append behind the damage
/// could never be read back. Every call that can fail puts its reason (plain text) into *why.
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

/// Appends one entry under the same condition, whole or not at all (SafeFile cuts a failed append back).
bool append(const QString &path, const CatalogueEntry &entry, QString *why = nullptr);

/// Takes the entry just appended off the end again, provided the file (still usable) ends with exactly its record;
/// otherwise false with *why, and the file is not touched.
bool undoAppend(const QString &path, const CatalogueEntry &entry, QString *why = nullptr);

/// The second half of an edit, whose changed copy was just appended: rewrites the catalogue without the entry as it
/// was (index row), under the same condition as rewrite. Only a row before the copy, which must still end the file,
/// is taken: had the catalogue shrunk behind the edit dialog, row could name the copy itself, and the edit would be
/// lost. Otherwise false with *why, and the file is not touched.
bool removeEdited(const QString &path, int row, const CatalogueEntry &copy, QString *why = nullptr);

/// Any catalogue file, with no check of whose it is (the catalogue tool's input, a test's file): false when it
/// cannot be read. *complete as for CatalogueCodec::decode.
bool read(const QString &path, QVector<CatalogueEntry> *entries, QString *why = nullptr, bool *complete = nullptr);

/// Writes a catalogue file anew, whoever's it is, through a temporary file renamed over the old one: on any
/// failure the old file stays as it was, byte for byte.
bool write(const QString &path, const QVector<CatalogueEntry> &entries, QString *why = nullptr);

} // namespace CatalogueAccess

#endif
