// Installability check: one simulated installation per marked package.
// The result files and the error file keep their names in /tmp, a folder everyone may write to: each is made fresh
// and read back only while it is still a plain file of ours.
#include "mainwindow/formmain.h"

#include <QFile>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/safefile.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/repocommands.h"
#include "mainwindow/runningtext.h"

namespace {

const QColor NotInstallable(180, 0, 0);

} // namespace

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
    QTimer::singleShot(Timing::ms(2000), this, SLOT(addPPA()));
}

void FormMain::createListProg()
{
    // A window the user has closed meanwhile (its refresh ran on in the terminal window) checks nothing more.
    if (closing)
        return;
    runningText = QStringLiteral("Ждите...  Идёт проверка возможности установки отмеченных программ  и вывод "
                                 "результатов...") +
                  QString(10, QLatin1Char(' '));
    setSpeed(6);
    for (int row = 0; row < Table->rowCount(); ++row) {
        const QTableWidgetItem *status = Table->item(row, 4);
        if (status && status->text() == QStringLiteral("ПО отмечено для установки"))
            listProg.append(Table->item(row, 5) ? Table->item(row, 5)->text() : QString());
    }
    indexProg = 0;
    if (listProg.isEmpty()) {
        closeNothingMarked();
        return;
    }
    // The failures of this check only: an error file left by an earlier run, or planted, is not shown.
    SafeFile::createFresh(QString::fromLatin1(Sys::ErrorFile), QByteArray());
    checkTrueInstallProg();
    writeLog(QStringLiteral("Создан список программ для проверки возможности их установки."));
}

void FormMain::checkTrueInstallProg()
{
    if (indexProg < 0 || indexProg >= listProg.size())
        return;
    const QString package = listProg.at(indexProg);
    const ProcessResult simulation =
        runProgram(QString::fromLatin1(Sys::AptGet), RepoCommands::simulateArgs(package));
    // A simulation that cannot even start says so, rather than passing the package for lack of a complaint.
    const QByteArray errors = simulation.started ? simulation.err
                                                 : QStringLiteral("E: Не удалось запустить %1.")
                                                       .arg(QString::fromLatin1(Sys::AptGet))
                                                       .toUtf8();
    SafeFile::createFresh(RepoCommands::resultFilePath(package), errors);
    QTimer::singleShot(Timing::ms(400), this, SLOT(checkOperation()));
}

bool FormMain::checkOperation()
{
    if (indexProg < 0 || indexProg >= listProg.size())
        return false;
    const QString package = listProg.at(indexProg);
    const QString resultFile = RepoCommands::resultFilePath(package);
    if (closing) {
        // The user closed the window: the check ends here, without its summary.
        SafeFile::remove(resultFile);
        SafeFile::remove(QString::fromLatin1(Sys::ErrorFile));
        return false;
    }
    QString line;
    QByteArray result;
    if (SafeFile::readOwn(resultFile, &result))
        line = RepoCommands::firstLine(result);
    if (!line.isEmpty()) {
        const int rows = Table->rowCount();
        for (int row = 0; row < rows; ++row) {
            const QTableWidgetItem *name = Table->item(row, 5);
            if (!name || name->text() != package)
                continue;
            // The log keeps apt's own words; the summary gets the plainer wording of the known message.
            writeLog(RepoCommands::failureMessage(package, line));
            writeError(RepoCommands::failureMessage(package, RepoCommands::summaryLine(line)));
            if (QTableWidgetItem *select = Table->item(row, 0)) {
                select->setText(QStringLiteral("Нет"));
                select->setForeground(QBrush(NotInstallable));
                select->setCheckState(Qt::Unchecked);
            }
            if (QTableWidgetItem *status = Table->item(row, 4)) {
                status->setText(QStringLiteral("ПО нельзя установить"));
                status->setForeground(QBrush(NotInstallable));
            }
            if (QWidget *bar = Table->cellWidget(row, 3))
                bar->hide();
            Table->verticalScrollBar()->setValue(RunningText::scrollPosition(rows, row));
        }
    }
    SafeFile::remove(resultFile);

    if (indexProg < listProg.size() - 1) {
        ++indexProg;
        checkTrueInstallProg();
    } else {
        finishCheck();
    }
    return line.isEmpty();
}

void FormMain::finishCheck()
{
    ButtonOK->setEnabled(true);
    setSpeed(0);
    label->setText(QStringLiteral("<font color=#793cb6>Создан список доступных для установки программ.  Для "
                                  "завершения инсталляции нажмите на кнопку 'Установить ПО'. </font>"));
    installLabel->setText(QStringLiteral("Закончена проверка возможности установки всех намеченных программ."));

    const QString errorFile = QString::fromLatin1(Sys::ErrorFile);
    QByteArray failures;
    if (!SafeFile::readOwn(errorFile, &failures))
        return;
    if (!failures.isEmpty()) {
        MessageBoxes::run(MessageBoxes::closeBox(
            QMessageBox::Warning, QString::fromUtf8(failures),
            QStringLiteral("<b><font color=#AA0000>  Эти проблемы с установкой программ обнаружены в результате "
                           "проверки. </font></b>"),
            520));
    }
    SafeFile::remove(errorFile);
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
