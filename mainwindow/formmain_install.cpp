// Installation run: the marked packages one by one, each in its own terminal window, judged afterwards by dpkg.
#include "mainwindow/formmain.h"

#include "app/lockprobe.h"

#include <QScrollBar>

#include "app/messagebox.h"
#include "app/ownprocesses.h"
#include "app/process.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/packagestatus.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/installrun.h"
#include "mainwindow/runningtext.h"
#include "terminal/formterminal.h"

namespace {
constexpr int WatchIntervalMs = 300000; // five minutes per package before the user is told
constexpr int DpkgWaitMs = 500;        // how often an aborted run looks whether dpkg has finished
constexpr int LockWatchMs = 1000;      // how often a run looks whether another program holds the package manager

QString installingText()
{
    return QStringLiteral("Ждите... Выполняется установка выбранных программ...") + QString(8, QLatin1Char(' '));
}
} // namespace

void FormMain::ok()
{
    label->setText(QStringLiteral("<font color=#327bba>Выполняется установка выбранных программ с отражением хода "
                                  "установки в таблице. </font>"));
    runningText = installingText();
    setSpeed(3);
    ButtonDelete->setEnabled(false);
    ButtonAdd->setEnabled(false);
    ButtonEdit->setEnabled(false);
    ButtonOK->setEnabled(false);
    createListInstallProg();
}

void FormMain::createListInstallProg()
{
    listProg = Workflow::markedPackages(tableEntries(), rowStates());
    if (listProg.isEmpty()) {
        closeNothingMarked();
        return;
    }
    run = Run::Installing;
    watchTimer.setSingleShot(true);
    connect(&watchTimer, &QTimer::timeout, this, &FormMain::messageError, Qt::UniqueConnection);
    watchTimer.start(Timing::ms(WatchIntervalMs));
    connect(&lockWatch, &QTimer::timeout, this, &FormMain::watchLocks, Qt::UniqueConnection);
    lockWatch.start(LockWatchMs);
    indexProg = 0;
    operation();
}

void FormMain::operation()
{
    const int rows = Table->rowCount();
    for (int row : Workflow::rowsOf(tableEntries(), listProg.at(indexProg))) {
        showRow(row, RowState::Installing);
        Table->verticalScrollBar()->setValue(RunningText::scrollPosition(rows, row));
    }
    QTimer::singleShot(Timing::ms(1000), this, &FormMain::installProg);
}

void FormMain::installProg()
{
    if (run != Run::Installing)
        return;
    if (stopped()) {
        stopRun(indexProg); // the window was closed before this package started: it starts no more
        return;
    }
    instProg = listProg.at(indexProg);
    // The name is one argument after "--": apt never reads it as an option, and no shell reads it at all.
    installTerminal = new FormTerminal(AptCommands::installCommand(instProg));
    connect(installTerminal, &FormTerminal::closeTerminal, this, &FormMain::checkFinishInstall);
}

void FormMain::checkFinishInstall()
{
    if (closed || run != Run::Installing || indexProg >= listProg.size())
        return; // a late end after the window was closed starts nothing
    watchTimer.start(Timing::ms(WatchIntervalMs));
    const QString name = listProg.at(indexProg);
    const bool last = indexProg >= listProg.size() - 1;
    const bool installed = PackageStatus::isInstalled(readStatus(name));
    if (closed)
        return;
    // After an abort (the terminal's, or the window closed meanwhile) no further package starts, and what dpkg
    // makes of this one is told at the end.
    const bool aborted = stopped() || (installTerminal && installTerminal->aborted());
    const QVector<int> rows = Workflow::rowsOf(tableEntries(), name);
    if (installed) {
        installLabel->setText(QStringLiteral("Выполнена установка ") + name);
        writeLog(QStringLiteral("Выполнена установка ") + name);
    }
    for (int row : rows) {
        showRow(row, installed ? RowState::Done : RowState::Failed);
        if (!installed)
            writeLog(QStringLiteral("Установка программы ") + name +
                     (aborted ? QStringLiteral(" прервана") : QStringLiteral(" не удалась!")));
    }
    if (aborted) {
        stopRun(indexProg + 1);
    } else if (last) {
        finishInstall();
    } else {
        ++indexProg;
        operation();
    }
}

void FormMain::stopRun(int firstSkipped)
{
    run = Run::Finishing;
    watchTimer.stop();
    lockWatch.stop();
    lockTold.clear();
    writeLog(QStringLiteral("Установка прервана пользователем: следующие программы устанавливаться не будут"));
    label->setText(InstallRun::stoppedLabel(closeAfterRun));
    runningText = QStringLiteral("Ждите... Установка прервана: dpkg завершает начатое...") + QString(8, QLatin1Char(' '));
    for (const QString &skipped : listProg.mid(firstSkipped)) {
        for (int row : Workflow::rowsOf(tableEntries(), skipped))
            showRow(row, RowState::Failed);
        writeLog(QStringLiteral("Установка программы ") + skipped + QStringLiteral(" не выполнена: установка прервана"));
    }
    repairThenFinish();
}

void FormMain::repairThenFinish()
{
    if (closed || run != Run::Finishing)
        return;
    // apt-get runs dpkg in a session of its own, so dpkg may outlive the aborted terminal: its lock tells while it
    // still works, and it is asked for its state only once it has finished. Whoever holds the lock is named; a
    // close meanwhile ends this wait.
    lockWait = tellLock(QString::fromLatin1(Sys::DpkgLock), true);
    if (lockWait) {
        QTimer::singleShot(Timing::ms(DpkgWaitMs), this, &FormMain::repairThenFinish);
        return;
    }
    const ProcessResult audit = runProgram(QString::fromLatin1(Sys::Dpkg), {QStringLiteral("--audit")});
    if (closed)
        return;
    if (!AptCommands::needsRepair(audit)) {
        writeLog(QStringLiteral("После прерванной установки dpkg не сообщает о незавершённых пакетах"));
        finishInstall();
        return;
    }
    writeLog(QStringLiteral("После прерванной установки dpkg сообщает о незавершённых пакетах: ") +
             QString::fromLatin1(Sys::DpkgConfigure) + QLatin1Char('\n') + QString::fromUtf8(audit.out.trimmed()));
    runningText = QStringLiteral("Ждите... Восстановление прерванной установки: ") +
                  QString::fromLatin1(Sys::DpkgConfigure) + QStringLiteral("...") + QString(8, QLatin1Char(' '));
    auto *repair = new FormTerminal(AptCommands::configureCommand());
    connect(repair, &FormTerminal::closeTerminal, this, &FormMain::finishInstall);
}

void FormMain::finishInstall()
{
    if (closed || run == Run::Over)
        return;
    const bool stoppedRun = run == Run::Finishing;
    run = Run::Over;
    lockWait = false;
    watchTimer.stop();
    lockWatch.stop();
    // The rows show what dpkg says now: a package that dpkg finished after an abort, or that the repair finished,
    // is installed, whatever its row said when its terminal ended.
    QSet<QString> installed;
    QString why;
    const bool known = PackageStatus::queryInstalled(listProg, &installed, &why);
    if (closed)
        return;
    if (!known)
        writeLog(QStringLiteral("Не удалось узнать у dpkg, какие программы установлены: ") + why);
    int count = 0;
    for (const QString &name : std::as_const(listProg)) {
        const QVector<int> rows = Workflow::rowsOf(tableEntries(), name);
        const bool now = known ? installed.contains(name) : !rows.isEmpty() && rowState(rows.first()) == RowState::Done;
        count += now ? 1 : 0;
        if (stoppedRun && now && !rows.isEmpty() && rowState(rows.first()) != RowState::Done)
            writeLog(QStringLiteral("Выполнена установка ") + name + QStringLiteral(" (dpkg завершил её после прерывания)"));
        for (int row : rows)
            showRow(row, now ? RowState::Done : RowState::Failed);
    }
    const InstallRun::Ending end = InstallRun::ending(count, listProg.size(), stoppedRun);
    label->setText(end.label);
    setSpeed(0);
    installLabel->setText(end.status);
    writeLog(end.log);
    ButtonCancel->setText(QStringLiteral("Закрыть"));
    if (closeAfterRun)
        cancel();
}

void FormMain::watchLocks()
{
    if (tellLock(QString::fromLatin1(Sys::DpkgFrontendLock), false) || tellLock(QString::fromLatin1(Sys::DpkgLock), false))
        return;
    if (!lockTold.isEmpty()) {
        lockTold.clear();
        runningText = installingText();
    }
}

bool FormMain::tellLock(const QString &path, bool anyHolder)
{
    const LockProbe::Finding holder = LockProbe::probe(path);
    if (holder.state != LockProbe::Finding::Held ||
        (!anyHolder && holder.pid > 0 && OwnProcesses::isOwn(static_cast<pid_t>(holder.pid))))
        return false;
    const QString told = path + QLatin1Char(' ') + QString::number(holder.pid);
    if (told != lockTold) {
        lockTold = told;
        writeLog(QStringLiteral("Ожидание блокировки: ") + LockProbe::describe(path, holder));
        runningText = InstallRun::lockWait(path, holder) + QString(8, QLatin1Char(' '));
        installLabel->setText(runningText);
    }
    return true;
}

void FormMain::messageError()
{
    watchTimer.stop();
    const QString name = indexProg < listProg.size() ? listProg.at(indexProg) : QString();
    MessageBoxes::run(MessageBoxes::closeBox(
        QMessageBox::Information,
        QStringLiteral("  Установка программы ") + name +
            QStringLiteral(" длится уже более 5 мин. Вероятные причины:\n - большой объём скачиваемых пакетов;\n - "
                           "низкая скорость интернет-соединения;\n - программа ждет подтверждающих действий от "
                           "пользователя;\n - непредвиденные проблемы с установкой.\n  При нажатии кнопки 'Прервать' "
                           "в окне терминала установка будет остановлена: следующие программы устанавливаться не "
                           "будут, а начатое dpkg будет доведено до конца и при необходимости восстановлено (команда: "
                           "dpkg --configure -a). Поэтому пользование кнопкой 'Прервать' настоятельно не "
                           "рекомендуется."),
        QStringLiteral("<b><font color=#AA0000> При отсутствии использования кнопки 'Прервать' процесс будет продолжен "
                       "без ограничения времени. </font></b>")));
}
