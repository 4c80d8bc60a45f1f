#ifndef ZAVIRON_PACKAGESTATUS_H
#define ZAVIRON_PACKAGESTATUS_H

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

/// Whether catalogue packages are installed, read from dpkg's own status output.
namespace PackageStatus {

/// What readStatus returns for an installed package; the installation run compares against it.
extern const char *const InstalledText; // "Status: install ok installed\n"

/// The names whose stanza's own Status field reads "install ok installed" (or "hold ok installed": held, yet
/// installed) in dpkg's status output (`dpkg -s`, or `dpkg-query -W` printing those fields). A package listed once per architecture is installed when any of its
/// stanzas is; both "name" and "name:arch" are given.
QSet<QString> installedIn(const QByteArray &dpkgOutput);

/// InstalledText when any stanza is installed, otherwise the Status lines found (each with its line break).
QString statusText(const QByteArray &dpkgOutput);

/// One dpkg query for all names: the subset that is installed. Names dpkg cannot know are not installed; the
/// package part of a name is found whatever its letter case, as dpkg -s finds it.
QSet<QString> queryInstalled(const QStringList &names);

/// The status text of one package (one dpkg query).
QString queryStatus(const QString &name);

} // namespace PackageStatus

#endif
