#ifndef ZAVIRON_COMMANDLINE_H
#define ZAVIRON_COMMANDLINE_H

#include <QRect>
#include <QString>
#include <QStringList>

/// The terminal window's texts, program lookup and placing.
namespace CommandLine {

/// The terminal window's header text for a command and the package being installed.
QString header(const QString &command, const QString &instProg);

/// What the header adds when the user tries to close the window while its command runs.
QString stillRunningNote();

/// What the header adds after an abort, while the processes of the command's session (dpkg) still run.
QString finishingNote();

/// The header shown instead when the command could not be started.
QString failedHeader(const QString &command);

/// The file a program name would run: a name with a '/' is taken as a path, any other is looked up on the search
/// path. Empty when there is no such executable file.
QString findProgram(const QString &program);

/// The terminal window's geometry on a desktop of the given size.
QRect geometry(int desktopWidth, int desktopHeight);

} // namespace CommandLine

#endif
