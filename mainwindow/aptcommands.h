#ifndef ZAVIRON_APTCOMMANDS_H
#define ZAVIRON_APTCOMMANDS_H

#include <QString>
#include <QStringList>

#include "app/process.h"
#include "terminal/terminalcommand.h"

/// How apt and its helpers are run, and how their answers are read. A catalogue field is always one argument after
/// "--", never command text, and apt takes every name as that one package, never as a pattern.
namespace AptCommands {

/// The refresh of the package lists, for the terminal window; it leaves its outcome in folder (Workflow::readRefresh).
/// Its header shows "apt-get update".
TerminalCommand updateCommand(const QString &folder);

/// The installation of one package, for the terminal window.
TerminalCommand installCommand(const QString &package);

/// The repair of an installation that was cut short, for the terminal window: "dpkg --configure -a".
TerminalCommand configureCommand();

/// Whether "dpkg --audit" reports a package that an interrupted run left half installed or half configured.
bool needsRepair(const ProcessResult &audit);

/// apt-get arguments that simulate the installation of packages quietly.
QStringList simulateArgs(const QStringList &packages);

/// Why a simulation says its packages cannot be installed; empty when apt exited 0 within its time. The reason is
/// apt's first "E:" line, else the exit code with the first line it wrote; warnings alone never fail a package.
QString simulationFailure(const ProcessResult &simulation);

/// Why a helper failed, for a log entry: the line that says what went wrong (apt's first "E:" line; for another tool
/// the last non-empty line of its error output, not the first line of a traceback), then the rest of what it said
/// as continuation lines. Empty when it succeeded.
QString failureReason(const ProcessResult &result);

/// apt-add-repository arguments that add ppa without a refresh of its own (the refresh question follows).
QStringList ppaArgs(const QString &ppa);

/// What adding a PPA came to: why it failed (empty: it did not) and the files it added to sourcesDir.
struct PpaAdded {
    QString failure;
    QStringList files;
};
/// Adds ppa (an acceptable "ppa:OWNER/NAME") with apt-add-repository, where the release has it.
PpaAdded addPpa(const QString &ppa, const QString &sourcesDir);

} // namespace AptCommands

#endif
