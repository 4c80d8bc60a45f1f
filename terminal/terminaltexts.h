#ifndef ZAVIRON_TERMINALTEXTS_H
#define ZAVIRON_TERMINALTEXTS_H

#include <QString>

/// What the terminal window's header says.
namespace TerminalTexts {

/// The terminal window's header text for a command and the package being installed.
QString header(const QString &command, const QString &instProg);

/// What the header adds when the user tries to close the window while its command runs.
QString stillRunningNote();

/// What the header adds after an abort, while the processes of the command's session (dpkg) still run.
QString finishingNote();

/// The header shown instead when the command could not be started.
QString failedHeader(const QString &command);

} // namespace TerminalTexts

#endif
