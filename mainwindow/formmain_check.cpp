// Installability check: the marked packages simulated by apt in as few runs as apt's answers allow (all together
// first), so every failing row gets apt's own reason, then shown row by row. Results stay in memory: no file in /tmp.
#include "mainwindow/formmain.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/checkreport.h"
#include "mainwindow/installability.h"
#include "mainwindow/runningtext.h"

void FormMain::check()
{
    label->setText(QStringLiteral("<font color=#9a0000>Запущен процесс проверки возможности установки отмеченных "
                                  "программ и обновления (при необходимости) данных о репозиториях. </font>"));
    installLabel->setText(QStringLiteral("Запускается процесс определения возможности установки отмеченных "
                                         "программ..."));
    for (QPushButton *button : {ButtonDelete, ButtonAdd, ButtonEdit, ButtonOK, ButtonCheck})
        button->setEnabled(false);
    ButtonCheck->hide();
    Table->verticalScrollBar()->setValue(0);
    addedToSystem.clear();
    checkErrors.clear();
    lineDecisions.clear();
    keySaved.clear();
    takenBack.clear();
    refreshedAgain = false;
    keyFiles.clear();
    keyFailures.clear();
    repoFailures.clear();
    updateNote.clear();
    QTimer::singleShot(Timing::ms(2000), this, &FormMain::addPPA);
}

void FormMain::createListProg()
{
    // A window the user has closed meanwhile (its refresh ran on in the terminal window) checks nothing more.
    if (stopped())
        return;
    if (updateDir) {
        const Workflow::Refresh refresh = Workflow::readRefresh(updateDir->path());
        updateDir.reset();
        if (refresh.status < 0)
            writeLog(QStringLiteral("Обновление источников ПО не завершилось"));
        else if (refresh.status != 0)
            writeLog(QStringLiteral("Обновление источников ПО завершилось с ошибкой (код %1)").arg(refresh.status));
        if (refreshedAgain) {
            updateNote = CheckReport::takenBackNote(takenBack, refresh.status == 0 ? QString()
                                                               : refresh.status > 0 ? QStringLiteral("код завершения %1").arg(refresh.status)
                                                                                    : QStringLiteral("не завершилось"));
        } else {
            // What this check added and the refresh could not read or fetch is taken back, then the lists are
            // refreshed once more: the machine's apt is left as the check found it.
            const QVector<int> failed = CheckReport::failedAdded(refresh, addedToSystem);
            if (!failed.isEmpty()) {
                takeBack(failed);
                refreshedAgain = true;
                aptGetUpdate();
                return;
            }
            updateNote = CheckReport::refreshNote(refresh, addedToSystem);
        }
    }
    runningText = QStringLiteral("Ждите...  Идёт проверка возможности установки отмеченных программ  и вывод "
                                 "результатов...") +
                  QString(10, QLatin1Char(' '));
    setSpeed(6);
    listProg = Workflow::markedPackages(tableEntries(), rowStates());
    indexProg = 0;
    if (listProg.isEmpty()) {
        closeNothingMarked();
        return;
    }
    // A row whose repository could not be added whole is not installable for that reason; apt judges the others.
    QStringList simulated;
    for (const QString &name : listProg)
        if (!repoFailures.contains(name))
            simulated << name;
    checkFailures = Installability::judge(simulated, [this](const QStringList &names) {
                        return stopped() ? ProcessResult()
                                         : runProgram(QString::fromLatin1(Sys::AptGet), AptCommands::simulateArgs(names));
                    }).failures;
    if (stopped())
        return; // closed while apt simulated
    for (auto it = repoFailures.cbegin(); it != repoFailures.cend(); ++it)
        checkFailures.insert(it.key(), it.value());
    checkTrueInstallProg();
    writeLog(QStringLiteral("Создан список программ для проверки возможности их установки."));
}

void FormMain::checkTrueInstallProg()
{
    if (indexProg < 0 || indexProg >= listProg.size())
        return;
    checkFailure = checkFailures.value(listProg.at(indexProg));
    QTimer::singleShot(Timing::ms(400), this, &FormMain::checkOperation);
}

bool FormMain::checkOperation()
{
    if (indexProg < 0 || indexProg >= listProg.size())
        return false;
    if (stopped())
        return false; // the user closed the window: the check ends here, without its summary
    const QString package = listProg.at(indexProg);
    const QString failure = checkFailure;
    if (!failure.isEmpty()) {
        const int rows = Table->rowCount();
        for (int row : Workflow::rowsOf(tableEntries(), package)) {
            // The log keeps apt's own words; the summary gets the plainer wording of the known message.
            writeLog(CheckReport::failureMessage(package, failure));
            writeError(CheckReport::failureMessage(package, CheckReport::summaryLine(failure)));
            showRow(row, RowState::NotInstallable);
            Table->verticalScrollBar()->setValue(RunningText::scrollPosition(rows, row));
        }
    }

    if (indexProg < listProg.size() - 1) {
        ++indexProg;
        checkTrueInstallProg();
    } else {
        finishCheck();
    }
    return failure.isEmpty();
}

void FormMain::finishCheck()
{
    ButtonOK->setEnabled(true);
    setSpeed(0);
    label->setText(QStringLiteral("<font color=#793cb6>Создан список доступных для установки программ.  Для "
                                  "завершения инсталляции нажмите на кнопку 'Установить ПО'. </font>"));
    installLabel->setText(QStringLiteral("Закончена проверка возможности установки всех намеченных программ."));

    QString summary = updateNote + checkErrors;
    checkErrors.clear();
    updateNote.clear();
    if (summary.isEmpty())
        return;
    // Plain text: apt's words and the catalogue's names are shown as written, never read as markup.
    MessageBoxes::run(MessageBoxes::plainWarning(
        summary, QStringLiteral("<b><font color=#AA0000>  Эти проблемы с установкой программ обнаружены в "
                                "результате проверки. </font></b>")));
}

void FormMain::closeNothingMarked()
{
    setSpeed(0);
    label->setText(QStringLiteral("<font color=#008300>Приложение завершает свою работу. Не выявлена ни одна из "
                                  "программ, для которой была бы намечена установка. </font>"));
    installLabel->setText(QStringLiteral("Нет программ отмеченных для установки! "));
    MessageBoxes::run(MessageBoxes::closeBox(
        QMessageBox::Information,
        QStringLiteral("  Не отмечена для установки ни одна из программ! Приложение будет закрыто."), QString(), 400));
    cancel();
}
