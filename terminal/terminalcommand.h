#ifndef ZAVIRON_TERMINALCOMMAND_H
#define ZAVIRON_TERMINALCOMMAND_H

#include <QMetaType>
#include <QString>
#include <QStringList>

/// A command for the terminal window: the program and its arguments exactly as they reach it (no shell, no split),
/// and the short text the window's header shows for it.
struct TerminalCommand {
    QString program;
    QStringList args;
    QString shown; ///< e.g. "apt-get update"; empty: the program and its arguments joined by blanks

    QString shownText() const { return shown.isEmpty() ? (QStringList{program} + args).join(QLatin1Char(' ')) : shown; }
};

Q_DECLARE_METATYPE(TerminalCommand)

#endif
