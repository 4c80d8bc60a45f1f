#ifndef ZAVIRON_TESTS_SUPPORT_H
#define ZAVIRON_TESTS_SUPPORT_H

#include <QByteArray>
#include <QMap>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "catalogue/cataloguecodec.h"

/// What several suites need: files, entries, a working folder, answers to message boxes.
namespace Support {

/// The file's content; "<unreadable>" when it cannot be read, so that a comparison with any real content fails.
QByteArray readAll(const QString &path);

/// Writes data to the file at path, replacing what it held; false when that fails.
bool writeFile(const QString &path, const QByteArray &data);

/// The log file as text.
QString logText();

/// An entry with the given fields; the description is derived from the title.
CatalogueEntry entry(const QString &title, const QString &package, const QString &ppa = QString(),
                     const QString &key = QString(), const QString &sourcesLine = QString());

/// A fresh temporary folder that is the working folder while the object lives (the catalogue's home).
class WorkDir
{
public:
    WorkDir();
    ~WorkDir();
    QString path() const { return dir.path(); }
    /// Writes the catalogue file in it from entries.
    bool writeCatalogue(const QVector<CatalogueEntry> &entries) const;

private:
    QTemporaryDir dir;
    QString previous;
};

/// Answers every message box the program runs: records its text and informative text (joined by "|"), then
/// answers Yes-No boxes with answerYes and every other box with Close. While it lives it is the only answerer.
class Boxes
{
public:
    Boxes();
    ~Boxes();
    QStringList shown;     ///< "text|informative" of every box, in order
    bool answerYes = true; ///< the answer to a box that has Yes and No
};

} // namespace Support

/// A local apt repository for the suites that run real apt in the sandbox: tiny packages made with dpkg-deb, a flat
/// index made with dpkg-scanpackages, optionally signed with a throw-away key.
namespace AptFixture {

/// Builds <repo>/<name>.deb (version 1.0, architecture all) with the given maintainer files (postinst, config,
/// templates ...) in its control area; scripts among them are made executable.
bool buildPackage(const QString &repo, const QString &name, const QMap<QString, QByteArray> &control = {});

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

} // namespace AptFixture

#endif
