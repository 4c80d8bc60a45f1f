// Installation run: the marked packages one by one, each in its own terminal window, judged afterwards by dpkg.
#include "mainwindow/formmain.h"

#include <QProgressBar>
#include <QScrollBar>

#include "app/messagebox.h"
#include "app/syspaths.h"
#include "app/timing.h"
#include "mainwindow/packagestatus.h"
#include "mainwindow/runningtext.h"
#include "terminal/formterminal.h"

namespace {

constexpr int WatchIntervalMs = 300000; // five minutes per package before the user is told

QProgressBar *progressBar(int maximum, int value)
{
    auto *bar = new QProgressBar();
    bar->setRange(0, maximum);
    bar->setValue(value);
    bar->setAlignment(Qt::AlignCenter);
    return bar;
}

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
    listProg.clear();
    for (int row = 0; row < Table->rowCount(); ++row) {
        const QTableWidgetItem *status = Table->item(row, 4);
        if (status && status->text() == QStringLiteral("ПО отмечено для установки"))
            listProg << Table->item(row, 5)->text();
    }
    if (listProg.isEmpty()) {
        closeNothingMarked();
        return;
    }
    watchTimer.setSingleShot(true);
    connect(&watchTimer, SIGNAL(timeout()), this, SLOT(messageError()), Qt::UniqueConnection);
    watchTimer.start(Timing::ms(WatchIntervalMs));
    indexProg = 0;
    operation();
}

void FormMain::operation()
{
    const QString name = listProg.at(indexProg);
    const int rows = Table->rowCount();
    for (int row = 0; row < rows; ++row) {
        if (Table->item(row, 5) && Table->item(row, 5)->text() == name) {
            Table->setCellWidget(row, 3, progressBar(0, 0)); // busy indicator
            if (QTableWidgetItem *status = Table->item(row, 4))
                status->setText(QStringLiteral("Выполняется установка ПО"));
            Table->verticalScrollBar()->setValue(RunningText::scrollPosition(rows, row));
        }
    }
    QTimer::singleShot(Timing::ms(1000), this, SLOT(installProg()));
}

void FormMain::installProg()
{
    if (closing)
        return; // the window was closed meanwhile: no further package starts
    instProg = listProg.at(indexProg);
    // The name is one argument after "--": apt never reads it as an option, and no shell reads it at all.
    auto *terminal = new FormTerminal(QString::fromLatin1(Sys::AptGetInstall) + QStringLiteral("-- ") + instProg);
    connect(terminal, SIGNAL(closeTerminal()), this, SLOT(checkFinishInstall()));
}

void FormMain::checkFinishInstall()
{
    if (closing || indexProg >= listProg.size())
        return; // a late end after the window was closed starts nothing
    watchTimer.start(Timing::ms(WatchIntervalMs));
    const QString name = listProg.at(indexProg);
    const bool last = indexProg >= listProg.size() - 1;
    const bool installed = readStatus(name) == QString::fromUtf8(PackageStatus::InstalledText);
    QList<int> rows;
    for (int row = 0; row < Table->rowCount(); ++row)
        if (Table->item(row, 5) && Table->item(row, 5)->text() == name)
            rows << row;

    if (installed) {
        installLabel->setText(QStringLiteral("Выполнена установка ") + name);
        writeLog(QStringLiteral("Выполнена установка ") + name);
        if (last)
            finishInstall();
        for (int row : rows) {
            Table->setCellWidget(row, 3, progressBar(100, 100));
            if (QTableWidgetItem *status = Table->item(row, 4))
                status->setText(QStringLiteral("Закончена установка ПО"));
        }
    } else {
        for (int row : rows) {
            Table->setCellWidget(row, 3, progressBar(100, 0));
            if (QTableWidgetItem *status = Table->item(row, 4)) {
                status->setForeground(QBrush(QColor(180, 0, 0), Qt::SolidPattern));
                status->setText(QStringLiteral("Установка ПО не удалась"));
            }
            writeLog(QStringLiteral("Установка программы ") + name + QStringLiteral(" не удалась!"));
        }
        if (last)
            finishInstall();
    }
    if (!last) {
        ++indexProg;
        operation();
    }
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
