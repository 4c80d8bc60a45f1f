#include "mainwindow/packagestatus.h"

#include <QRegularExpression>

#include "app/process.h"
#include "app/syspaths.h"

const char *const PackageStatus::InstalledText = "Status: install ok installed\n";

namespace {

struct Stanza {
    QString package;
    QString architecture;
    QString status;
};

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

} // namespace

bool PackageStatus::isValidName(const QString &name)
{
    static const QRegularExpression rule(QStringLiteral("^\\S+$"));
    return rule.match(name).hasMatch();
}

bool PackageStatus::isDpkgName(const QString &name)
{
    static const QRegularExpression rule(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9+._-]*(:[A-Za-z0-9-]+)?$"));
    return rule.match(name).hasMatch();
}

QSet<QString> PackageStatus::installedIn(const QByteArray &dpkgOutput)
{
    QSet<QString> installed;
    for (const Stanza &s : parse(dpkgOutput)) {
        if (s.package.isEmpty() || s.status != QLatin1String("install ok installed"))
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
        if (s.status == QLatin1String("install ok installed"))
            return QString::fromUtf8(InstalledText);
        if (!s.status.isEmpty())
            found += QStringLiteral("Status: ") + s.status + QLatin1Char('\n');
    }
    return found;
}

QSet<QString> PackageStatus::queryInstalled(const QStringList &names)
{
    QStringList args{QStringLiteral("-s"), QStringLiteral("--")};
    for (const QString &name : names)
        if (isDpkgName(name) && !args.contains(name))
            args << name;
    if (args.size() == 2)
        return {};
    const QSet<QString> installed = installedIn(runProgram(QString::fromLatin1(Sys::DpkgQuery), args).out);
    QSet<QString> result;
    for (const QString &name : names)
        if (installed.contains(name))
            result << name;
    return result;
}

QString PackageStatus::queryStatus(const QString &name)
{
    if (!isDpkgName(name))
        return QString();
    return statusText(
        runProgram(QString::fromLatin1(Sys::Dpkg), {QStringLiteral("-s"), QStringLiteral("--"), name}).out);
}
