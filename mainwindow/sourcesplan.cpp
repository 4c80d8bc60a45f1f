#include "mainwindow/sourcesplan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

#include "app/safefile.h"
#include "app/syspaths.h"
#include "catalogue/fieldrules.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/signingkeys.h"

namespace {

const char *const Refused = "Не добавлен репозиторий ";

// A folder or file that only root can change: root's, and writable by nobody else.
QString rootsAlone(const QString &path, bool folder)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("%1 не найден").arg(path);
    if (!folder && !S_ISREG(st.st_mode))
        return QStringLiteral("%1 не является обычным файлом").arg(path);
    if (st.st_uid != 0)
        return QStringLiteral("владелец %1 - не root").arg(path);
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(folder && S_ISLNK(st.st_mode)))
        return QStringLiteral("%1 доступен для записи другим пользователям").arg(path);
    return QString();
}

bool covers(const QVector<SourcesPlan::Existing> &found, const SourcesPlan::Target &wanted)
{
    for (const SourcesPlan::Existing &e : found)
        if (e.target.type == wanted.type && e.target.component == wanted.component)
            return true;
    return false;
}

} // namespace

QStringList SourcesPlan::targetArgs(const QString &list, const QString &parts)
{
    return {QStringLiteral("-o"), QStringLiteral("Dir::Etc::sourcelist=") + list, QStringLiteral("-o"),
            QStringLiteral("Dir::Etc::sourceparts=") + parts, QStringLiteral("indextargets"),
            QStringLiteral("--no-release-info"), QStringLiteral("--format"),
            QStringLiteral("$(REPO_URI)\t$(RELEASE)\t$(TARGET_OF)\t$(COMPONENT)\t$(SOURCESENTRY)")};
}

QVector<SourcesPlan::Target> SourcesPlan::readTargets(const QByteArray &out)
{
    QVector<Target> targets;
    for (const QByteArray &raw : out.split('\n')) {
        const QStringList f = QString::fromUtf8(raw).split(QLatin1Char('\t'));
        if (f.size() != 5)
            continue;
        // A flat repository has no component: apt leaves the variable unexpanded.
        const QString component = f.at(3) == QLatin1String("$(COMPONENT)") ? QString() : f.at(3);
        const Target t{f.at(0), f.at(1), f.at(2), component, f.at(4)};
        bool seen = false;
        for (const Target &o : targets)
            seen = seen || (o.sameRepository(t) && o.type == t.type && o.component == t.component && o.where == t.where);
        if (!seen)
            targets << t;
    }
    return targets;
}

QString SourcesPlan::signedByAt(const QByteArray &content, int n, bool deb822)
{
    const QList<QByteArray> lines = content.split('\n');
    if (!deb822)
        return n >= 1 && n <= lines.size() ? FieldRules::signedBy(QString::fromUtf8(lines.at(n - 1))) : QString();
    int stanza = 0;
    bool inStanza = false, inField = false;
    QString value;
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        if (line.trimmed().isEmpty()) {
            inStanza = inField = false;
            continue;
        }
        if (line.startsWith(QLatin1Char('#')))
            continue;
        if (!inStanza) {
            inStanza = true;
            ++stanza;
        }
        if (stanza != n)
            continue;
        if (line.at(0).isSpace()) {
            if (inField)
                value += QLatin1Char('\n') + line.trimmed();
            continue;
        }
        inField = line.section(QLatin1Char(':'), 0, 0).trimmed().compare(QLatin1String("Signed-By"),
                                                                         Qt::CaseInsensitive) == 0;
        if (inField)
            value = line.section(QLatin1Char(':'), 1).trimmed();
    }
    return value;
}

QVector<SourcesPlan::Decision> SourcesPlan::plan(const QVector<Row> &rows, const QVector<Existing> &system,
                                                 const QString &keyringsDir)
{
    QVector<Decision> decisions;
    for (int i = 0; i < rows.size(); ++i) {
        const Row &row = rows.at(i);
        Decision d;
        const auto refuse = [&](const QString &why) {
            d.action = Action::Refused;
            d.why = why;
            decisions << d;
        };
        if (!row.problem.isEmpty()) {
            refuse(row.problem);
            continue;
        }
        if (row.targets.isEmpty()) {
            refuse(QString::fromUtf8(Refused) + row.line + QStringLiteral(": apt не может прочитать эту строку") +
                   (row.aptProblem.isEmpty() ? QString() : QStringLiteral(": ") + row.aptProblem));
            continue;
        }
        // A line that names its keyring itself keeps it; the row's key then has no line to vouch for.
        const QString own = FieldRules::signedBy(row.line);
        if (!row.key.isEmpty() && own.isEmpty())
            d.keyFile = keyringsDir + QLatin1Char('/') + SigningKeys::fileName(row.key);
        d.written = d.keyFile.isEmpty() ? row.line : FieldRules::withSignedBy(row.line, d.keyFile);
        const QString keyring = own.isEmpty() ? d.keyFile : own;
        const Target &repo = row.targets.first();

        QString earlier;
        for (int j = 0; j < i && earlier.isEmpty(); ++j) {
            const Decision &e = decisions.at(j);
            if (e.action == Action::Refused)
                continue;
            if (rows.at(j).targets.first().sameRepository(repo))
                earlier = e.written.simplified() == d.written.simplified() ? QStringLiteral("=") + rows.at(j).package
                                                                           : rows.at(j).package;
            else if (!d.keyFile.isEmpty() && e.keyFile == d.keyFile)
                earlier = QStringLiteral("!") + rows.at(j).package;
        }
        if (earlier.startsWith(QLatin1Char('='))) {
            d.action = Action::Present;
            d.where = earlier.mid(1);
            decisions << d;
            continue;
        }
        if (earlier.startsWith(QLatin1Char('!'))) {
            refuse(QString::fromUtf8(Refused) + row.line + QStringLiteral(": файл ключа ") + d.keyFile +
                   QStringLiteral(" уже занят ключом другого репозитория (программа ") + earlier.mid(1) +
                   QLatin1Char(')'));
            continue;
        }
        if (!earlier.isEmpty()) {
            refuse(QString::fromUtf8(Refused) + row.line + QStringLiteral(": этот репозиторий уже добавляется для "
                                                                          "программы ") +
                   earlier + QStringLiteral(" с другими параметрами или ключом"));
            continue;
        }

        QVector<Existing> found;
        QString takenBy;
        for (const Existing &e : system) {
            if (e.target.sameRepository(repo))
                found << e;
            else if (!d.keyFile.isEmpty() && e.signedBy == d.keyFile && takenBy.isEmpty())
                takenBy = e.target.where;
        }
        if (!takenBy.isEmpty()) {
            refuse(QString::fromUtf8(Refused) + row.line + QStringLiteral(": файл ключа ") + d.keyFile +
                   QStringLiteral(" уже подписывает другой репозиторий (") + takenBy + QLatin1Char(')'));
            continue;
        }
        if (found.isEmpty()) {
            d.action = Action::Write;
            decisions << d;
            continue;
        }
        d.where = found.first().target.where;
        bool sameKeyring = true;
        for (const Existing &e : found)
            sameKeyring = sameKeyring && e.signedBy == keyring;
        bool covered = true;
        for (const Target &t : row.targets)
            covered = covered && ::covers(found, t);
        // With the same keyring apt reads both entries: a line that adds components is written beside the other.
        d.action = !sameKeyring ? Action::Other
                 : !covered     ? Action::Write
                 : d.keyFile.isEmpty() ? Action::Present : Action::RenewKey;
        decisions << d;
    }
    return decisions;
}

QString SourcesPlan::keyringProblem(const QString &line)
{
    const QString named = FieldRules::signedBy(line);
    if (named.isEmpty())
        return QString();
    static const QRegularExpression fingerprint(QStringLiteral("^[0-9A-Fa-f]{40}!?$"));
    for (const QString &item : named.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (fingerprint.match(item).hasMatch())
            continue;
        QString why;
        if (!item.startsWith(QLatin1Char('/')) || item.contains(QLatin1String("/../")) || item.endsWith(QLatin1String("/..")))
            why = QStringLiteral("%1 - не полный путь к файлу").arg(item);
        else
            why = rootsAlone(item, false);
        // A folder on the way that anyone may write lets them put another file in the key's place.
        for (QString folder = QFileInfo(item).path(); why.isEmpty(); folder = QFileInfo(folder).path()) {
            why = rootsAlone(folder, true);
            if (folder == QLatin1String("/"))
                break;
        }
        if (!why.isEmpty())
            return QString::fromUtf8(Refused) + line + QStringLiteral(": ключу в signed-by нельзя доверять: ") + why;
    }
    return QString();
}

SourcesPlan::Candidate::Candidate(const QByteArray &content)
{
    QDir().mkpath(parts);
    SafeFile::replace(list, content);
}

QVector<SourcesPlan::Target> SourcesPlan::aptTargets(const QString &list, const QString &parts, QString *problem)
{
    const ProcessResult result = runProgram(QString::fromLatin1(Sys::AptGet), targetArgs(list, parts));
    *problem = AptCommands::failureReason(result).section(QLatin1Char('\n'), 0, 0);
    return problem->isEmpty() ? readTargets(result.out) : QVector<Target>();
}

QString SourcesPlan::fetchAlone(const QString &list, const QString &parts)
{
    return fetchFailure(runProgram(QString::fromLatin1(Sys::AptGet), fetchArgs(list, parts), Sys::RepositoryFetchTimeoutMs));
}

QStringList SourcesPlan::fetchArgs(const QString &list, const QString &parts)
{
    return {QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("Dir::Etc::sourcelist=") + list,
            QStringLiteral("-o"), QStringLiteral("Dir::Etc::sourceparts=") + parts, QStringLiteral("-o"),
            QStringLiteral("APT::Get::List-Cleanup=0"), QStringLiteral("-o"), QStringLiteral("APT::Update::Error-Mode=any"),
            QStringLiteral("update")};
}

QString SourcesPlan::fetchFailure(const ProcessResult &result)
{
    const QString reason = AptCommands::failureReason(result);
    if (reason.isEmpty())
        return QString();
    const QStringList said = reason.split(QLatin1Char('\n'));
    // "Some index files failed to download" says nothing of which: the warning before it does.
    if (said.first().contains(QLatin1String("Some index files failed")) ||
        said.first().contains(QLatin1String("Failed to fetch")))
        for (const QString &line : said)
            if (line.startsWith(QLatin1String("W:")) || line.startsWith(QLatin1String("Warning:")))
                return line;
    return said.first();
}

SourcesPlan::Saved SourcesPlan::save(const QString &path)
{
    Saved saved;
    saved.path = path;
    saved.existed = SafeFile::exists(path);
    // Only a plain file is read: a FIFO would hold the read for good.
    struct stat st;
    QFile file(path);
    if (saved.existed && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
        file.open(QIODevice::ReadOnly))
        saved.bytes = file.readAll();
    return saved;
}

bool SourcesPlan::restore(const Saved &saved, QString *why)
{
    if (saved.existed)
        return SafeFile::replace(saved.path, saved.bytes, why);
    if (SafeFile::remove(saved.path))
        return true;
    if (why)
        *why = QStringLiteral("не удалось удалить %1").arg(saved.path);
    return false;
}
