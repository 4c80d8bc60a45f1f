#ifndef ZAVIRON_SOURCESLIST_H
#define ZAVIRON_SOURCESLIST_H

#include <QByteArray>
#include <QString>
#include <QStringList>

/// Adding a one-line entry to sources.list. The user's own lines are never touched: only exact copies of the
/// entry (the same words once blanks are collapsed) count as the entry, never a comment and never a longer line, and
/// no line is ever removed or rewritten.
namespace SourcesList {

/// What adding line to a file's content comes to.
struct Edit {
    QByteArray content;  ///< the new content
    bool present = false; ///< the entry was there already: it is kept where it stands and not written again
    QStringList changed;  ///< enablePartner: the lines it enabled
};
/// The entry appended, with exactly one line break after it (a last line without its line break gets one first, so
/// nothing is joined); or, when the content holds it already, the content unchanged.
Edit addEntry(const QByteArray &content, const QString &line);

/// The content without the lines that are line (blanks collapsed): a line this program wrote, taken back.
QByteArray removeEntry(const QByteArray &content, const QString &line);

/// The content with the distribution's commented partner entries enabled: only "# deb" or "# deb-src", then
/// "http://archive.canonical.com/ubuntu", a suite and "partner", nothing else on the line. present: a line changed.
Edit enablePartner(const QByteArray &content);

/// Why the sources file at path must not be read or rewritten (empty: it may be, or it does not exist): a link, a
/// FIFO or anything else that is not a plain file.
QString fileProblem(const QString &path);

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
