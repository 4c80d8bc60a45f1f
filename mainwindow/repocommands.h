#ifndef ZAVIRON_REPOCOMMANDS_H
#define ZAVIRON_REPOCOMMANDS_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "app/process.h"
#include "terminal/terminalcommand.h"

/// The window-free half of the repository preparation and the installability check: the argument lists of the
/// commands (catalogue fields are always data after "--", never command text), the literal sources.list edit, the
/// key file name, the texts of the refresh question and the replacement of apt's known message.
namespace RepoCommands {

/// apt-add-repository arguments that add ppa.
QStringList ppaArgs(const QString &ppa);

/// sh arguments that fetch the key at url and pipe it into apt-key; the URL is the script's first parameter.
QStringList keyPipeArgs(const QString &url);

/// wget arguments that write the key at url to standard output.
QStringList keyDownloadArgs(const QString &url);

/// The refresh of the package lists, for the terminal window; its header shows "apt-get update".
TerminalCommand updateCommand(const QString &statusFile);

/// The installation of one package, for the terminal window: the name is one argument after "--".
TerminalCommand installCommand(const QString &package);

/// apt-get arguments that simulate the installation of package quietly.
QStringList simulateArgs(const QStringList &packages);

/// Why a simulation says its packages cannot be installed; empty when apt exited 0 within its time. The reason is
/// apt's first "E:" line, else the exit code with the first line it wrote; warnings alone never fail a package.
QString simulationFailure(const ProcessResult &simulation);

/// Why a key download (the run of keyDownloadArgs) gives no key to store, or an empty string when its data may be
/// one: the script failed or timed out, wget failed, or more than the limit came.
QString keyDownloadFailure(const ProcessResult &download);

/// Arguments for gpg that list the keys of the data on its standard input, with homeDir as its private home.
QStringList keyListArgs(const QString &homeDir);

/// True when gpg's colon listing holds a public key.
bool listsPublicKey(const QByteArray &colonListing);

/// The summary's note after a refresh that failed (exit status, -1 when unknown) right after this run added
/// repository entries to the system: which ones, and where, so the user can take them out again.
QString updateFailureNote(int exitStatus, const QStringList &added);

enum KeyKind { NotAKey, ArmoredKey, BinaryKey };

/// What a downloaded key looks like: an ASCII-armored public key block, a binary OpenPGP public key, or neither
/// (an error page, an empty download).
KeyKind keyKind(const QByteArray &data);

/// File name for a key in apt's trusted.gpg.d: "zaviron-", then the URL's host and file name joined by "-", with a key extension of
/// the URL dropped and ".asc" (armored) or ".gpg" (binary) put on; characters apt would not accept become "_".
/// Empty for NotAKey.
QString keyFileName(const QString &url, KeyKind kind);

/// sources.list content with every line that contains line as a literal substring deleted and line appended, with
/// exactly one line break after it. A last line without its line break gets one first, so nothing is joined.
QByteArray editSourcesList(const QByteArray &content, const QString &line);

/// The refresh question for the package names that brought repository data (duplicates named once, in order).
QString updateQuestion(const QStringList &names);

/// The informative text under the refresh question.
QString updateQuestionInformative();

/// The error line as the summary shows it: apt's held-broken-packages message gets a plainer wording.
QString summaryLine(const QString &errorLine);

/// The error entry of one failed row: "Установка <package> невозможна:\n <line>".
QString failureMessage(const QString &package, const QString &errorLine);

} // namespace RepoCommands

#endif
