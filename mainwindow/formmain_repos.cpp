// Repository preparation: PPAs, keys and sources lines of the marked rows, then the refresh of the package lists.
// Every catalogue field is data: it reaches a program as one argument after "--", never as shell text. A row's
// repository is added whole or not at all: a sources line whose key could not be stored is not written.
#include "mainwindow/formmain.h"

#include <QTemporaryDir>
#include <QTimer>

#include "app/messagebox.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/fieldrules.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/checkreport.h"
#include "mainwindow/signingkeys.h"
#include "mainwindow/sourceslist.h"
#include "terminal/formterminal.h"

void FormMain::prepareRepositoryData(QString Workflow::RepoRow::*field, const QString &progressText,
                                     void (FormMain::*add)(QString))
{
    // Each step reads the table as it stands when the step runs.
    repoPlan = Workflow::planRepositories(tableEntries(), rowStates());
    needUpdate = needUpdate || repoPlan.needUpdate;
    QStringList done;
    for (const Workflow::RepoRow &row : repoPlan.rows) {
        const QString value = row.*field;
        if (value.isEmpty())
            continue;
        listApt << row.package;
        if (done.contains(value))
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
    const QString problem = FieldRules::ppaProblem(ppa);
    if (!problem.isEmpty()) {
        repositoryFailure(problem);
        return;
    }
    const AptCommands::PpaAdded added = AptCommands::addPpa(ppa, QString::fromLatin1(Sys::SourcesPartsDir));
    if (stopped())
        return;
    for (const QString &file : added.files)
        addedToSystem << CheckReport::Added{QStringLiteral("партнер-репозиторий ") + ppa + QStringLiteral(" (файл ") +
                                                file + QLatin1Char(')'),
                                            SourcesList::urisIn(file)};
    if (added.failure.isEmpty())
        writeLog(QStringLiteral("Добавлен новый партнер-репозиторий ") + ppa);
    else
        repositoryFailure(QStringLiteral("Не удалось добавить партнер-репозиторий ") + ppa + QStringLiteral(": ") +
                          added.failure);
}

void FormMain::addDataKey(QString keyUrl)
{
    // A key for a row's own sources line vouches for that repository alone (the line names it in signed-by); any
    // other key goes where apt trusts it for every repository.
    const bool forLine = repoPlan.keyForLine(keyUrl);
    const SigningKeys::Stored stored =
        SigningKeys::fetch(keyUrl, QString::fromLatin1(forLine ? Sys::KeyringsDir : Sys::TrustedKeysDir));
    if (stopped())
        return;
    if (!stored.failure.isEmpty()) {
        keyFailures.insert(keyUrl, stored.failure);
        repositoryFailure(QStringLiteral("Не удалось добавить ключ ") + keyUrl + QStringLiteral(": ") + stored.failure);
        return;
    }
    keyFiles.insert(keyUrl, stored.path);
    if (!stored.already)
        addedToSystem << CheckReport::Added{QStringLiteral("ключ ") + keyUrl + QStringLiteral(" в файле ") + stored.path,
                                            {}};
    writeLog(QStringLiteral("Добавлен новый ключ ") + keyUrl);
}

void FormMain::addAptSources(QString line)
{
    const QString problem = FieldRules::sourcesEntryProblem(line);
    if (!problem.isEmpty()) {
        repositoryFailure(problem);
        return;
    }
    // The row's key, where it has one: stored, it is named in the line; not stored, the line is not written.
    const QString key = repoPlan.keyOf(line);
    if (!key.isEmpty() && !keyFiles.contains(key)) {
        const QString why = QStringLiteral("не добавлен ключ ") + key +
                            (keyFailures.contains(key) ? QStringLiteral(": ") + keyFailures.value(key) : QString());
        for (const QString &package : repoPlan.packagesOf(line))
            repoFailures.insert(package, QStringLiteral("E: ") + why);
        writeLog(QStringLiteral("Не добавлен репозиторий ") + line + QStringLiteral(": ") + why);
        return;
    }
    const QString written = key.isEmpty() ? line : FieldRules::withSignedBy(line, keyFiles.value(key));
    const QString path = QString::fromLatin1(Sys::SourcesList);
    const SourcesList::Added added = SourcesList::add(path, written);
    for (const QString &removed : added.edit.removed)
        writeLog(QStringLiteral("Удалена повторная строка из ") + path + QStringLiteral(": ") + removed);
    if (!added.ok) {
        repositoryFailure(QStringLiteral("Не удалось изменить ") + path + QStringLiteral(", не добавлен репозиторий ") +
                          written + (added.why.isEmpty() ? QString() : QStringLiteral(": ") + added.why));
        return;
    }
    if (!added.edit.present)
        addedToSystem << CheckReport::Added{QStringLiteral("строка «") + written + QStringLiteral("» в файле ") + path,
                                            {SourcesList::uriOf(written)}};
    writeLog(added.edit.present ? QStringLiteral("Репозиторий уже есть в ") + path + QStringLiteral(": ") + written
                                : QStringLiteral("Добавлен новый репозиторий ") + written);
}
