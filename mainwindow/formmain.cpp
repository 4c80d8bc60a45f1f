#include "mainwindow/formmain.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QProgressBar>

#include "app/logline.h"
#include "app/process.h"
#include "app/messagebox.h"
#include "app/ownprocesses.h"
#include "app/safefile.h"
#include "app/fitwindow.h"
#include "app/syspaths.h"
#include "mainwindow/installrun.h"
#include "terminal/formterminal.h"

namespace {

// The role of the status cell that holds the row's state.
constexpr int StateRole = Qt::UserRole;

QProgressBar *progressBar(int maximum, int value)
{
    auto *bar = new QProgressBar();
    bar->setRange(0, maximum);
    bar->setValue(value);
    bar->setAlignment(Qt::AlignCenter);
    return bar;
}

QTableWidgetItem *statusItem()
{
    auto *item = new QTableWidgetItem();
    QFont font = item->font();
    font.setPointSize(8);
    item->setFont(font);
    item->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return item;
}

} // namespace

FormMain::FormMain(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    Table->setColumnCount(ColumnCount);

    ButtonAdd->setIcon(QIcon(QStringLiteral(":/images/add.png")));
    ButtonEdit->setIcon(QIcon(QStringLiteral(":/images/change.png")));
    ButtonDelete->setIcon(QIcon(QStringLiteral(":/images/delete.png")));
    ButtonOK->setIcon(QIcon(QStringLiteral(":/images/ok.png")));
    ButtonCheck->setIcon(QIcon(QStringLiteral(":/images/ok.png")));
    ButtonCancel->setIcon(QIcon(QStringLiteral(":/images/cancel.png")));

    connect(ButtonAdd, &QPushButton::clicked, this, &FormMain::addItemList);
    connect(ButtonEdit, &QPushButton::clicked, this, &FormMain::editItemList);
    connect(ButtonDelete, &QPushButton::clicked, this, &FormMain::deleteProg);
    connect(ButtonOK, &QPushButton::clicked, this, &FormMain::ok);
    connect(ButtonCheck, &QPushButton::clicked, this, &FormMain::check);
    connect(ButtonCancel, &QPushButton::clicked, this, &FormMain::cancel);
    connect(Table, &QTableWidget::cellClicked, this, &FormMain::clickCheckBox);

    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(28, QLatin1Char(' ')) + QString::fromUtf8(MessageBoxes::Title));

    loadFile();
    startFormMain();
    checkInstallProg();
    FitWindow::keepingBottomRow(this, Table);
    show();
}

QString FormMain::instProg;

FormMain::~FormMain() = default;

void FormMain::writeLog(QString message) { appendLogLine(QString::fromLatin1(Sys::LogFile), message); }

// The failures of one check are gathered in memory for its summary, in the log's own line format.
void FormMain::writeError(QString message) { checkErrors += formatLogLine(QDateTime::currentDateTime(), message); }

void FormMain::startFormMain()
{
    QFont font;
    font.setPixelSize(12);
    for (QPushButton *button : {ButtonAdd, ButtonCancel, ButtonCheck, ButtonEdit, ButtonDelete, ButtonOK})
        button->setFont(font);
    ButtonOK->setEnabled(false);

    const int widths[] = {55, 150, 230, 120, 85};
    for (int column = ColSelect; column <= ColStatus; ++column)
        Table->setColumnWidth(column, widths[column]);
    for (int column = ColPackage; column <= ColSources; ++column)
        Table->hideColumn(column);
    Table->horizontalHeader()->show();

    needUpdate = false;
    label->setText(QStringLiteral("<font color=#c20000>Выбранная программа будет установлена или удалена из списка в "
                                  "зависимости от нажатия соответствующей кнопки. </font>"));
    installLabel->setText(QStringLiteral("Выполнена проверка статуса всех программ из базы (dataSoftware.db)."));
    for (int row = 0; row < Table->rowCount(); ++row)
        Table->setItem(row, ColSelect, new QTableWidgetItem());
}

QString FormMain::cell(int row, int column) const
{
    const QTableWidgetItem *item = Table->item(row, column);
    return item ? item->text() : QString();
}

RowState FormMain::rowState(int row) const
{
    // A row without a state (its package field is no package name) behaves as one that cannot be installed.
    const QTableWidgetItem *status = Table->item(row, ColStatus);
    const QVariant state = status ? status->data(StateRole) : QVariant();
    return state.isValid() ? static_cast<RowState>(state.toInt()) : RowState::NotInstallable;
}

QVector<RowState> FormMain::rowStates() const
{
    QVector<RowState> states;
    states.reserve(Table->rowCount());
    for (int row = 0; row < Table->rowCount(); ++row)
        states << rowState(row);
    return states;
}

void FormMain::showRow(int row, RowState state)
{
    const RowLook look = rowLook(state);
    QTableWidgetItem *status = Table->item(row, ColStatus);
    if (!status) {
        status = statusItem();
        Table->setItem(row, ColStatus, status);
    }
    status->setData(StateRole, static_cast<int>(state));
    status->setText(look.statusText);
    status->setToolTip(cellToolTip(look.statusText));
    if (look.setsStatusColour)
        status->setForeground(QBrush(look.statusColour));

    if (look.setsSelect) {
        QTableWidgetItem *select = Table->item(row, ColSelect);
        if (!select) {
            select = new QTableWidgetItem();
            Table->setItem(row, ColSelect, select);
        }
        select->setCheckState(look.check);
        select->setForeground(QBrush(look.selectColour));
        select->setText(look.selectText);
        if (!look.checkable)
            select->setFlags(Qt::ItemIsEnabled);
    }

    switch (look.bar) {
    case RowLook::NoBar:
        if (QWidget *bar = Table->cellWidget(row, ColBar))
            bar->hide();
        break;
    case RowLook::Zero:
        Table->setCellWidget(row, ColBar, progressBar(100, 0));
        break;
    case RowLook::Busy:
        Table->setCellWidget(row, ColBar, progressBar(0, 0));
        break;
    case RowLook::Full:
        Table->setCellWidget(row, ColBar, progressBar(100, 100));
        break;
    }
}

void FormMain::clickCheckBox(int row, int column)
{
    if (column != ColSelect || !Table->item(row, ColSelect) || !Table->item(row, ColStatus))
        return;
    const RowState state = rowState(row);
    const RowState next = afterClick(state, Table->item(row, ColSelect)->checkState() != Qt::Unchecked);
    if (next != state)
        showRow(row, next);
}

bool FormMain::event(QEvent *event)
{
    // Freed while one of its steps waits for a hidden command, the window would be returned into after the wait:
    // it is freed once no wait is left. After a close its steps end without a message box, so by then the step has
    // returned to the event loop.
    if (event->type() == QEvent::DeferredDelete && waitingForHiddenCommand()) {
        QTimer::singleShot(100, this, &FormMain::freeWhenIdle);
        return true;
    }
    return QDialog::event(event);
}

void FormMain::freeWhenIdle()
{
    if (waitingForHiddenCommand())
        QTimer::singleShot(100, this, &FormMain::freeWhenIdle);
    else
        delete this;
}

void FormMain::closeEvent(QCloseEvent *event)
{
    cancel();
    event->setAccepted(closed);
}

void FormMain::reject() { close(); }

void FormMain::cancel()
{
    if (closed)
        return;
    if (run == Run::Installing || run == Run::Finishing) {
        if (!closeAfterRun) {
            // As the terminal's abort: no further package starts, dpkg finishes what it began, the repair runs when
            // dpkg reports anything, and only then the window closes.
            closing = true;
            closeAfterRun = true;
            writeLog(QStringLiteral("Окно закрыто во время установки: установка прерывается, окно закроется, когда "
                                    "dpkg завершит начатое"));
            label->setText(InstallRun::stoppedLabel(true));
            if (installTerminal)
                QTimer::singleShot(0, installTerminal.data(), &FormTerminal::cancel);
            return;
        }
        if (!lockWait)
            return; // our own dpkg or the repair still works: the window waits for it
        writeLog(QStringLiteral("Ожидание блокировки прекращено: окно закрыто"));
    }
    closing = true;
    closed = true;
    watchTimer.stop();
    lockWatch.stop();
    SafeFile::remove(QString::fromLatin1(Sys::LockFile));
    close();
    // A hidden command being waited for ends now; only the apt-get processes this program started end here,
    // another program's apt-get is left alone.
    endHiddenCommands();
    OwnProcesses::terminate(QString::fromLatin1(Sys::AptGet));
}
