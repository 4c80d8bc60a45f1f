#ifndef ZAVIRON_TESTS_SUPPORT_H
#define ZAVIRON_TESTS_SUPPORT_H

#include <QMap>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "catalogue/catalogueaccess.h"

using Entries = QVector<CatalogueEntry>;
Q_DECLARE_METATYPE(Entries)

namespace Support {

QByteArray readAll(const QString &path); ///< "<unreadable>" when it cannot be read, unlike any real content
bool writeFile(const QString &path, const QByteArray &data);
QString script(const QString &path, const QByteArray &body); ///< writes an executable sh script; returns path
QString logText();
QStringList logMessages(); ///< the log's messages without their stamps; a line without one shows as "<malformed> ..."
/// An entry with the given fields; the description is derived from the title.
CatalogueEntry entry(const QString &title, const QString &package, const QString &ppa = QString(),
                     const QString &key = QString(), const QString &sourcesLine = QString());
/// The current test row's value in a column, for use inside an expression.
template <class T> T fetch(const char *column) { return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>())); }

/// A fresh temporary folder that is the working folder while the object lives (the catalogue's home).
class WorkDir
{
public:
    WorkDir();
    ~WorkDir();
    QString path() const { return dir.path(); }
    bool writeCatalogue(const Entries &entries) const;

private:
    QTemporaryDir dir;
    QString previous;
};

/// While it lives, every box really runs: "text|informative" as shown goes to shown; answered by that button or key.
class Boxes
{
public:
    Boxes();
    ~Boxes();
    QStringList shown;
    int answer = QMessageBox::Yes;
};

} // namespace Support

/// A local apt repository for the suites that run real apt in the sandbox.
namespace AptFixture {
/// <repo>/<name>.deb, version 1.0, with these files (postinst, config, templates ...) in its control area and these
/// fields ("Depends: x\n") in its control file.
bool buildPackage(const QString &repo, const QString &name, const QMap<QString, QByteArray> &control = {},
                  const QByteArray &fields = {});
bool indexRepository(const QString &repo); ///< writes its flat Packages index
bool makeKey(const QString &gnupgHome, QByteArray *armored, QByteArray *binary); ///< a signing key; its public half
bool signRepository(const QString &repo, const QString &gnupgHome); ///< Release and a signed InRelease
bool onlySources(const QByteArray &content); ///< sources.list.d emptied, sources.list holding content
bool aptUpdate(QByteArray *errors = nullptr); ///< on failure *errors holds what apt said
/// Serves dir on loopback over https at httpsPort (a certificate the sandbox trusts), as a key host does, and over
/// http at httpPort; below /to-http/ the https side redirects to http. True once the https side answers.
bool serve(QProcess *server, const QString &dir, int httpsPort, int httpPort);
} // namespace AptFixture

#endif
