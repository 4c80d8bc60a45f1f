// Repository preparation: PPAs, keys and sources lines of the marked rows, then the refresh of the package lists.
// Every catalogue field is data: it reaches a program as one argument after "--", never as shell text.
#include "mainwindow/formmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "catalogue/fieldrules.h"
#include "mainwindow/repocommands.h"
#include "terminal/formterminal.h"

void FormMain::prepareRepositoryData(Workflow::RepoStep Workflow::RepoPlan::*step, const QString &progressText,
                                     void (FormMain::*add)(QString))
{
    // Each step reads the table as it stands when the step runs.
    const Workflow::RepoPlan plan = Workflow::planRepositories(tableEntries(), rowStates());
    needUpdate = needUpdate || plan.needUpdate;
    listApt += (plan.*step).packages;
    for (const QString &field : (plan.*step).fields) {
        installLabel->setText(progressText);
        (this->*add)(field);
    }
}

void FormMain::addPPA()
{
    if (stopped())
        return;
    installLabel->setText(QString());
    prepareRepositoryData(
        &Workflow::RepoPlan::ppas,
        QStringLiteral("Добавление нового PPA-репозитория (потребуется обновление данных об источниках ПО)."),
        &FormMain::addPPASources);
    QTimer::singleShot(Timing::ms(2000), this, &FormMain::addKey);
}

void FormMain::addKey()
{
    if (stopped())
        return;
    prepareRepositoryData(&Workflow::RepoPlan::keys,
                          QStringLiteral("Добавление нового ключа (потребуется обновление данных об источниках ПО)."),
                          &FormMain::addDataKey);
    QTimer::singleShot(Timing::ms(2000), this, &FormMain::addApt);
}

void FormMain::addApt()
{
    if (stopped())
        return;
    prepareRepositoryData(
        &Workflow::RepoPlan::sourcesLines,
        QStringLiteral("Добавление нового deb-репозитория (потребуется обновление данных об источниках ПО)."),
        &FormMain::addAptSources);
    if (!needUpdate) {
        createListProg();
        return;
    }
    listApt.removeDuplicates();
    QMessageBox *box = MessageBoxes::yesNoBox(QMessageBox::Warning, RepoCommands::updateQuestion(listApt),
                                              RepoCommands::updateQuestionInformative());
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
    auto *terminal = new FormTerminal(RepoCommands::updateCommand(updateDir->filePath(QStringLiteral("status"))), nullptr);
    connect(terminal, &FormTerminal::closeTerminal, this, &FormMain::createListProg);
}

void FormMain::addPPASources(QString ppa)
{
    if (!QFile::exists(QString::fromLatin1(Sys::SourcesList)))
        return;
    const ProcessResult added = runProgram(QString::fromLatin1(Sys::AptAddRepository), RepoCommands::ppaArgs(ppa));
    if (added.succeeded())
        addedToSystem << QStringLiteral("партнер-репозиторий ") + ppa + QStringLiteral(" (файл в /etc/apt/sources.list.d)");
    writeLog(added.succeeded() ? QStringLiteral("Добавлен новый партнер-репозиторий ") + ppa
                               : QStringLiteral("Не удалось добавить партнер-репозиторий ") + ppa +
                                     QStringLiteral(": ") + added.failure());
}

void FormMain::addDataKey(QString keyUrl)
{
    QString failure, stored = QStringLiteral("через apt-key");
    if (programExists(QString::fromLatin1(Sys::AptKey))) {
        failure = runProgram(QString::fromLatin1(Sys::Sh), RepoCommands::keyPipeArgs(keyUrl)).failure();
    } else {
        // Without apt-key the key goes where apt reads keys itself; a download that is no key is not stored.
        const ProcessResult download = runProgram(QString::fromLatin1(Sys::Sh), RepoCommands::keyDownloadArgs(keyUrl));
        const RepoCommands::KeyKind kind = RepoCommands::keyKind(download.out);
        failure = RepoCommands::keyDownloadFailure(download);
        if (failure.isEmpty() && kind == RepoCommands::NotAKey)
            failure = QStringLiteral("загруженный файл не является ключом");
        if (failure.isEmpty()) {
            // gpg itself reads the download, in a home of its own: what only starts like a key is not stored.
            QTemporaryDir home;
            const ProcessResult listed =
                runProgram(QString::fromLatin1(Sys::Gpg), RepoCommands::keyListArgs(home.path()), Sys::CommandTimeoutMs,
                           download.out);
            if (!home.isValid() || !listed.succeeded() || !RepoCommands::listsPublicKey(listed.out))
                failure = QStringLiteral("загруженный файл не является ключом");
        }
        if (failure.isEmpty()) {
            const QString dir = QString::fromLatin1(Sys::TrustedKeysDir);
            QDir().mkpath(dir);
            // A file of the same name that holds another key is never overwritten: the catalogue could otherwise
            // swap the key of a repository the system already trusts. This key then takes the next free name.
            const QString name = RepoCommands::keyFileName(keyUrl, kind);
            const int dot = name.lastIndexOf(QLatin1Char('.'));
            for (int n = 1; n <= 100; ++n) {
                const QString path = dir + QLatin1Char('/') +
                                     (n == 1 ? name : name.left(dot) + QStringLiteral("-%1").arg(n) + name.mid(dot));
                QFile existing(path);
                if (existing.exists() && existing.open(QIODevice::ReadOnly) && existing.readAll() == download.out) {
                    stored.clear(); // the same key is there already
                    break;
                }
                if (!existing.exists()) {
                    stored = QStringLiteral("в файле ") + path;
                    SafeFile::replace(path, download.out, &failure);
                    break;
                }
                if (n == 100)
                    failure = QStringLiteral("нет свободного имени для файла ключа %1").arg(name);
            }
        }
    }
    if (failure.isEmpty() && !stored.isEmpty())
        addedToSystem << QStringLiteral("ключ ") + keyUrl + QLatin1Char(' ') + stored;
    writeLog(failure.isEmpty() ? QStringLiteral("Добавлен новый ключ ") + keyUrl
                               : QStringLiteral("Не удалось добавить ключ ") + keyUrl + QStringLiteral(": ") + failure);
}

void FormMain::addAptSources(QString line)
{
    const QString problem = FieldRules::sourcesEntryProblem(line);
    if (!problem.isEmpty()) {
        writeLog(problem);
        return;
    }
    const QString path = QString::fromLatin1(Sys::SourcesList);
    QByteArray content;
    bool ok = true;
    if (SafeFile::exists(path)) {
        // A file that exists but cannot be read is left alone: rewriting it from nothing would lose its lines.
        QFile file(path);
        ok = file.open(QIODevice::ReadOnly);
        if (ok) {
            content = file.readAll();
            ok = file.error() == QFileDevice::NoError;
        }
    }
    // Written through a temporary file renamed over the old one, so the file is never left half written.
    QString why;
    ok = ok && SafeFile::replace(path, RepoCommands::editSourcesList(content, line), &why);
    if (ok)
        addedToSystem << QStringLiteral("строка «") + line + QStringLiteral("» в файле ") + path;
    writeLog(ok ? QStringLiteral("Добавлен новый репозиторий ") + line
                : QStringLiteral("Не удалось изменить ") + path + QStringLiteral(", не добавлен репозиторий ") + line +
                      (why.isEmpty() ? QString() : QStringLiteral(": ") + why));
}
