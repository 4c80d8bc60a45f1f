// Installation run: the marked packages one by one, each in its own terminal window, judged afterwards by dpkg.
#include "mainwindow/formmain.h"

#include "app/lockprobe.h"

#include <QScrollBar>

#include "app/messagebox.h"
#include "app/process.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/packagestatus.h"
#include "mainwindow/aptcommands.h"
#include "mainwindow/runningtext.h"
#include "terminal/formterminal.h"

namespace {
constexpr int WatchIntervalMs = 300000; // five minutes per package before the user is told
constexpr int DpkgWaitMs = 500;        // how often an aborted run looks whether dpkg has finished
} // namespace

void FormMain::ok()
{
    label->setText(QStringLiteral("<font color=#327bba>Выполняется установка выбранных программ с отражением хода "
                                  "установки в таблице. </font>"));
    runningText = QStringLiteral("Ждите... Выполняется установка выбранных программ...") + QString(8, QLatin1Char(' '));
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
    watchTimer.setSingleShot(true);
    connect(&watchTimer, &QTimer::timeout, this, &FormMain::messageError, Qt::UniqueConnection);
    watchTimer.start(Timing::ms(WatchIntervalMs));
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
    if (stopped())
        return; // the window was closed meanwhile: no further package starts
    instProg = listProg.at(indexProg);
    // The name is one argument after "--": apt never reads it as an option, and no shell reads it at all.
    installTerminal = new FormTerminal(AptCommands::installCommand(instProg));
    connect(installTerminal, &FormTerminal::closeTerminal, this, &FormMain::checkFinishInstall);
}

void FormMain::checkFinishInstall()
{
    if (stopped() || indexProg >= listProg.size())
        return; // a late end after the window was closed starts nothing
    watchTimer.start(Timing::ms(WatchIntervalMs));
    const QString name = listProg.at(indexProg);
    const bool last = indexProg >= listProg.size() - 1;
    const bool installed = PackageStatus::isInstalled(readStatus(name));
    const QVector<int> rows = Workflow::rowsOf(tableEntries(), name);
    if (installed) {
        installLabel->setText(QStringLiteral("Выполнена установка ") + name);
        writeLog(QStringLiteral("Выполнена установка ") + name);
    }
    for (int row : rows) {
        showRow(row, installed ? RowState::Done : RowState::Failed);
        if (!installed)
            writeLog(QStringLiteral("Установка программы ") + name + QStringLiteral(" не удалась!"));
    }
    // After an abort no further package starts: each is told as not installed, and an installation that dpkg
    // could not finish is repaired before the run's final texts.
    if (installTerminal && installTerminal->aborted()) {
        for (const QString &skipped : listProg.mid(indexProg + 1)) {
            for (int row : Workflow::rowsOf(tableEntries(), skipped))
                showRow(row, RowState::Failed);
            writeLog(QStringLiteral("Установка программы ") + skipped + QStringLiteral(" не выполнена: установка прервана"));
        }
        repairThenFinish();
    } else if (last) {
        finishInstall();
    } else {
        ++indexProg;
        operation();
    }
}

void FormMain::repairThenFinish()
{
    // apt-get runs dpkg in a session of its own, so dpkg may outlive the aborted terminal: its lock tells while it
    // still works, and it is asked for its state only once it has finished.
    if (LockProbe::probe(QString::fromLatin1(Sys::DpkgLock)).state == LockProbe::Finding::Held) {
        QTimer::singleShot(Timing::ms(DpkgWaitMs), this, &FormMain::repairThenFinish);
        return;
    }
    const ProcessResult audit = runProgram(QString::fromLatin1(Sys::Dpkg), {QStringLiteral("--audit")});
    if (!AptCommands::needsRepair(audit)) {
        finishInstall();
        return;
    }
    writeLog(QStringLiteral("После прерванной установки dpkg сообщает о незавершённых пакетах: ") +
             QString::fromLatin1(Sys::DpkgConfigure) + QLatin1Char('\n') + QString::fromUtf8(audit.out.trimmed()));
    auto *repair = new FormTerminal(AptCommands::configureCommand());
    connect(repair, &FormTerminal::closeTerminal, this, &FormMain::finishInstall);
}

void FormMain::finishInstall()
{
    watchTimer.stop();
    label->setText(QStringLiteral("<font color=#0b7f6a>Программа завершила свою работу. Выполнена установка выбранных "
                                  "программ. Результаты установки отражены в таблице. </font>"));
    setSpeed(0);
    installLabel->setText(QStringLiteral("Установка отмеченных программ выполнена!"));
    writeLog(QStringLiteral("Выполнена установка отмеченных программ!"));
    ButtonCancel->setText(QStringLiteral("Закрыть"));
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
                           "в окне терминала установка текущей программы будет прервана и выполнен переход к "
                           "установке следующей программы. Однако это может повлечь за собой срыв установки "
                           "последующих в списке программ. Более того, возможно потребуется восстановление процесса "
                           "установки (команда: dpkg --configure -a). Поэтому пользование кнопкой 'Прервать' "
                           "настоятельно не рекомендуется."),
        QStringLiteral("<b><font color=#AA0000> При отсутствии использования кнопки 'Прервать' процесс будет продолжен "
                       "без ограничения времени. </font></b>")));
}
