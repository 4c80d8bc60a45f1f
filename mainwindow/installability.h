#ifndef ZAVIRON_INSTALLABILITY_H
#define ZAVIRON_INSTALLABILITY_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

#include "app/process.h"

/// Which of the marked packages apt cannot install, found in a few joint simulations instead of one per package.
/// The rows left installable are the ones apt accepts together, which is how the installation run meets them.
namespace Installability {

/// The names among `among` that apt's answer to a joint simulation blames, each with apt's line about it:
/// a stderr error line ("E:" or "Error:") that names it as a whole word ("E: Unable to locate package NAME", in any
/// language), else its entry in the list of unmet dependencies on stdout (" NAME : Depends: ... but it is not
/// installable", further lines of the same entry joined with "; "). apt writes that list only when it is at most
/// once quiet ("-q", not "-qq"). A name apt shows without the ":arch" it was asked with still counts; a name that
/// is not among `among` (a dependency that is broken) blames nothing.
QMap<QString, QString> blamed(const QByteArray &aptErr, const QByteArray &aptOut, const QStringList &among);

struct Outcome {
    QMap<QString, QString> failures; ///< name -> the reason the check shows for it
    int simulations = 0;             ///< how many times simulate ran
};

/// Which of names apt cannot install, with each one's reason. One joint simulation; when it fails, the names apt
/// blames are dropped and the rest simulated jointly again, while apt names new ones. An answer that blames none of
/// the remaining names (a removal refused by --no-remove names none in the error) drops the ones whose installation
/// apt's account of its automatic installs says would remove an installed package; where it says nothing either,
/// the names are split in halves, each simulated jointly, down to single names where needed; when the first half
/// passes, the second is known to fail and is split without a run of its own. A name's reason is apt's line about
/// it where an answer names it, else the reason of the simulation that found it (AptCommands::simulationFailure).
/// A run that did not finish (not started, timed out) ends the check: every name still open gets its reason.
/// simulate runs apt-get over the names it is given.
Outcome judge(const QStringList &names, const std::function<ProcessResult(const QStringList &)> &simulate);

} // namespace Installability

#endif
