#include "mainwindow/installability.h"

#include <QRegularExpression>

#include "mainwindow/aptcommands.h"

namespace {

// The name among `among` that apt means by shown: apt leaves out the native ":arch" a name was asked with.
QString matching(const QString &shown, const QStringList &among)
{
    for (const QString &name : among)
        if (shown == name || shown == name.section(QLatin1Char(':'), 0, 0))
            return name;
    return QString();
}

// The words of an error line that can be a package name: the quoted ones and the last one. Other words are apt's
// own ("Unable to locate package x" must not blame a marked package called "locate").
QStringList nameWords(const QString &line)
{
    static const QRegularExpression quoted(QStringLiteral("['\"\u00ab\u2018\u201c]([^'\"\u00bb\u2019\u201d\\s]+)"
                                                          "['\"\u00bb\u2019\u201d]"));
    QStringList words;
    for (auto it = quoted.globalMatch(line); it.hasNext();)
        words << it.next().captured(1);
    QString last = line.section(QLatin1Char(' '), -1);
    while (!last.isEmpty() && QStringLiteral(".,:;").contains(last.back()))
        last.chop(1);
    return words << last;
}

bool isErrorLine(const QString &line)
{
    // apt 3.0 writes "Error:" where apt 2 writes "E:".
    return line.startsWith(QLatin1String("E:")) || line.startsWith(QLatin1String("Error:"));
}

// The names among `among` whose installation makes apt remove an installed package, read from its account of the
// automatic installs on stderr (Debug::pkgDepCache::AutoInstall, see AptCommands::simulateArgs): "Removing: OLD as
// upgrade is not an option for NEW (version)", where NEW is a marked name or a package apt installs for one
// ("Installing NEW as Depends of NAME", followed up to the marked name). An answer without such lines (another apt,
// another cause) names none.
QStringList removalCauses(const QByteArray &aptErr, const QStringList &among)
{
    static const QRegularExpression installing(QStringLiteral("^\\s*Installing (\\S+) as \\S.* of (\\S+)$"));
    static const QRegularExpression removing(
        QStringLiteral("^\\s*Removing: \\S+ as upgrade is not an option for (\\S+)"));
    QMap<QString, QString> installedFor; // package -> the package it is installed for
    QStringList causes, found;
    for (const QByteArray &raw : aptErr.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        QRegularExpressionMatch match = installing.match(line);
        if (match.hasMatch() && !installedFor.contains(match.captured(1)))
            installedFor.insert(match.captured(1), match.captured(2));
        else if ((match = removing.match(line)).hasMatch())
            causes << match.captured(1);
    }
    // These lines show every package with its ":arch", a marked name may have none.
    const auto marked = [&among](const QString &package) {
        for (const QString &name : among)
            if (package == name || (!name.contains(QLatin1Char(':')) && package.section(QLatin1Char(':'), 0, 0) == name))
                return name;
        return QString();
    };
    for (QString package : causes) {
        // At most one step for each package apt names, so that a circle of lines cannot hold the check.
        for (int steps = 0; marked(package).isEmpty() && steps <= installedFor.size(); ++steps)
            package = installedFor.value(package);
        const QString name = marked(package);
        if (!name.isEmpty() && !found.contains(name))
            found << name;
    }
    return found;
}

struct Judge {
    const std::function<ProcessResult(const QStringList &)> &simulate;
    Installability::Outcome outcome;

    // Finds the failures in set. knownToFail: set's union with a half that passed failed, so set fails by itself
    // and is split at once. Returns true when set passed at its first run.
    bool settle(QStringList set, bool knownToFail)
    {
        if (!knownToFail || set.size() == 1) {
            for (bool first = true; !set.isEmpty(); first = false) {
                const int before = set.size();
                const ProcessResult answer = simulate(set);
                ++outcome.simulations;
                if (answer.succeeded())
                    return first;
                if (!answer.finished) {
                    // Not started or no end in time: splitting would only repeat that, set by set.
                    for (const QString &name : set)
                        outcome.failures.insert(name, AptCommands::simulationFailure(answer));
                    return false;
                }
                const QMap<QString, QString> named = Installability::blamed(answer.err, answer.out, set);
                for (auto it = named.cbegin(); it != named.cend(); ++it)
                    if (set.removeAll(it.key()) > 0)
                        outcome.failures.insert(it.key(), it.value());
                if (set.size() < before)
                    continue; // the rest again, without the names apt blamed
                if (set.size() > 1) {
                    // A removal refused by --no-remove names no marked package in the error; apt's account of what
                    // it installs and removes for which says whose installation would remove one.
                    for (const QString &name : removalCauses(answer.err, set))
                        if (set.removeAll(name) > 0)
                            outcome.failures.insert(name, AptCommands::simulationFailure(answer));
                    if (set.size() < before)
                        continue;
                }
                if (set.size() == 1) {
                    outcome.failures.insert(set.first(), AptCommands::simulationFailure(answer));
                    return false;
                }
                break; // apt names none of them: halves
            }
            if (set.isEmpty())
                return false;
        }
        const int half = (set.size() + 1) / 2;
        const bool firstHalfPassed = settle(set.mid(0, half), false);
        settle(set.mid(half), firstHalfPassed);
        return false;
    }
};

} // namespace

QMap<QString, QString> Installability::blamed(const QByteArray &aptErr, const QByteArray &aptOut,
                                              const QStringList &among)
{
    QMap<QString, QString> found;
    for (const QByteArray &raw : aptErr.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (isErrorLine(line))
            for (const QString &word : nameWords(line)) {
                const QString name = matching(word, among);
                if (!name.isEmpty() && !found.contains(name))
                    found.insert(name, line);
            }
    }
    // The unmet dependencies: " NAME : Depends: ..." with further indented lines (more fields, alternatives).
    static const QRegularExpression entry(QStringLiteral("^\\s+(\\S+) : \\S"));
    QString current; // the name whose entry the lines now continue, empty outside one
    for (const QByteArray &raw : aptOut.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        const QRegularExpressionMatch match = entry.match(line);
        if (match.hasMatch()) {
            current = matching(match.captured(1), among);
            if (!current.isEmpty() && !found.contains(current))
                found.insert(current, line.trimmed());
            else
                current.clear(); // a dependency's entry, or a name an error line already blamed
        } else if (!current.isEmpty() && !line.trimmed().isEmpty() && line.at(0).isSpace()) {
            QString &reason = found[current];
            reason += (reason.endsWith(QLatin1String(" or")) ? QStringLiteral(" ") : QStringLiteral("; ")) +
                      line.trimmed();
        } else {
            current.clear();
        }
    }
    return found;
}

Installability::Outcome Installability::judge(const QStringList &names,
                                              const std::function<ProcessResult(const QStringList &)> &simulate)
{
    QStringList unique = names;
    unique.removeDuplicates();
    unique.removeAll(QString());
    Judge judge{simulate, {}};
    if (!unique.isEmpty())
        judge.settle(unique, false);
    return judge.outcome;
}
