// Repository preparation: PPAs, keys and sources lines of the marked rows, then the refresh of the package lists.
// Every catalogue field is data: it reaches a program as one argument after "--", never as shell text.
#include "mainwindow/formmain.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/repocommands.h"
#include "terminal/formterminal.h"

void FormMain::prepareRepositoryData(int column, const QString &progressText, void (FormMain::*add)(QString))
{
    for (int row = 0; row < Table->rowCount(); ++row) {
        const QTableWidgetItem *field = Table->item(row, column);
        if (!field || field->text().isEmpty())
            continue;
        // Any filled field asks for a refresh of the package lists, whether its row is marked or not.
        needUpdate = true;
        const QTableWidgetItem *status = Table->item(row, 4);
        if (!status || status->text() != QStringLiteral("ПО отмечено для установки"))
            continue;
        const QTableWidgetItem *package = Table->item(row, 5);
        listApt.append(package ? package->text() : QString());
        installLabel->setText(progressText);
        (this->*add)(field->text());
    }
}

void FormMain::addPPA()
{
    if (closing)
        return;
    installLabel->setText(QString());
    prepareRepositoryData(
        6, QStringLiteral("Добавление нового PPA-репозитория (потребуется обновление данных об источниках ПО)."),
        &FormMain::addPPASources);
    QTimer::singleShot(Timing::ms(2000), this, SLOT(addKey()));
}

void FormMain::addKey()
{
    if (closing)
        return;
    prepareRepositoryData(7, QStringLiteral("Добавление нового ключа (потребуется обновление данных об источниках ПО)."),
                          &FormMain::addDataKey);
    QTimer::singleShot(Timing::ms(2000), this, SLOT(addApt()));
}

void FormMain::addApt()
{
    if (closing)
        return;
    prepareRepositoryData(
        8, QStringLiteral("Добавление нового deb-репозитория (потребуется обновление данных об источниках ПО)."),
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
        QTimer::singleShot(Timing::ms(1000), this, SLOT(aptGetUpdate()));
    } else {
        createListProg();
    }
}

void FormMain::aptGetUpdate()
{
    if (closing)
        return;
    runningText = QStringLiteral("Ждите... Идёт обновление данных об источниках ПО... Это может занять "
                                 "продолжительное время...") +
                  QString(10, QLatin1Char(' '));
    setSpeed(4);
    auto *terminal = new FormTerminal(QString::fromLatin1(Sys::AptGetUpdate), nullptr);
    connect(terminal, SIGNAL(closeTerminal()), this, SLOT(createListProg()));
}

void FormMain::addPPASources(QString ppa)
{
    if (!QFile::exists(QString::fromLatin1(Sys::SourcesList)))
        return;
    runProgram(QString::fromLatin1(Sys::AptAddRepository), RepoCommands::ppaArgs(ppa));
    writeLog(QStringLiteral("Добавлен новый партнер-репозиторий ") + ppa);
}

void FormMain::addDataKey(QString keyUrl)
{
    if (programExists(QString::fromLatin1(Sys::AptKey))) {
        runProgram(QString::fromLatin1(Sys::Sh), RepoCommands::keyPipeArgs(keyUrl));
    } else {
        // Without apt-key the key goes where apt reads keys itself; a download that is no key is not stored.
        const ProcessResult download = runProgram(QString::fromLatin1(Sys::Wget), RepoCommands::keyDownloadArgs(keyUrl));
        const RepoCommands::KeyKind kind = RepoCommands::keyKind(download.out);
        if (kind != RepoCommands::NotAKey) {
            const QString dir = QString::fromLatin1(Sys::TrustedKeysDir);
            QDir().mkpath(dir);
            SafeFile::replace(dir + QLatin1Char('/') + RepoCommands::keyFileName(keyUrl, kind), download.out);
        }
    }
    writeLog(QStringLiteral("Добавлен новый ключ ") + keyUrl);
}

void FormMain::addAptSources(QString line)
{
    const QString problem = RepoCommands::sourcesLineProblem(line);
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
    ok = ok && SafeFile::replace(path, RepoCommands::editSourcesList(content, line));
    writeLog(ok ? QStringLiteral("Добавлен новый репозиторий ") + line
                : QStringLiteral("Не удалось изменить ") + path + QStringLiteral(", не добавлен репозиторий ") + line);
}
