#ifndef ZAVIRON_LOGLINE_H
#define ZAVIRON_LOGLINE_H

#include <QDateTime>
#include <QString>

/// "[dd.MM.yyyy hh:mm:ss]  message\n": the one line format of the log and the error file.
QString formatLogLine(const QDateTime &when, const QString &message);

/// Appends one log line, stamped now, to the file at path, as UTF-8. A planted symbolic link is never
/// followed. Returns false when the file cannot be opened or written; callers may drop the line.
bool appendLogLine(const QString &path, const QString &message);

#endif
