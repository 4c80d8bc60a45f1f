#ifndef ZAVIRON_PACKAGESTATUS_H
#define ZAVIRON_PACKAGESTATUS_H

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

/// Whether catalogue packages are installed, read from dpkg's own status output.
namespace PackageStatus {

/// What statusText gives for an installed package.
extern const char *const InstalledText; // "Status: install ok installed\n"

/// The names whose stanza's own Status field reads "install ok installed" (or "hold ok installed": held, yet
/// installed) in dpkg's status output (`dpkg -s`, or `dpkg-query -W` printing those fields). A package listed once per architecture is installed when any of its
/// stanzas is; both "name" and "name:arch" are given.
QSet<QString> installedIn(const QByteArray &dpkgOutput);

/// InstalledText when any stanza is installed, otherwise the Status lines found (each with its line break).
QString statusText(const QByteArray &dpkgOutput);

/// Which of names installedIn lists: the package part of a name is found whatever its letter case, as dpkg -s
/// finds it; the architecture after a colon only as written.
QSet<QString> installedAmong(const QStringList &names, const QSet<QString> &installed);

/// Which of names are installed (installedAmong), from one query of every package dpkg knows. False (with *why) when dpkg could not be asked: then nothing is
/// known to be installed.
bool queryInstalled(const QStringList &names, QSet<QString> *installed, QString *why = nullptr);

/// Whether a status text (statusText, queryStatus) says the package is installed.
bool isInstalled(const QString &statusText);

/// The status text of one package (one dpkg query).
QString queryStatus(const QString &name);

} // namespace PackageStatus

#endif
