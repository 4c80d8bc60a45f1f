// Repository preparation: PPAs, keys and sources lines of the marked rows, then the refresh of the package lists.
// Every catalogue field is data: it reaches a program as one argument after "--", or as a line of a file of ours,
// never as shell text. What the rows' lines come to is planned once, before anything is written, from apt's own
// reading of the sources (SourcesPlan). A repository is added only when apt can read the sources with it and fetch
// and verify it alone; what failed is taken back, so a check never leaves apt worse than it found it.
#include "mainwindow/formmain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <utility>

#include "app/messagebox.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/fieldrules.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/checkreport.h"
#include "mainwindow/signingkeys.h"
#include "mainwindow/sourceslist.h"
#include "terminal/formterminal.h"

namespace {

QString sys(const char *path) { return QString::fromLatin1(path); }

QStringList keyFilesNow()
{
    QStringList files;
    for (const char *dir : {Sys::KeyringsDir, Sys::TrustedKeysDir})
        for (const QString &name : QDir(sys(dir)).entryList(QDir::Files))
            files << sys(dir) + QLatin1Char('/') + name;
    return files;
}

} // namespace

void FormMain::planSources()
{
    repoPlan = Workflow::planRepositories(tableEntries(), rowStates());
    needUpdate = needUpdate || repoPlan.needUpdate;
    lineDecisions.clear();
    // What apt reads now, with the keyring each entry names.
    QString unreadable;
    QVector<SourcesPlan::Existing> system;
    QMap<QString, QByteArray> files;
    for (const SourcesPlan::Target &t : SourcesPlan::aptTargets(sys(Sys::SourcesList), sys(Sys::SourcesPartsDir), &unreadable)) {
        const QString file = t.where.section(QLatin1Char(':'), 0, -2);
        if (!files.contains(file) && SourcesList::fileProblem(file).isEmpty()) {
            QFile f(file);
            files.insert(file, f.open(QIODevice::ReadOnly) ? f.read(4 * 1024 * 1024) : QByteArray());
        }
        system << SourcesPlan::Existing{t, SourcesPlan::signedByAt(files.value(file), t.where.section(QLatin1Char(':'), -1).toInt(),
                                                                    file.endsWith(QLatin1String(".sources")))};
    }
    QVector<SourcesPlan::Row> rows;
    QVector<int> index;
    for (int i = 0; i < repoPlan.rows.size(); ++i) {
        const Workflow::RepoRow &r = repoPlan.rows.at(i);
        if (r.sourcesLine.isEmpty())
            continue;
        SourcesPlan::Row row{r.package, r.key, r.sourcesLine, FieldRules::sourcesEntryProblem(r.sourcesLine), {}, {}};
        if (row.problem.isEmpty())
            row.problem = SourcesPlan::keyringProblem(r.sourcesLine);
        if (row.problem.isEmpty() && !unreadable.isEmpty())
            row.problem = QStringLiteral("Не добавлен репозиторий ") + r.sourcesLine +
                          QStringLiteral(": apt не может прочитать свои источники: ") + unreadable;
        // apt reads each distinct line once, however many rows bring it.
        for (const SourcesPlan::Row &earlier : std::as_const(rows))
            if (row.problem.isEmpty() && row.targets.isEmpty() && earlier.line == row.line) {
                row.targets = earlier.targets;
                row.aptProblem = earlier.aptProblem;
            }
        if (row.problem.isEmpty() && row.targets.isEmpty() && row.aptProblem.isEmpty()) {
            const SourcesPlan::Candidate alone(r.sourcesLine.toUtf8() + '\n');
            row.targets = SourcesPlan::aptTargets(alone.list, alone.parts, &row.aptProblem);
        }
        rows << row;
        index << i;
    }
    const QVector<SourcesPlan::Decision> decisions = SourcesPlan::plan(rows, system, sys(Sys::KeyringsDir));
    for (int k = 0; k < decisions.size(); ++k) {
        lineDecisions.insert(index.at(k), decisions.at(k));
        // A refused line refuses its row whole: no PPA, no key, and the refusal is the row's reason.
        if (decisions.at(k).action == SourcesPlan::Action::Refused)
            refuseRow(rows.at(k).package, decisions.at(k).why);
    }
}

void FormMain::refuseRow(const QString &package, const QString &why)
{
    // The row's entry in the summary carries the reason; the log keeps it as well.
    if (!repoFailures.contains(package))
        repoFailures.insert(package, QStringLiteral("E: ") + why);
    writeLog(why);
}

bool FormMain::rowRefused(int index) const
{
    return lineDecisions.contains(index) && lineDecisions.value(index).action == SourcesPlan::Action::Refused;
}

void FormMain::prepareRepositoryData(QString Workflow::RepoRow::*field, const QString &progressText,
                                     void (FormMain::*add)(QString))
{
    QStringList done;
    for (int i = 0; i < repoPlan.rows.size() && !stopped(); ++i) {
        const Workflow::RepoRow &row = repoPlan.rows.at(i);
        const QString value = row.*field;
        if (value.isEmpty())
            continue;
        listApt << row.package;
        if (done.contains(value) || rowRefused(i))
            continue;
        done << value;
        installLabel->setText(progressText);
        (this->*add)(value);
        if (stopped())
            return; // closed while a command of this field ran
    }
}

void FormMain::repositoryFailure(const QString &logLine)
{
    writeLog(logLine);
    writeError(logLine);
}

void FormMain::addPPA()
{
    if (stopped())
        return;
    installLabel->setText(QString());
    planSources();
    if (stopped())
        return;
    prepareRepositoryData(
        &Workflow::RepoRow::ppa,
        QStringLiteral("Добавление нового PPA-репозитория (потребуется обновление данных об источниках ПО)."),
        &FormMain::addPPASources);
    QTimer::singleShot(Timing::ms(2000), this, &FormMain::addKey);
}

void FormMain::addKey()
{
    if (stopped())
        return;
    prepareRepositoryData(&Workflow::RepoRow::key,
                          QStringLiteral("Добавление нового ключа (потребуется обновление данных об источниках ПО)."),
                          &FormMain::addDataKey);
    QTimer::singleShot(Timing::ms(2000), this, &FormMain::addApt);
}

void FormMain::addApt()
{
    if (stopped())
        return;
    prepareRepositoryData(
        &Workflow::RepoRow::sourcesLine,
        QStringLiteral("Добавление нового deb-репозитория (потребуется обновление данных об источниках ПО)."),
        &FormMain::addAptSources);
    if (stopped())
        return;
    if (!needUpdate) {
        createListProg();
        return;
    }
    listApt.removeDuplicates();
    QMessageBox *box = MessageBoxes::yesNoBox(QMessageBox::Warning, CheckReport::updateQuestion(listApt),
                                              CheckReport::updateQuestionInformative());
    if (MessageBoxes::run(box) == QMessageBox::Yes) {
        installLabel->setText(QStringLiteral("Сейчас начнётся процесс обновления источников ПО..."));
        QTimer::singleShot(Timing::ms(1000), this, &FormMain::aptGetUpdate);
    } else {
        createListProg();
    }
}

void FormMain::aptGetUpdate()
{
    if (stopped())
        return;
    runningText = QStringLiteral("Ждите... Идёт обновление данных об источниках ПО... Это может занять "
                                 "продолжительное время...") +
                  QString(10, QLatin1Char(' '));
    setSpeed(4);
    updateDir.reset(new QTemporaryDir);
    auto *terminal = new FormTerminal(AptCommands::updateCommand(updateDir->path()), nullptr);
    connect(terminal, &FormTerminal::closeTerminal, this, &FormMain::createListProg);
}

void FormMain::addPPASources(QString ppa)
{
    QStringList packages; // the rows that need this PPA
    for (const Workflow::RepoRow &row : repoPlan.rows)
        if (row.ppa == ppa)
            packages << row.package;
    const QString problem = FieldRules::ppaProblem(ppa);
    if (!problem.isEmpty()) {
        for (const QString &package : packages)
            refuseRow(package, problem);
        return;
    }
    const QStringList keysBefore = keyFilesNow();
    AptCommands::PpaAdded added = AptCommands::addPpa(ppa, sys(Sys::SourcesPartsDir));
    if (stopped())
        return;
    QStringList keys;
    for (const QString &file : keyFilesNow())
        if (!keysBefore.contains(file))
            keys << file;
    // The archive is kept only when apt fetches and verifies it alone: a PPA that has no build for this release
    // would otherwise make every later refresh fail.
    if (added.failure.isEmpty() && !added.files.isEmpty()) {
        SourcesPlan::Candidate probe{QByteArray()};
        for (const QString &file : added.files)
            QFile::copy(file, probe.parts + QLatin1Char('/') + QFileInfo(file).fileName());
        added.failure = SourcesPlan::fetchAlone(probe.list, probe.parts);
        if (stopped())
            return;
    }
    if (added.failure.isEmpty()) {
        for (const QString &file : added.files)
            addedToSystem << CheckReport::Added{QStringLiteral("партнер-репозиторий ") + ppa + QStringLiteral(" (файл ") +
                                                    file + QLatin1Char(')'),
                                                SourcesList::urisIn(file), {}, file, {}, packages};
        writeLog(QStringLiteral("Добавлен новый партнер-репозиторий ") + ppa);
        return;
    }
    QStringList removed;
    for (const QString &file : added.files + keys)
        if (SafeFile::remove(file))
            removed << file;
    const QString why = QStringLiteral("Не удалось добавить партнер-репозиторий ") + ppa + QStringLiteral(": ") +
                        added.failure +
                        (removed.isEmpty() ? QString() : QStringLiteral("\n удалено: ") + removed.join(QStringLiteral(", ")));
    for (const QString &package : packages)
        refuseRow(package, why);
}

void FormMain::addDataKey(QString keyUrl)
{
    // Where the key goes: a row with its own line names it in that line's signed-by, so that it vouches for that
    // repository alone; a key of a row without a line is trusted for every repository. A row whose repository is
    // there already, or is refused, gets no key.
    QString path, written;
    bool any = false;
    for (int i = 0; i < repoPlan.rows.size(); ++i) {
        if (repoPlan.rows.at(i).key != keyUrl || rowRefused(i))
            continue;
        if (!lineDecisions.contains(i)) {
            any = true;
            continue;
        }
        const SourcesPlan::Decision &d = lineDecisions.value(i);
        if ((d.action == SourcesPlan::Action::Write || d.action == SourcesPlan::Action::RenewKey) && !d.keyFile.isEmpty()) {
            path = d.keyFile;
            if (d.action == SourcesPlan::Action::RenewKey)
                written = d.written;
        }
    }
    if (path.isEmpty() && any)
        path = sys(Sys::TrustedKeysDir) + QLatin1Char('/') + SigningKeys::fileName(keyUrl);
    if (path.isEmpty())
        return;
    const SourcesPlan::Saved before = SourcesPlan::save(path);
    const SigningKeys::Stored stored = SigningKeys::fetch(keyUrl, path);
    if (stopped())
        return;
    QString failure = stored.failure;
    // A renewed key must still open the repository our earlier line names: else the old one goes back.
    if (failure.isEmpty() && !stored.already && !written.isEmpty()) {
        const SourcesPlan::Candidate alone(written.toUtf8() + '\n');
        failure = SourcesPlan::fetchAlone(alone.list, alone.parts);
        if (!failure.isEmpty()) {
            SourcesPlan::restore(before);
            failure = QStringLiteral("новый ключ не подходит к репозиторию, прежний ключ оставлен: ") + failure;
        }
    }
    if (!failure.isEmpty()) {
        keyFailures.insert(keyUrl, failure);
        repositoryFailure(QStringLiteral("Не удалось добавить ключ ") + keyUrl + QStringLiteral(": ") + failure);
        return;
    }
    keyFiles.insert(keyUrl, stored.path);
    if (!stored.already) {
        keySaved.insert(keyUrl, before);
        addedToSystem << CheckReport::Added{QStringLiteral("ключ ") + keyUrl + QStringLiteral(" в файле ") + stored.path,
                                            {}, {}, {}, {}, {}};
    }
    writeLog((before.existed && !stored.already ? QStringLiteral("Обновлён ключ ") : QStringLiteral("Добавлен новый ключ ")) +
             keyUrl);
}

void FormMain::addAptSources(QString line)
{
    for (int i = 0; i < repoPlan.rows.size(); ++i)
        if (repoPlan.rows.at(i).sourcesLine == line && lineDecisions.contains(i) && !stopped())
            applyLine(i);
}

void FormMain::applyLine(int index)
{
    const Workflow::RepoRow &row = repoPlan.rows.at(index);
    const SourcesPlan::Decision d = lineDecisions.value(index);
    const QString path = sys(Sys::SourcesList);
    switch (d.action) {
    case SourcesPlan::Action::Refused:
        return;
    case SourcesPlan::Action::Present:
    case SourcesPlan::Action::RenewKey:
        writeLog(QStringLiteral("Репозиторий уже есть в ") + d.where + QStringLiteral(": ") + d.written);
        return;
    case SourcesPlan::Action::Other:
        repositoryFailure(QStringLiteral("Репозиторий уже подключен в ") + d.where +
                          QStringLiteral(" с другим ключом (signed-by) или без него; эта запись оставлена как есть, "
                                         "строка программы ") +
                          row.package + QStringLiteral(" не добавлена: ") + d.written);
        return;
    case SourcesPlan::Action::Write:
        break;
    }
    // The row's key, where it has one: stored, the line names it; not stored, the line is not written.
    if (!row.key.isEmpty() && !d.keyFile.isEmpty() && !keyFiles.contains(row.key)) {
        refuseRow(row.package, QStringLiteral("Не добавлен репозиторий ") + row.sourcesLine +
                                   QStringLiteral(": не добавлен ключ ") + row.key +
                                   (keyFailures.contains(row.key) ? QStringLiteral(": ") + keyFailures.value(row.key)
                                                                  : QString()));
        return;
    }
    QString why = SourcesList::fileProblem(path);
    const SourcesPlan::Saved before = SourcesPlan::save(path);
    const SourcesList::Edit edit = SourcesList::addEntry(before.bytes, d.written);
    if (why.isEmpty() && !edit.present) {
        // apt must read the sources with the line in place (a conflict would break every apt-get), and fetch and
        // verify its repository alone (a repository without a Release file would fail every refresh).
        const SourcesPlan::Candidate withLine(edit.content);
        SourcesPlan::aptTargets(withLine.list, sys(Sys::SourcesPartsDir), &why);
        if (why.isEmpty() && !stopped()) {
            const SourcesPlan::Candidate alone(d.written.toUtf8() + '\n');
            why = SourcesPlan::fetchAlone(alone.list, alone.parts);
        }
    }
    if (stopped())
        return;
    SourcesList::Added added;
    if (why.isEmpty()) {
        added = SourcesList::add(path, d.written);
        why = added.ok ? QString() : added.why;
    }
    if (!why.isEmpty()) {
        // The key stored for this line alone goes back to what it was.
        if (keySaved.contains(row.key) && SourcesPlan::restore(keySaved.value(row.key))) {
            keySaved.remove(row.key);
            keyFiles.remove(row.key);
            why += QStringLiteral("\n ключ ") + d.keyFile + QStringLiteral(" убран");
        }
        refuseRow(row.package, QStringLiteral("Не добавлен репозиторий ") + d.written + QStringLiteral(": ") + why);
        return;
    }
    if (added.edit.present) {
        writeLog(QStringLiteral("Репозиторий уже есть в ") + path + QStringLiteral(": ") + d.written);
        return;
    }
    addedToSystem << CheckReport::Added{QStringLiteral("строка «") + d.written + QStringLiteral("» в файле ") + path,
                                        {SourcesList::uriOf(d.written)}, d.written, {},
                                        keySaved.contains(row.key) ? row.key : QString(), {row.package}};
    writeLog(QStringLiteral("Добавлен новый репозиторий ") + d.written);
}

void FormMain::takeBack(const QVector<int> &failed)
{
    const QString path = sys(Sys::SourcesList);
    for (int i : failed) {
        const CheckReport::Added &a = addedToSystem.at(i);
        QString why;
        bool ok = true;
        if (!a.line.isEmpty()) {
            // Only the line this check wrote goes: it was not in the file before.
            why = SourcesList::fileProblem(path);
            const SourcesPlan::Saved now = SourcesPlan::save(path);
            const QByteArray without = SourcesList::removeEntry(now.bytes, a.line);
            ok = why.isEmpty() && (without == now.bytes || SafeFile::replace(path, without, &why));
        }
        if (!a.file.isEmpty())
            ok = SafeFile::remove(a.file) && ok;
        if (!a.key.isEmpty() && keySaved.contains(a.key))
            ok = SourcesPlan::restore(keySaved.take(a.key), &why) && ok;
        if (!ok) {
            repositoryFailure(QStringLiteral("Не удалось убрать из системы ") + a.text +
                              (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
            continue;
        }
        writeLog(QStringLiteral("Убрано из системы: ") + a.text);
        takenBack << a.text;
        for (const QString &package : a.packages)
            repoFailures.insert(package, QStringLiteral("E: репозиторий убран: apt-get update не смог прочитать или "
                                                        "загрузить его"));
    }
}
