#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QRect>
#include <QString>
#include <QStringList>

/// The terminal window's command handling: no shell ever sees the command line.
namespace CommandLine {

/// Splits a command line at runs of white space, dropping empty parts; no quoting or shell syntax is read.
QStringList split(const QString &command);

/// The terminal window's header text for a command and the package being installed.
QString header(const QString &command, const QString &instProg);

/// The terminal window's geometry on a desktop of the given size.
QRect geometry(int desktopWidth, int desktopHeight);

} // namespace CommandLine

#endif
