#ifndef ZAVIRON_CHECKREPORT_H
#define ZAVIRON_CHECKREPORT_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include "mainwindow/workflow.h"

/// What the installability check found and added to the system, and the texts it shows for that.
namespace CheckReport {

/// Something this check added to the system: how the summary names it, and the repository addresses it brought
/// (none for a key), by which apt's complaints about it are recognised.
struct Added {
    QString text;
    QStringList uris;
    // How to take it back: the sources line it wrote, or the file it added, and the key URL stored for it.
    QString line;
    QString file;
    QString key;
    QStringList packages; ///< the rows' packages that need it
};

/// The refresh question for the package names that brought repository data (duplicates named once, in order).
QString updateQuestion(const QStringList &names);

/// The informative text under the refresh question.
QString updateQuestionInformative();

/// The summary's note on a refresh right after this check added entries to the system, or "" when there is
/// nothing to say: one that failed (exit status, -1 when unknown) names every entry added; one that exited 0 but
/// could not fetch an added repository (apt's "W:" or "E:" line names its address) names that one.
QString refreshNote(const Workflow::Refresh &refresh, const QVector<Added> &added);

/// Which of the added entries the refresh could not read or fetch (their indexes): all of them when apt could not
/// read its sources at all, else those whose address apt's "W:" or "E:" lines name.
QVector<int> failedAdded(const Workflow::Refresh &refresh, const QVector<Added> &added);

/// The summary's note on what was taken back after the refresh failed on it, and whether the refresh after that did.
QString takenBackNote(const QStringList &texts, const QString &failure);

/// The error line as the summary shows it: apt's held-broken-packages message gets a plainer wording.
QString summaryLine(const QString &errorLine);

/// The error entry of one failed row: "Установка <package> невозможна:\n <line>".
QString failureMessage(const QString &package, const QString &errorLine);

} // namespace CheckReport

#endif
