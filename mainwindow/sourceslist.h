#ifndef ZAVIRON_SOURCESLIST_H
#define ZAVIRON_SOURCESLIST_H

#include <QByteArray>
#include <QString>
#include <QStringList>

/// Adding a one-line entry to sources.list. The user's own lines are never touched: only exact copies of the
/// entry (the same words once blanks are collapsed) count as the entry, never a comment and never a longer line.
namespace SourcesList {

/// What adding line to a file's content comes to.
struct Edit {
    QByteArray content;  ///< the new content
    bool present = false; ///< the entry was there already: it is kept where it stands and not written again
    QStringList removed; ///< further copies of it, removed (each as it stood)
};
/// The entry appended, with exactly one line break after it (a last line without its line break gets one first, so
/// nothing is joined); or, when the content holds it already, the first copy kept and any others removed.
Edit addEntry(const QByteArray &content, const QString &line);

/// The result of add().
struct Added {
    bool ok = false;
    Edit edit;
    QString why; ///< when not ok
};
/// Adds line to the file at path: created 0644 when missing, otherwise rewritten atomically (its mode kept), or left
/// alone when nothing changes. A file that exists but cannot be read is left alone: rewriting it from nothing would
/// lose its lines.
Added add(const QString &path, const QString &line);

/// The URI of a one-line entry ("" when it has none).
QString uriOf(const QString &line);

/// The repository addresses a sources file names, in either format (one-line entries, or deb822 "URIs:" fields).
QStringList urisIn(const QString &path);

} // namespace SourcesList

#endif
