#ifndef ZAVIRON_SAFEFILE_H
#define ZAVIRON_SAFEFILE_H

#include <QByteArray>
#include <QString>

/// Writing files in world-writable folders as root: a symbolic link planted at the path is never followed, so
/// nobody can make the program write into a file of their choosing.
namespace SafeFile {

enum Mode { Truncate, Append };

// Every helper that can fail returns false and, when error is given, puts the reason there (for a log line or a box).

/// Links: a link at the path is removed and replaced by a plain file, never followed. Ownership: a new file is
/// the caller's, mode 0644. Atomicity: Append adds all of data or nothing (what a full disk let through is cut back
/// to the old length); Truncate writes data whole or the call fails, with the old content gone either way.
bool write(const QString &path, const QByteArray &data, Mode mode, QString *error = nullptr);

/// Links: a link at the path is replaced, never written through. Ownership: the old file's mode and owner are kept
/// (0644 for a new file). Atomicity: a temporary file in the same folder, synced and renamed over the old one, so
/// on any failure the old file stays as it was, byte for byte, and nothing is left behind.
bool replace(const QString &path, const QByteArray &data, QString *error = nullptr);

/// Removes the file or link at path itself (never a link's target). True when nothing is left there.
bool remove(const QString &path);

/// True when something (file or link, even a dangling one) exists at path.
bool exists(const QString &path);

/// Links: whatever lies at path (a planted link or file) is removed, then the file is created with O_EXCL|O_NOFOLLOW.
/// Ownership: the new file is ours, so in a sticky folder like /tmp nobody else can replace it. Atomicity: none.
bool createFresh(const QString &path, const QByteArray &data, QString *error = nullptr);

} // namespace SafeFile

#endif
