#include "tests/support/aptfixture.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    return SafeFile::write(path, data, SafeFile::Truncate);
}

} // namespace

bool AptFixture::buildPackage(const QString &repo, const QString &name, bool failingPostinst)
{
    const QString root = repo + QStringLiteral("/src/") + name;
    QDir().mkpath(root + QStringLiteral("/DEBIAN"));
    QDir().mkpath(root + QStringLiteral("/usr/share/") + name);
    const QByteArray control = "Package: " + name.toUtf8() +
                               "\nVersion: 1.0\nArchitecture: all\nMaintainer: Test <test@example.org>\n"
                               "Description: test package\n";
    bool ok = writeFile(root + QStringLiteral("/DEBIAN/control"), control) &&
              writeFile(root + QStringLiteral("/usr/share/") + name + QStringLiteral("/marker"), "x\n");
    if (failingPostinst) {
        const QString postinst = root + QStringLiteral("/DEBIAN/postinst");
        ok = ok && writeFile(postinst, "#!/bin/sh\necho failing on purpose >&2\nexit 1\n") &&
             QFile::setPermissions(postinst, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                 QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                 QFile::ExeOther);
    }
    const ProcessResult build = runProgram(
        QStringLiteral("dpkg-deb"), {QStringLiteral("--build"), QStringLiteral("--root-owner-group"), root,
                                     repo + QLatin1Char('/') + name + QStringLiteral(".deb")});
    return ok && build.exitCode == 0;
}

bool AptFixture::indexRepository(const QString &repo)
{
    const ProcessResult index = runProgram(
        QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("cd \"$1\" && dpkg-scanpackages . /dev/null > Packages"),
                               QStringLiteral("sh"), repo});
    // apt's download helper runs as another user: it must be able to read the repository.
    QFile::setPermissions(repo, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    return index.exitCode == 0;
}

bool AptFixture::makeKey(const QString &gnupgHome, QByteArray *armored, QByteArray *binary)
{
    QDir().mkpath(gnupgHome);
    QFile::setPermissions(gnupgHome, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QStringList home{QStringLiteral("--homedir"), gnupgHome, QStringLiteral("--batch")};
    const ProcessResult made =
        runProgram(QStringLiteral("gpg"), home + QStringList{QStringLiteral("--passphrase"), QString(),
                                                             QStringLiteral("--quick-gen-key"),
                                                             QStringLiteral("Test Repository <test@example.org>"),
                                                             QStringLiteral("ed25519"), QStringLiteral("sign"),
                                                             QStringLiteral("never")});
    const ProcessResult ascii =
        runProgram(QStringLiteral("gpg"), home + QStringList{QStringLiteral("--armor"), QStringLiteral("--export")});
    const ProcessResult raw = runProgram(QStringLiteral("gpg"), home + QStringList{QStringLiteral("--export")});
    *armored = ascii.out;
    *binary = raw.out;
    return made.exitCode == 0 && !armored->isEmpty() && !binary->isEmpty();
}

bool AptFixture::signRepository(const QString &repo, const QString &gnupgHome)
{
    const QByteArray packages = readAll(repo + QStringLiteral("/Packages"));
    if (packages.isEmpty())
        return false;
    const QString date = QLocale::c().toString(QDateTime::currentDateTimeUtc(),
                                               QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'UTC'"));
    const QByteArray release = "Origin: test\nLabel: test\nDate: " + date.toLatin1() + "\nSHA256:\n " +
                               QCryptographicHash::hash(packages, QCryptographicHash::Sha256).toHex() + ' ' +
                               QByteArray::number(packages.size()) + " Packages\n";
    if (!writeFile(repo + QStringLiteral("/Release"), release))
        return false;
    QFile::remove(repo + QStringLiteral("/InRelease"));
    const ProcessResult sign = runProgram(
        QStringLiteral("gpg"), {QStringLiteral("--homedir"), gnupgHome, QStringLiteral("--batch"),
                                QStringLiteral("--clearsign"), QStringLiteral("-o"), repo + QStringLiteral("/InRelease"),
                                repo + QStringLiteral("/Release")});
    return sign.exitCode == 0;
}

bool AptFixture::onlySources(const QByteArray &content)
{
    const QString dir = QStringLiteral("/etc/apt/sources.list.d");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return SafeFile::replace(QString::fromLatin1(Sys::SourcesList), content);
}

bool AptFixture::aptUpdate(QByteArray *errors)
{
    const ProcessResult update = runProgram(QStringLiteral("apt-get"), {QStringLiteral("update")}, 120000);
    if (errors)
        *errors = update.err;
    return update.exitCode == 0;
}

QByteArray AptFixture::readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
