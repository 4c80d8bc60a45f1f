#ifndef ZAVIRON_APTFIXTURE_H
#define ZAVIRON_APTFIXTURE_H

#include <QByteArray>
#include <QString>

/// A local apt repository for the suites that run real apt in the sandbox: tiny packages made with dpkg-deb, a flat
/// index made with dpkg-scanpackages, optionally signed with a throw-away key.
namespace AptFixture {

/// Builds <repo>/<name>.deb (version 1.0, architecture all); a failing package's postinst exits 1.
bool buildPackage(const QString &repo, const QString &name, bool failingPostinst = false);

/// Writes the repository's Packages index.
bool indexRepository(const QString &repo);

/// Makes a signing key in gnupgHome; its public half goes to *armored and *binary.
bool makeKey(const QString &gnupgHome, QByteArray *armored, QByteArray *binary);

/// Writes Release and a signed InRelease for the indexed repository with the key in gnupgHome.
bool signRepository(const QString &repo, const QString &gnupgHome);

/// apt reads only these sources: sources.list.d is emptied and sources.list holds content.
bool onlySources(const QByteArray &content);

/// Runs "apt-get update"; on failure *errors holds what apt said.
bool aptUpdate(QByteArray *errors = nullptr);

/// The file's content, empty when it cannot be read.
QByteArray readAll(const QString &path);

} // namespace AptFixture

#endif
