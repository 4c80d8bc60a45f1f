#include "mainwindow/aptcommands.h"

#include <QDir>
#include <QSet>

#include "app/syspaths.h"

namespace {

// apt 2 begins its errors with "E:", apt 3 with "Error:".
bool isError(const QString &line)
{
    return line.startsWith(QLatin1String("E:")) || line.startsWith(QLatin1String("Error:"));
}

QStringList lines(const QByteArray &text)
{
    QStringList result;
    for (const QByteArray &line : text.split('\n'))
        if (!line.trimmed().isEmpty())
            result << QString::fromUtf8(line).trimmed();
    return result;
}

// Every apt-get run waits for the package manager's lock (unattended upgrades often hold it for minutes after a
// start) and says in the terminal who holds it; a changed configuration file keeps the user's version instead of
// asking. Where it takes names, each is that package only (never a regular expression that apt falls back to when
// no package has the name), and nothing installed is removed to make room.
QStringList aptOptions()
{
    return {QStringLiteral("-o"), QString::fromLatin1(Sys::AptLockTimeout), QStringLiteral("-o"),
            QStringLiteral("Dpkg::Options::=--force-confdef"), QStringLiteral("-o"),
            QStringLiteral("Dpkg::Options::=--force-confold")};
}
QStringList nameOptions()
{
    return {QStringLiteral("-o"), QStringLiteral("APT::Cmd::Pattern-Only=true"), QStringLiteral("--no-remove")};
}

} // namespace

TerminalCommand AptCommands::updateCommand(const QString &folder)
{
    return {QString::fromLatin1(Sys::Sh),
            QStringList{QStringLiteral("-c"), QString::fromLatin1(Sys::StatusScript), folder} + aptOptions() +
                QStringList{QStringLiteral("update")},
            QString::fromLatin1(Sys::AptGetUpdate)};
}

TerminalCommand AptCommands::installCommand(const QString &package)
{
    // No --force-yes: a package apt cannot authenticate fails in the terminal instead of being installed anyway.
    return {QString::fromLatin1(Sys::AptGet),
            QStringList{QStringLiteral("-y")} + aptOptions() + nameOptions() +
                QStringList{QStringLiteral("install"), QStringLiteral("--"), package},
            QString()};
}

TerminalCommand AptCommands::configureCommand()
{
    return {QString::fromLatin1(Sys::Dpkg), {QStringLiteral("--configure"), QStringLiteral("-a")},
            QString::fromLatin1(Sys::DpkgConfigure)};
}

bool AptCommands::needsRepair(const ProcessResult &audit)
{
    // dpkg --audit says nothing when all is well; a run that fails leaves the doubt on the side of the repair.
    return !audit.succeeded() || !audit.out.trimmed().isEmpty();
}

QStringList AptCommands::simulateArgs(const QStringList &packages)
{
    // -q, not -qq: apt lists the unmet dependencies only then, naming each package they keep back. The account of
    // its automatic installs (stderr) says for which package it would remove an installed one, which --no-remove
    // refuses without a name (Installability::judge).
    return QStringList{QStringLiteral("install"), QStringLiteral("-s"), QStringLiteral("-q"), QStringLiteral("-y"),
                       QStringLiteral("-o"), QStringLiteral("Debug::pkgDepCache::AutoInstall=true")} +
           nameOptions() + QStringList{QStringLiteral("--")} + packages;
}

QString AptCommands::simulationFailure(const ProcessResult &simulation)
{
    if (!simulation.started)
        return QStringLiteral("E: Не удалось запустить %1.").arg(QString::fromLatin1(Sys::AptGet));
    if (simulation.timedOut)
        return QStringLiteral("E: нет ответа за %1 с").arg(Sys::CommandTimeoutMs / 1000);
    if (simulation.succeeded())
        return QString();
    for (const QString &line : lines(simulation.err))
        if (isError(line))
            return line;
    return simulation.failure();
}

QString AptCommands::failureReason(const ProcessResult &result)
{
    if (result.succeeded())
        return QString();
    const QStringList said = lines(result.err);
    if (!result.finished || said.isEmpty())
        return result.failure();
    QString main = said.last();
    for (const QString &line : said)
        if (isError(line)) {
            main = line;
            break;
        }
    QStringList rest = said;
    rest.removeOne(main);
    return (QStringList{main} + rest).join(QLatin1Char('\n'));
}

QStringList AptCommands::ppaArgs(const QString &ppa)
{
    // Nobody can answer apt-add-repository's "Press [ENTER]" from a hidden command: it would wait out the time limit
    // and be ended before it adds anything.
    return {QStringLiteral("-y"), QStringLiteral("-n"), QStringLiteral("--"), ppa};
}

AptCommands::PpaAdded AptCommands::addPpa(const QString &ppa, const QString &sourcesDir)
{
    PpaAdded added;
    const QString tool = QString::fromLatin1(Sys::AptAddRepository);
    if (!programExists(tool)) {
        added.failure = QStringLiteral("нет программы %1: PPA-репозитории есть только в Ubuntu").arg(tool);
        return added;
    }
    const QStringList before = QDir(sourcesDir).entryList(QDir::Files);
    const ProcessResult result = runProgram(tool, ppaArgs(ppa));
    added.failure = failureReason(result);
    // What it wrote counts even when it failed afterwards: the summary names it so the user can take it out again.
    const QSet<QString> old(before.begin(), before.end());
    for (const QString &file : QDir(sourcesDir).entryList(QDir::Files))
        if (!old.contains(file))
            added.files << sourcesDir + QLatin1Char('/') + file;
    return added;
}
