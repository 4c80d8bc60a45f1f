#include "mainwindow/formmain.h"

#include <QCloseEvent>
#include <QHeaderView>

#include "app/logline.h"
#include "app/messagebox.h"
#include "app/ownprocesses.h"
#include "app/safefile.h"
#include "app/syspaths.h"

namespace {
const QColor Marked(11, 127, 107);
const QColor NotInstalled(180, 0, 0);
} // namespace

FormMain::FormMain(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    Table->setColumnCount(9);

    ButtonAdd->setIcon(QIcon(QStringLiteral(":/images/add.png")));
    ButtonEdit->setIcon(QIcon(QStringLiteral(":/images/change.png")));
    ButtonDelete->setIcon(QIcon(QStringLiteral(":/images/delete.png")));
    ButtonOK->setIcon(QIcon(QStringLiteral(":/images/ok.png")));
    ButtonCheck->setIcon(QIcon(QStringLiteral(":/images/ok.png")));
    ButtonCancel->setIcon(QIcon(QStringLiteral(":/images/cancel.png")));

    connect(ButtonAdd, SIGNAL(clicked()), this, SLOT(addItemList()));
    connect(ButtonEdit, SIGNAL(clicked()), this, SLOT(editItemList()));
    connect(ButtonDelete, SIGNAL(clicked()), this, SLOT(deleteProg()));
    connect(ButtonOK, SIGNAL(clicked()), this, SLOT(ok()));
    connect(ButtonCheck, SIGNAL(clicked()), this, SLOT(check()));
    connect(ButtonCancel, SIGNAL(clicked()), this, SLOT(cancel()));
    connect(Table, SIGNAL(cellClicked(int, int)), this, SLOT(clickCheckBox(int, int)));

    setWindowIcon(QIcon(QStringLiteral(":/images/install.png")));
    setWindowTitle(QString(28, QLatin1Char(' ')) + QString::fromUtf8(MessageBoxes::Title));

    loadFile();
    startFormMain();
    checkInstallProg();
    show();
}

FormMain::~FormMain() = default;

void FormMain::writeLog(QString message) { appendLogLine(QString::fromLatin1(Sys::LogFile), message); }

void FormMain::writeError(QString message) { appendLogLine(QString::fromLatin1(Sys::ErrorFile), message); }

void FormMain::startFormMain()
{
    QFont font;
    font.setPixelSize(12);
    for (QPushButton *button : {ButtonAdd, ButtonCancel, ButtonCheck, ButtonEdit, ButtonDelete, ButtonOK})
        button->setFont(font);
    ButtonOK->setEnabled(false);

    const int widths[] = {55, 150, 230, 120, 85};
    for (int column = 0; column < 5; ++column)
        Table->setColumnWidth(column, widths[column]);
    for (int column = 5; column <= 8; ++column)
        Table->hideColumn(column);
    Table->horizontalHeader()->show();

    needUpdate = false;
    label->setText(QStringLiteral("<font color=#c20000>Выбранная программа будет установлена или удалена из списка в "
                                  "зависимости от нажатия соответствующей кнопки. </font>"));
    installLabel->setText(QStringLiteral("Выполнена проверка статуса всех программ из базы (dataSoftware.db)."));
    for (int row = 0; row < Table->rowCount(); ++row)
        Table->setItem(row, 0, new QTableWidgetItem());
}

void FormMain::showRowMarked(int row)
{
    QTableWidgetItem *select = Table->item(row, 0);
    select->setText(QStringLiteral("Да"));
    select->setForeground(QBrush(Marked));
    select->setCheckState(Qt::Checked);
    QTableWidgetItem *status = Table->item(row, 4);
    status->setText(QStringLiteral("ПО отмечено для установки"));
    status->setForeground(QBrush(Marked));
    if (QWidget *bar = Table->cellWidget(row, 3))
        bar->show();
}

void FormMain::showRowUnmarked(int row)
{
    QTableWidgetItem *select = Table->item(row, 0);
    select->setText(QStringLiteral("Нет"));
    select->setForeground(QBrush(NotInstalled));
    select->setCheckState(Qt::Unchecked);
    QTableWidgetItem *status = Table->item(row, 4);
    status->setText(QStringLiteral("ПО не будет установлено"));
    status->setForeground(QBrush(NotInstalled));
    if (QWidget *bar = Table->cellWidget(row, 3))
        bar->hide();
}

void FormMain::clickCheckBox(int row, int column)
{
    if (column != 0)
        return;
    QTableWidgetItem *status = Table->item(row, 4);
    QTableWidgetItem *select = Table->item(row, 0);
    if (!status || !select)
        return;
    const int state = select->data(Qt::CheckStateRole).toInt();
    if (state != 0 && status->text() == QStringLiteral("ПО не будет установлено"))
        showRowMarked(row);
    else if (state == 0 && status->text() == QStringLiteral("ПО отмечено для установки"))
        showRowUnmarked(row);
}

void FormMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    cancel();
}

void FormMain::cancel()
{
    if (closing)
        return;
    closing = true;
    SafeFile::remove(QString::fromLatin1(Sys::LockFile));
    close();
    // Only the apt-get processes this program started end here; another program's apt-get is left alone.
    OwnProcesses::terminate(QString::fromLatin1(Sys::AptGet));
}
