#ifndef SAFEFILE_H
#define SAFEFILE_H

#include <QByteArray>
#include <QString>

/// Writing files in world-writable folders as root: a symbolic link planted at the path is never followed, so
/// nobody can make the program write into a file of their choosing.
namespace SafeFile {

enum Mode { Truncate, Append };

/// Creates the file (mode 0644) or opens it without following a link, then writes data whole. A link at the path
/// is removed first and replaced by a plain file. Returns false when the file cannot be opened or written.
bool write(const QString &path, const QByteArray &data, Mode mode);

/// Replaces the file at path with data through a temporary file in the same folder that is renamed over it: on
/// any failure (a full disk, a read-only folder) the old file stays as it was, byte for byte. The new file keeps
/// the old one's mode and owner (0644 for a new file). Every write is checked; nothing is left behind on failure.
bool replace(const QString &path, const QByteArray &data);

/// Removes the file or link at path itself (never a link's target). True when nothing is left there.
bool remove(const QString &path);

/// True when something (file or link, even a dangling one) exists at path.
bool exists(const QString &path);

/// Removes whatever lies at path (a planted link, a planted file) and creates a new file there exclusively, so it is
/// ours; in a sticky folder like /tmp nobody else can then replace it. Writes data whole.
bool createFresh(const QString &path, const QByteArray &data);

/// Reads path into *data only when it is a plain file (not a link) owned by this process's user.
bool readOwn(const QString &path, QByteArray *data);

} // namespace SafeFile

#endif
