#include "mainwindow/packagestatus.h"

#include <QRegularExpression>

#include "app/process.h"
#include "app/syspaths.h"
#include "catalogue/fieldrules.h"

using FieldRules::isDpkgName;

const char *const PackageStatus::InstalledText = "Status: install ok installed\n";

namespace {

struct Stanza {
    QString package;
    QString architecture;
    QString status;
};

// A finished installation: "install ok installed", or the same held at its version ("hold ok installed"), which
// is just as installed; apt keeps it from upgrades only.
bool installedStatus(const QString &status)
{
    return status == QLatin1String("install ok installed") || status == QLatin1String("hold ok installed");
}

QList<Stanza> parse(const QByteArray &output)
{
    QList<Stanza> stanzas;
    Stanza current;
    bool open = false;
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.trimmed().isEmpty()) {
            if (open)
                stanzas << current;
            current = Stanza();
            open = false;
            continue;
        }
        // Continuation lines (a description's body) start with a blank and never count as fields.
        if (line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t')))
            continue;
        open = true;
        if (line.startsWith(QLatin1String("Package:")))
            current.package = line.mid(8).trimmed();
        else if (line.startsWith(QLatin1String("Architecture:")))
            current.architecture = line.mid(13).trimmed();
        else if (line.startsWith(QLatin1String("Status:")))
            current.status = line.mid(7).trimmed();
    }
    if (open)
        stanzas << current;
    return stanzas;
}

// dpkg -s finds a package whatever the letter case of its name (its database holds names in lower case), but the
// architecture after a colon only as written. The name as dpkg keeps it: the pattern to ask dpkg-query -W for,
// and the key under which installedIn lists the answer.
QString stanzaKey(const QString &name)
{
    const int colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? name.toLower() : name.left(colon).toLower() + name.mid(colon);
}

// dpkg-query -W answers every name on its own: an unknown name, or one that several installed architectures
// share, is reported on standard error and the others are still listed. dpkg -s would stop the whole query at
// either. Its patterns match letter case exactly, so the names go in as dpkg keeps them.
QByteArray queryStanzas(const QStringList &keys)
{
    QStringList args{QStringLiteral("-W"), QStringLiteral("-f=") + QString::fromLatin1(Sys::DpkgStatusFormat),
                     QStringLiteral("--")};
    args += keys;
    return runProgram(QString::fromLatin1(Sys::DpkgQuery), args).out;
}

} // namespace

QSet<QString> PackageStatus::installedIn(const QByteArray &dpkgOutput)
{
    QSet<QString> installed;
    for (const Stanza &s : parse(dpkgOutput)) {
        if (s.package.isEmpty() || !installedStatus(s.status))
            continue;
        installed << s.package;
        if (!s.architecture.isEmpty())
            installed << s.package + QLatin1Char(':') + s.architecture;
    }
    return installed;
}

QString PackageStatus::statusText(const QByteArray &dpkgOutput)
{
    QString found;
    for (const Stanza &s : parse(dpkgOutput)) {
        if (installedStatus(s.status))
            return QString::fromUtf8(InstalledText);
        if (!s.status.isEmpty())
            found += QStringLiteral("Status: ") + s.status + QLatin1Char('\n');
    }
    return found;
}

bool PackageStatus::queryInstalled(const QStringList &names, QSet<QString> *found, QString *why)
{
    found->clear();
    // All of dpkg's packages in one query with no names on its command line: its cost does not grow with the
    // catalogue, and no name can make the argument list too long.
    const ProcessResult query = runProgram(
        QString::fromLatin1(Sys::DpkgQuery),
        {QStringLiteral("-W"), QStringLiteral("-f=") + QString::fromLatin1(Sys::DpkgStatusFormat)});
    if (!query.succeeded()) {
        if (why)
            *why = QString::fromLatin1(Sys::DpkgQuery) + QStringLiteral(": ") + query.failure();
        return false;
    }
    *found = installedAmong(names, installedIn(query.out));
    return true;
}

QSet<QString> PackageStatus::installedAmong(const QStringList &names, const QSet<QString> &installed)
{
    QSet<QString> found;
    for (const QString &name : names)
        if (isDpkgName(name) && installed.contains(stanzaKey(name)))
            found.insert(name);
    return found;
}

bool PackageStatus::isInstalled(const QString &statusText) { return statusText == QLatin1String(InstalledText); }

QString PackageStatus::queryStatus(const QString &name)
{
    if (!isDpkgName(name))
        return QString();
    return statusText(queryStanzas({stanzaKey(name)}));
}
