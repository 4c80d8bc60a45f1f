#ifndef ZAVIRON_LOGLINE_H
#define ZAVIRON_LOGLINE_H

#include <QDateTime>
#include <QString>

/// "[dd.MM.yyyy hh:mm:ss]  message\n": the line format of the log and of the check's summary. Every line of the
/// message after its first starts with a blank (one is put in where none is), so no text inside a message can
/// begin a line that reads as an entry of its own. Nothing in it acts on a terminal: every control character but the
/// line break and the tab is written as \xHH (C0, DEL, C1), U+2028 and U+2029 as \u2028 and \u2029, a backslash as \\.
QString formatLogLine(const QDateTime &when, const QString &message);

/// Appends one log line, stamped now, to the file at path, as UTF-8. A planted symbolic link is never
/// followed. Returns false when the file cannot be opened or written; callers may drop the line.
bool appendLogLine(const QString &path, const QString &message);

#endif
