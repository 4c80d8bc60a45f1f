#ifndef ZAVIRON_SOURCESPLAN_H
#define ZAVIRON_SOURCESPLAN_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include "app/process.h"

/// What a check adds to the repositories apt reads, decided before anything is written, and how each change is
/// taken back. Which entry names which repository is apt's own answer (apt-get indextargets), never a reading of
/// the sources of our own: apt identifies a repository by its address and suite, and refuses to read two entries
/// of one repository that name different keyrings.
namespace SourcesPlan {

/// One index target as apt reports it: the repository (its address with apt's trailing slash, and suite), the
/// entry's type and component, and where the entry stands ("file:n": line n of a one-line file, stanza n of a
/// deb822 file).
struct Target {
    QString uri, suite, type, component, where;
    bool sameRepository(const Target &other) const { return uri == other.uri && suite == other.suite; }
};

/// apt-get arguments that list the index targets of the sources in list and the folder parts, without network.
QStringList targetArgs(const QString &list, const QString &parts);

/// The targets in apt-get's answer to targetArgs.
QVector<Target> readTargets(const QByteArray &out);

/// The keyring (signed-by) that entry n of a sources file names, "" for none: line n of a one-line file, stanza n
/// (counted as apt counts them, disabled ones too) of a deb822 file ("*.sources"). Option and field names are read
/// as apt reads them: "signed-by" exactly in a one-line entry, any letter case in a deb822 field.
QString signedByAt(const QByteArray &content, int n, bool deb822);

/// An entry apt reads now, with the keyring it names.
struct Existing {
    Target target;
    QString signedBy;
};

/// A marked row's sources line, as the check found it.
struct Row {
    QString package;
    QString key;              ///< its key URL, "" for none
    QString line;             ///< its sources line
    QString problem;          ///< why the line is refused before apt sees it ("" : it is not)
    QVector<Target> targets;  ///< apt's reading of the line alone (empty when apt could not read it)
    QString aptProblem;       ///< what apt said when it could not read the line alone
};

enum class Action {
    Write,    ///< write the line (its key first, where it has one)
    Present,  ///< the same repository with the same keyring is there: nothing to write, no key to store
    Other,    ///< the repository is there with another keyring, or none: the user's entry stays, nothing is written
    RenewKey, ///< our own line of an earlier check names the key: the key file is replaced in place, the line stays
    Refused,  ///< nothing is written for the row, for the reason given
};

/// What becomes of one row's line.
struct Decision {
    Action action = Action::Refused;
    QString written; ///< the line as it is or would be written (with signed-by naming keyFile where there is a key)
    QString keyFile; ///< where its key goes ("" for none)
    QString where;   ///< Present, Other, RenewKey: the entry found ("file:n"); for a row of this check, its package
    QString why;     ///< Refused: the reason, a log line
};

/// The decision for each row, in order. The first row of a repository in a check decides it: a later row naming
/// the same repository differently is refused with a reason that names the first one's package.
QVector<Decision> plan(const QVector<Row> &rows, const QVector<Existing> &system, const QString &keyringsDir);

/// Why a keyring that a line names itself must not be trusted (empty: it may be): every file it names must belong
/// to root, be a plain file that nobody else can write, in a folder that nobody else can write; fingerprints pass.
QString keyringProblem(const QString &line);

/// A private folder with a sources list of this content and an empty parts folder, for apt to judge.
struct Candidate {
    QTemporaryDir dir;
    QString list = dir.filePath(QStringLiteral("sources.list"));
    QString parts = dir.filePath(QStringLiteral("parts"));
    explicit Candidate(const QByteArray &content);
};

/// apt's reading of a sources list and parts folder: its targets, or (in problem) its line that says why it cannot
/// read them.
QVector<Target> aptTargets(const QString &list, const QString &parts, QString *problem);

/// Has apt fetch and verify the repositories of list and parts alone: why it cannot, or "".
QString fetchAlone(const QString &list, const QString &parts);

/// apt-get arguments that refresh the lists of the sources in list and parts alone, failing on any error (a
/// repository that cannot be fetched or verified) and leaving the lists of every other repository in place.
QStringList fetchArgs(const QString &list, const QString &parts);

/// Why a run of fetchArgs failed, told by apt's line that names the repository: its first "E:" line, or the first
/// "W:" line where the only error is that some index files failed. Empty when it succeeded.
QString fetchFailure(const ProcessResult &result);

/// A file as it was before a check changed it, so that the change can be taken back exactly.
struct Saved {
    QString path;
    bool existed = false;
    QByteArray bytes;
};
Saved save(const QString &path);
/// Puts the file back as it was: its old bytes, or no file where there was none. False, with why, when it cannot.
bool restore(const Saved &saved, QString *why = nullptr);

} // namespace SourcesPlan

#endif
