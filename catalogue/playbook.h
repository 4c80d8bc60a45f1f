#ifndef ZAVIRON_PLAYBOOK_H
#define ZAVIRON_PLAYBOOK_H

#include <functional>

#include "catalogue/cataloguecodec.h"

/// The catalogue as an Ansible playbook that brings its entries to every host of an inventory, each host getting
/// what it can: per entry its PPA (on Ubuntu hosts only), its signing key (carried in the playbook, kept under
/// /etc/apt/keyrings, named in the sources line's signed-by option) and its sources line (a list file of its own,
/// taken back on a host where apt cannot fetch its package list); one refresh of the package lists per run; the
/// packages that the host's lists offer in one apt call (one by one only when apt refuses them together). A host
/// that could not get every entry ends failed, naming the entries and why.
namespace Playbook {

/// Fetches the key at url: the key in binary form, or an empty array with the reason in *failure.
using KeyFetcher = std::function<QByteArray(const QString &url, QString *failure)>;

/// The playbook for the entries whose package field is in only (all entries when only is empty). An entry with a
/// field the window would refuse is left out whole (its package too), with a comment per reason: a package field
/// that is no package name, a PPA not of the form ppa:OWNER/NAME, a key address other than https, a key that
/// fetchKey cannot bring (each address is fetched once; without fetchKey no key is had), a sources line that is no
/// one-line entry or switches signature checks off, half a surrogate pair in a text the playbook holds (YAML cannot
/// write one). Every catalogue text goes in as a double-quoted YAML string tagged !unsafe, so that neither YAML nor
/// Ansible's templating reads anything in it. The names of only that no entry installs go to *unmatched.
QString generate(const QVector<CatalogueEntry> &entries, const QStringList &only = QStringList(),
                 QStringList *unmatched = nullptr, const KeyFetcher &fetchKey = KeyFetcher());

/// Where the key fetched from url is kept on the hosts: a name from the URL's hash, ".asc", as the playbook carries
/// the key armoured.
QString keyPath(const QString &url);

/// The list file for a sources line under /etc/apt/sources.list.d: "zaviron-", the repository's host, a hash of the
/// whole line, ".list"; short enough for any file system, and apt accepts every character of it.
QString listPath(const QString &line);

/// The binary OpenPGP key in ASCII armour (with its CRC-24 line), as apt reads a ".asc" keyring.
QString armoured(const QByteArray &key);

} // namespace Playbook

#endif
