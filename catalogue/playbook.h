#ifndef ZAVIRON_PLAYBOOK_H
#define ZAVIRON_PLAYBOOK_H

#include "catalogue/cataloguecodec.h"

/// The catalogue as an Ansible playbook that brings its entries to every host of an inventory: per entry its PPA,
/// its signing key (under /etc/apt/keyrings, named in the sources line's signed-by option) and its sources line,
/// one package-list update when any of them changed, then every package in one apt task.
namespace Playbook {

/// The playbook for the entries whose package field is in only (all entries when only is empty). What the window
/// would refuse is left out, each with a comment naming it: an entry whose package field is no package name, a PPA
/// not of the form ppa:OWNER/NAME, a key address other than https (and then the sources line it was to sign), a
/// sources line that is no one-line entry or switches signature checks off. So is an entry with half a surrogate
/// pair in a text the playbook holds, as YAML cannot write one. Every catalogue text goes in as
/// a double-quoted YAML string tagged !unsafe, so that neither YAML nor Ansible's templating reads anything in it.
/// The names of only that no entry installs go to *unmatched.
QString generate(const QVector<CatalogueEntry> &entries, const QStringList &only = QStringList(),
                 QStringList *unmatched = nullptr);

/// Where the key downloaded from url is kept: a name from the URL's hash, ".gpg" for a URL ending so (a binary
/// key), ".asc" (an armoured key) otherwise, as apt tells the two apart by the name.
QString keyPath(const QString &url);

} // namespace Playbook

#endif
